// lsan-options.cpp -- under AddressSanitizer, points LeakSanitizer at the tests'
// suppressions of other libraries' one-time allocations (lsan-suppressions.txt).
// GCC says that AddressSanitizer is on with __SANITIZE_ADDRESS__, clang with __has_feature.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELLUMET_ADDRESS_SANITIZER
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(VELLUMET_ADDRESS_SANITIZER)
extern "C" const char *__lsan_default_options() {
    return "suppressions=" VELLUMET_LSAN_SUPPRESSIONS;
}
#endif
