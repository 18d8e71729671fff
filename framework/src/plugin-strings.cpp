// plugin-strings.cpp -- the FrameworkString record: made, read and released by the host.
//
// Layout behind `text`: one length byte (the low 8 bits of the length), the bytes, a NUL.
#include "plugin-services.h"
#include "rb/runtime.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace rb {

namespace {

FrameworkString *BuildString(const void *bytes, std::size_t length, std::uint32_t encoding) {
    auto *s = static_cast<FrameworkString *>(std::malloc(sizeof(FrameworkString)));
    auto *text = static_cast<char *>(std::malloc(length + 2));
    if (!s || !text) {
        std::free(s);
        std::free(text);
        return nullptr;
    }
    text[0] = static_cast<char>(length & 0xFF);
    std::memcpy(text + 1, bytes, length);
    text[length + 1] = '\0';
    s->refCount = 1;
    s->text = text;
    s->bufferSize = static_cast<intptr_t>(length + 2);
    s->length = static_cast<intptr_t>(length);
    s->encoding = static_cast<intptr_t>(encoding);
    return s;
}

} // namespace

// The services "REALBuildString", "REALSetStringEncoding" and "REALUnlockString"; plain C
// calls that never throw.
FrameworkString *PluginServiceBuildString(const void *bytes, intptr_t length) {
    if (!bytes || length <= 0)
        return nullptr;
    return BuildString(bytes, static_cast<std::size_t>(length), kEncodingUTF8);
}

void PluginServiceSetStringEncoding(FrameworkString *s, std::uint32_t encoding) {
    if (s)
        s->encoding = static_cast<intptr_t>(encoding);
}

void PluginStringRelease(FrameworkString *s) {
    if (!s)
        return;
    if (--s->refCount <= 0) {
        std::free(s->text);
        std::free(s);
    }
}

FrameworkString *PluginStringFromBytes(std::string_view bytes) {
    if (bytes.empty())
        return nullptr;
    return BuildString(bytes.data(), bytes.size(), kEncodingUTF8);
}

std::string PluginStringBytes(const FrameworkString *s) {
    if (!s || !s->text || s->length <= 0)
        return {};
    return std::string(s->text + 1, static_cast<std::size_t>(s->length));
}

std::string PluginStringTake(FrameworkString *s) {
    std::string bytes = PluginStringBytes(s);
    PluginStringRelease(s);
    return bytes;
}

} // namespace rb
