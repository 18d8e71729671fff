// debuglog.cpp -- System.DebugLog: one line on standard error.
#include "rb/files.h"

#include <cstdio>

namespace rb::System {

void DebugLog(const std::string &message) {
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

} // namespace rb::System
