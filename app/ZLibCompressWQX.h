// ZLibCompressWQX.h -- the compressor plug-in's deflate stream (slots 26 to 40).
#pragma once

#include "ZLibStreamWQX.h"

class ZLibCompressWQX : public ZLibStreamWQX<26> {
public:
    ZLibCompressWQX() : ZLibStreamWQX("ZLibCompressWQX") {}

    void InitZip(std::int32_t level) { plugincall::VoidInt<31>(inst(), level); }
    std::string Version() { return plugincall::GetString<38>(inst()); }
    std::string ErrorMessage() { return plugincall::GetString<39>(inst()); }
    // The Adler-32 of all the input taken so far.
    std::int32_t CRC() { return plugincall::GetInt<40>(inst()); }
};
