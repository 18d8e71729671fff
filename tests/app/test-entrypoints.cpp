// The entry-point table filled through the real host, and the four plug-in classes used
// through their slots.
#include "GZipFileWQX.h"
#include "MacAliasWQX.h"
#include "PluginEntrypoints.h"
#include "ZLibCompressWQX.h"
#include "ZLibDecompressWQX.h"
#include "inflate.h"
#include "program-shell.h"
#include "temp-folder.h"

#include "rb/files.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <string>

namespace {

class EntryPoints : public testing::Test {
protected:
    static void SetUpTestSuite() { StartProgramShell(); }
};

std::string InflateAll(const std::string &data) {
    bool ok = false;
    std::string out = ::Inflate(data, &ok);
    return ok ? out : "<not a zlib stream>";
}

TEST_F(EntryPoints, EverySlotTheProgramCallsIsBound) {
    EXPECT_EQ(FirstMissingPluginEntrypoint(), "");
    for (std::int32_t i = 26; i < kPluginEntrypointCount; ++i)
        EXPECT_NE(PluginEntrypointsTable[i], nullptr) << kPluginEntrypointKeys[i];
    // The table keeps exactly what the host answers for each key, in slot order.
    for (std::int32_t i = 0; i < kPluginEntrypointCount; ++i)
        EXPECT_EQ(PluginEntrypointsTable[i], rb::RuntimeLookupPluginEntrypoint(kPluginEntrypointKeys[i]))
            << "slot " << i;
    EXPECT_STREQ(kPluginEntrypointKeys[0], "_");
    EXPECT_STREQ(kPluginEntrypointKeys[31], "ZLibCompressWQX.InitZip(level as integer)");
    EXPECT_STREQ(kPluginEntrypointKeys[65], "ZLibDecompressWQX.InitZip");
    EXPECT_STREQ(kPluginEntrypointKeys[91], "MacAliasWQX.needsUpdate.Get");
}

TEST_F(EntryPoints, CompressAndDecompressRoundTrip) {
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "0 0 m 10 10 l S\r";

    auto z = rb::New<ZLibCompressWQX>();
    z->InitZip(1);
    ASSERT_TRUE(z->SetInput(text));
    z->ProcessZip();
    z->EndZip();
    const std::string packed = z->GetOutput();
    EXPECT_EQ(z->Error(), 0);
    EXPECT_EQ(z->TotalInput(), static_cast<std::int32_t>(text.size()));
    EXPECT_EQ(InflateAll(packed), text);
    EXPECT_EQ(z->CRC(), static_cast<std::int32_t>(adler32(
                            1, reinterpret_cast<const Bytef *>(text.data()), static_cast<uInt>(text.size()))));
    EXPECT_FALSE(z->Version().empty());

    auto u = rb::New<ZLibDecompressWQX>();
    u->InitZip();
    ASSERT_TRUE(u->SetInput(packed));
    u->ProcessZip();
    u->EndZip();
    EXPECT_EQ(u->GetOutput(), text);
}

TEST_F(EntryPoints, GzipFileWritesWhatItReadsBack) {
    TempFolder dir;
    auto file = rb::FolderItem::FromPath(dir / "sheet.gz");
    auto out = rb::New<GZipFileWQX>();
    ASSERT_TRUE(out->Open(file.get(), "wb"));
    out->Write("graph paper");
    out->Close();

    auto in = rb::New<GZipFileWQX>();
    ASSERT_TRUE(in->Open(file.get(), "rb"));
    EXPECT_EQ(in->Read(100), "graph paper");
    in->Close();
}

TEST_F(EntryPoints, AliasFindsItsFileAgainUntilItIsDeleted) {
    TempFolder dir;
    TempFolder::Put(dir / "graph.pdf", "%PDF");
    auto target = rb::FolderItem::FromPath(dir / "graph.pdf");

    std::string record;
    {
        auto a = rb::New<MacAliasWQX>();
        ASSERT_EQ(a->Create(nullptr, target.get()), 0);
        record = a->GetRecord();
        ASSERT_FALSE(record.empty());
    }
    auto b = rb::New<MacAliasWQX>();
    b->SetRecord(record);
    rb::Ref<rb::FolderItem> found = b->Resolve(nullptr, b->attemptMount());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->NativePath(), target->NativePath());
    EXPECT_FALSE(b->needsUpdate());

    ASSERT_EQ(std::remove((dir / "graph.pdf").c_str()), 0);
    auto c = rb::New<MacAliasWQX>();
    c->SetRecord(record);
    EXPECT_FALSE(c->Resolve(nullptr, c->attemptMount()));
}

} // namespace
