// lsan-options.cpp -- under AddressSanitizer, points LeakSanitizer at the tests'
// suppressions of other libraries' one-time allocations (lsan-suppressions.txt).
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char *__lsan_default_options() {
    return "suppressions=" VELLUMET_LSAN_SUPPRESSIONS;
}
#endif
