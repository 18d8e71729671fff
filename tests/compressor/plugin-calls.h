// plugin-calls.h -- calling the compressor plug-in through the framework host, the way the
// program does: the library is loaded once per test process, objects are made with the
// constructor and destructor registered under their keys, and every call goes through the
// entry point the host registered under "Class.declaration".
#pragma once

#include "rb/files.h"
#include "rb/runtime.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>

namespace compressor_test {

// nullopt stands for the plug-in's nil string.
using Bytes = std::optional<std::string>;

inline constexpr std::size_t kInputWindow = 65536;
inline constexpr std::size_t kOutputWindow = 131072;

inline bool LoadCompressor() {
    static const bool loaded = rb::RuntimeLoadPlugin(VELLUMET_PLUGIN_DIR "/libcompressor.so");
    return loaded;
}

// Loads the plug-in before the first test of each suite that uses it.
class CompressorTest : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadCompressor()) << "cannot load the plug-in"; }
};

// Calls the entry point registered under key with the given shape; a test failure (and a
// zero result) when nothing is registered there.
template <class R, class... A> R Call(const std::string &key, A... args) {
    void *entry = rb::RuntimeLookupPluginEntrypoint(key);
    if (entry == nullptr) {
        ADD_FAILURE() << "no entry point registered under \"" << key << "\"";
        if constexpr (std::is_void_v<R>)
            return;
        else
            return R{};
    }
    return reinterpret_cast<R (*)(A...)>(entry)(args...);
}

// A string argument, held for the length of one call.
class StringArg {
public:
    explicit StringArg(const Bytes &bytes)
        : s_(bytes ? rb::PluginStringFromBytes(*bytes) : nullptr) {}
    ~StringArg() { rb::PluginStringRelease(s_); }
    StringArg(const StringArg &) = delete;
    StringArg &operator=(const StringArg &) = delete;
    FrameworkString *get() const { return s_; }

private:
    FrameworkString *s_;
};

// A string result taken over from the plug-in: nullopt for nil. Its text encoding goes to
// *encoding when asked for.
inline Bytes Take(FrameworkString *s, std::intptr_t *encoding = nullptr) {
    if (s == nullptr)
        return std::nullopt;
    if (encoding != nullptr)
        *encoding = s->encoding;
    return rb::PluginStringTake(s);
}

// A framework object handed to the plug-in as the program hands one.
inline void *ObjectArg(rb::Object *o) { return static_cast<void *>(o); }

// A plug-in object made the way the program makes one.
class PluginInstance {
public:
    explicit PluginInstance(const std::string &className)
        : class_(className),
          object_(rb::RuntimeNewPluginObject(className, Entry(".__init"), Entry(".__exit"))) {
        EXPECT_TRUE(object_) << "the host made no " << className << " object";
    }

    template <class R, class... A> R Method(const std::string &declaration, A... args) {
        return Call<R, void *, A...>(class_ + "." + declaration, Instance(), args...);
    }
    Bytes GetString(const std::string &property, std::intptr_t *encoding = nullptr) {
        return Take(Call<FrameworkString *, void *, std::intptr_t>(class_ + "." + property + ".Get",
                                                                   Instance(), 0),
                    encoding);
    }
    std::int32_t GetInteger(const std::string &property) {
        return Call<std::int32_t, void *, std::intptr_t>(class_ + "." + property + ".Get",
                                                         Instance(), 0);
    }
    // A direct integer property, read and written by the host itself.
    std::int32_t Direct(const std::string &property) const {
        return object_->GetIntegerProperty(property);
    }
    void SetDirect(const std::string &property, std::int32_t value) {
        object_->SetIntegerProperty(property, value);
    }

    std::int32_t Adler32(std::int32_t start, const Bytes &data) {
        StringArg s(data);
        return Method<std::int32_t>("Adler32(start as integer, data as string) as integer", start,
                                    s.get());
    }
    std::int32_t CRC32(std::int32_t start, const Bytes &data) {
        StringArg s(data);
        return Method<std::int32_t>("CRC32(start as integer, data as string) as integer", start,
                                    s.get());
    }

    bool Valid() const { return object_ != nullptr; }
    const std::string &ClassName() const { return class_; }

protected:
    void *Instance() const { return object_->Instance(); }

private:
    using Lifecycle = void (*)(void *);
    Lifecycle Entry(const char *suffix) const {
        return reinterpret_cast<Lifecycle>(rb::RuntimeLookupPluginEntrypoint(class_ + suffix));
    }

    std::string class_;
    rb::Ref<rb::PluginObject> object_;
};

// A ZLibCompressWQX or ZLibDecompressWQX object.
class Stream : public PluginInstance {
public:
    explicit Stream(const std::string &className) : PluginInstance(className) {}

    bool Deflates() const { return ClassName() == "ZLibCompressWQX"; }
    void InitZip(std::int32_t level = 1) {
        if (Deflates())
            Method<void>("InitZip(level as integer)", level);
        else
            Method<void>("InitZip");
    }
    bool SetInput(const Bytes &data) {
        StringArg s(data);
        return Method<std::int32_t>("SetInput(data as string) as boolean", s.get()) != 0;
    }
    void ProcessZip() { Method<void>("ProcessZip"); }
    void EndZip() { Method<void>("EndZip"); }
    void Close() { Method<void>("Close"); }
    Bytes GetOutput(std::intptr_t *encoding = nullptr) {
        return Take(Method<FrameworkString *>("GetOutput as string"), encoding);
    }
    std::int32_t InputAvail() { return Method<std::int32_t>("InputAvail as integer"); }
    std::int32_t OutputSize() { return Method<std::int32_t>("OutputSize as integer"); }

    std::int32_t Error() const { return Direct("Error"); }
    std::int32_t TotalInput() const { return Direct("TotalInput"); }
    std::int32_t TotalOutput() const { return Direct("TotalOutput"); }
};

// zlib's own checksums and inflate, to check the plug-in against.
inline std::int32_t ZlibAdler32(std::uint32_t start, const std::string &data) {
    return static_cast<std::int32_t>(adler32(start, reinterpret_cast<const Bytef *>(data.data()),
                                             static_cast<uInt>(data.size())));
}

inline std::int32_t ZlibCRC32(std::uint32_t start, const std::string &data) {
    return static_cast<std::int32_t>(
        crc32(start, reinterpret_cast<const Bytef *>(data.data()), static_cast<uInt>(data.size())));
}

// The data of one complete zlib stream, nullopt when it is damaged, incomplete or followed by
// anything else.
inline Bytes Inflate(const std::string &stream) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return std::nullopt;
    std::string out;
    char buffer[16384];
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    int r;
    do {
        z.next_out = reinterpret_cast<Bytef *>(buffer);
        z.avail_out = sizeof buffer;
        r = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
    } while (r == Z_OK);
    const bool complete = r == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    return complete ? Bytes(out) : std::nullopt;
}

// Reproducible data: noise that does not compress, and text that does.
inline std::string Noise(std::size_t size, std::uint32_t seed = 2463534242u) {
    std::string s(size, '\0');
    for (auto &c : s) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        c = static_cast<char>(seed & 0xFF);
    }
    return s;
}

inline std::string Text(std::size_t size) {
    std::string s;
    for (int i = 0; s.size() < size; ++i)
        s += std::to_string(i % 997) + " " + std::to_string((i * 7) % 612) + ".5 m\r";
    s.resize(size);
    return s;
}

} // namespace compressor_test
