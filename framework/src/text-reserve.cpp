// text-reserve.cpp -- room for a large text that is written once from end to end.
#include "rb/text.h"

#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace rb {

void ReserveLargeText(std::string &text, std::size_t bytes) {
    text.reserve(bytes);
#ifdef MADV_HUGEPAGE
    // A buffer this size comes straight from the system, untouched. Its whole pages are offered
    // to the system's large pages: filling it then takes one page fault where it took 512, and
    // under a virtual machine each of those is dear. Only advice: a system without large pages
    // goes on as before.
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(text.data());
    const std::uintptr_t first = (begin + page - 1) / page * page;
    const std::uintptr_t last = (begin + text.capacity()) / page * page;
    if (page > 0 && last > first)
        madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
#endif
}

} // namespace rb
