// test-host-binding.cpp -- the framework host knows every key the program binds the
// compressor plug-in by, and nothing else from it.
#include "binding-keys.h"
#include "plugin-calls.h"

#include <gtest/gtest.h>

#include <set>

namespace compressor_test {
namespace {

using HostBindingTest = CompressorTest;

TEST_F(HostBindingTest, EveryBindingKeyHasAnEntryPoint) {
    std::set<std::string> ours;
    for (std::string_view key : kBindingKeys)
        ours.emplace(key);
    for (std::string_view key : kGlobalFunctions)
        ours.emplace(key);
    for (const auto &key : ours)
        EXPECT_NE(rb::RuntimeLookupPluginEntrypoint(key), nullptr) << key;
    for (const auto &key : rb::RuntimeRegisteredKeys())
        EXPECT_EQ(ours.count(key), 1u) << "registered, but no binding key: " << key;
    for (const char *cls : {"ZLibCompressWQX", "GZipFileWQX", "ZLibDecompressWQX"})
        EXPECT_NE(rb::RuntimeFindPluginClass(cls), nullptr) << cls;
}

} // namespace
} // namespace compressor_test
