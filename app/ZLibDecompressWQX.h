// ZLibDecompressWQX.h -- the compressor plug-in's inflate stream (slots 60 to 73).
#pragma once

#include "ZLibStreamWQX.h"

class ZLibDecompressWQX : public ZLibStreamWQX<60> {
public:
    ZLibDecompressWQX() : ZLibStreamWQX("ZLibDecompressWQX") {}

    void InitZip() { plugincall::Void<65>(inst()); }
    std::string ErrorMessage() { return plugincall::GetString<72>(inst()); }
    std::string Version() { return plugincall::GetString<73>(inst()); }
};
