// test-gzip.cpp -- GZipFileWQX through the framework host, against the system's gzip.
#include "plugin-calls.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

namespace compressor_test {
namespace {

namespace fs = std::filesystem;

class GZipFile : public PluginInstance {
  public:
    GZipFile() : PluginInstance("GZipFileWQX") {}

    bool Open(const rb::Ref<rb::FolderItem> &file, const Bytes &mode) {
        StringArg m(mode);
        return Method<std::int32_t>("Open(file as folderitem, mode as string) as boolean",
                                    ObjectArg(file.get()), m.get()) != 0;
    }
    void Close() { Method<void>("Close"); }
    void Write(const Bytes &data) {
        StringArg s(data);
        Method<void>("Write(data as string)", s.get());
    }
    Bytes Read(std::int32_t count) {
        return Take(Method<FrameworkString *>("Read(data as integer) as string", count));
    }
    void WriteByte(std::int32_t value) { Method<void>("WriteByte(data as integer)", value); }
    std::int32_t ReadByte() { return Method<std::int32_t>("ReadByte as integer"); }
    void SetParameter(std::int32_t level, std::int32_t strategy) {
        Method<void>("SetParameter(level as integer, strategy as integer)", level, strategy);
    }
    void Flush(std::int32_t flush) { Method<void>("Flush(flush as integer)", flush); }
    void Rewind() { Method<void>("Rewind"); }

    bool IsEOF() { return GetInteger("EOF") != 0; }
    std::int32_t Position() { return GetInteger("Position"); }
    void SetPosition(std::int32_t position) {
        Call<void, void *, std::intptr_t, std::int32_t>("GZipFileWQX.Position.Set", Instance(), 0,
                                                        position);
    }
    std::int32_t Lasterror() const { return Direct("Lasterror"); }
    void SetLasterror(std::int32_t value) { SetDirect("Lasterror", value); }
    std::int32_t Handle() const { return Direct("Handle"); }
};

std::string Show(const Bytes &b) { return b ? "\"" + *b + "\"" : "nil"; }

class GZipFileTest : public CompressorTest {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/compressor-gzip-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string PathOf(const std::string &name) const { return (dir_ / name).string(); }
    rb::Ref<rb::FolderItem> Item(const std::string &name) const {
        return rb::FolderItem::FromPath(PathOf(name));
    }

    // A gzip file made by zlib itself.
    void MakeGzip(const std::string &name, const std::string &content) const {
        gzFile f = gzopen(PathOf(name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(gzwrite(f, content.data(), static_cast<unsigned>(content.size())),
                  static_cast<int>(content.size()));
        ASSERT_EQ(gzclose(f), Z_OK);
    }

    // The standard output of a shell command that must succeed.
    static std::string Run(const std::string &command) {
        std::string out;
        FILE *p = popen(command.c_str(), "r");
        if (p == nullptr) {
            ADD_FAILURE() << "cannot run " << command;
            return out;
        }
        char buffer[65536];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;)
            out.append(buffer, n);
        const int status = pclose(p);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command << " failed";
        return out;
    }

    // The whole content of a file as it lies on disk.
    std::string Raw(const std::string &name) const {
        std::ifstream in(PathOf(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Ends a child of ChildrenOnADirtyHeap: its folder goes, and the failures it found are its
    // output and make it fail.
    [[noreturn]] void EndChild(const std::string &failures) const {
        fs::remove_all(dir_);
        std::fputs(failures.c_str(), stderr);
        std::_Exit(failures.empty() ? 0 : 1);
    }

    fs::path dir_;
};

// While it lives, the death tests of the current test run in a fresh copy of this program (which
// runs the test again up to the death test, its own folder included) whose heap hands out no
// zeroed memory: glibc, its cache of freed blocks turned off, fills every block it hands out
// with the complement of MALLOC_PERTURB_ (AddressSanitizer's allocator fills new blocks itself).
// Memory that zlib uses without setting it then shows in what is written, and a pointer read
// from it crashes, whatever the heap held before.
class ChildrenOnADirtyHeap {
  public:
    ChildrenOnADirtyHeap() {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        for (Variable &v : variables_) {
            if (const char *old = std::getenv(v.name))
                v.old = old;
            setenv(v.name, v.value, 1);
        }
    }
    ~ChildrenOnADirtyHeap() {
        for (const Variable &v : variables_) {
            if (v.old)
                setenv(v.name, v.old->c_str(), 1);
            else
                unsetenv(v.name);
        }
    }
    ChildrenOnADirtyHeap(const ChildrenOnADirtyHeap &) = delete;
    ChildrenOnADirtyHeap &operator=(const ChildrenOnADirtyHeap &) = delete;

  private:
    struct Variable {
        const char *name;
        const char *value;
        std::optional<std::string> old;
    };
    Variable variables_[2] = {{"MALLOC_PERTURB_", "90", std::nullopt},
                              {"GLIBC_TUNABLES", "glibc.malloc.tcache_count=0", std::nullopt}};
};

TEST_F(GZipFileTest, WrittenFileReadsBackWithGzip) {
    const std::string content = Text(300000) + Noise(5000);
    GZipFile g;
    ASSERT_TRUE(g.Open(Item("out.gz"), "wb"));
    EXPECT_NE(g.Handle(), 0);
    g.Write(content);
    EXPECT_EQ(g.Lasterror(), 0) << "Write";
    g.WriteByte('!');
    EXPECT_EQ(g.Lasterror(), 0) << "WriteByte";
    EXPECT_EQ(g.Position(), static_cast<std::int32_t>(content.size() + 1));
    g.Close();
    EXPECT_EQ(g.Lasterror(), 0) << "Close";
    EXPECT_EQ(g.Handle(), 0);

    EXPECT_TRUE(Run("gzip -dc '" + PathOf("out.gz") + "'") == content + "!")
        << "gzip -dc does not give back what was written";
}

TEST_F(GZipFileTest, ReadsAFileMadeByGzip) {
    const std::string content = "hello gzip world\n" + Text(200000);
    std::ofstream(PathOf("plain"), std::ios::binary) << content;
    Run("gzip -c '" + PathOf("plain") + "' > '" + PathOf("plain.gz") + "'");

    GZipFile g;
    ASSERT_TRUE(g.Open(Item("plain.gz"), std::nullopt)) << "a nil mode reads";
    EXPECT_EQ(g.ReadByte(), 'h');
    EXPECT_EQ(g.Read(4), "ello");
    EXPECT_EQ(g.Lasterror(), 0);
    EXPECT_EQ(g.Position(), 5);
    const Bytes rest = g.Read(INT32_MAX);
    ASSERT_TRUE(rest) << "a count far past the file's end";
    EXPECT_TRUE(*rest == content.substr(5)) << "the rest of the file, " << rest->size() << " bytes";
    EXPECT_EQ(g.Read(10), std::nullopt) << "at the end";
    EXPECT_EQ(g.Lasterror(), 0) << "a read at the end still works";
    EXPECT_TRUE(g.IsEOF());
    EXPECT_EQ(g.ReadByte(), -1);

    g.Rewind();
    EXPECT_EQ(g.Lasterror(), 0);
    EXPECT_EQ(g.Position(), 0);
    g.SetPosition(6);
    EXPECT_EQ(g.Read(4), "gzip");
}

// Every operation's Lasterror, with no file and with a file open for reading ("rb", holding
// "abcdefgh") or for writing ("wb"). Lasterror holds 77 before each operation, so that 77
// afterwards means the operation left it alone.
TEST_F(GZipFileTest, LasterrorOfEveryOperation) {
    struct Outcome {
        std::int32_t lasterror;
        std::string result;
    };
    const std::string version = std::string("\"") + zlibVersion() + "\"";
    // clang-format off
    const struct {
        const char *operation;
        const char *mode;
        Outcome noFile;
        Outcome withFile;
        std::function<std::string(GZipFile &)> run;
    } cases[] = {
        // operation, open as, {Lasterror, result} with no file, the same with the file open
        {"Close", "rb", {0, ""}, {0, ""},
         [](GZipFile &g) { return g.Close(), std::string(); }},
        {"Write", "wb", {-1, ""}, {0, ""},
         [](GZipFile &g) { return g.Write("data"), std::string(); }},
        {"Write nil", "wb", {-1, ""}, {-1, ""},
         [](GZipFile &g) { return g.Write(std::nullopt), std::string(); }},
        {"WriteByte", "wb", {-1, ""}, {0, ""},
         [](GZipFile &g) { return g.WriteByte(65), std::string(); }},
        {"Read", "rb", {-1, "nil"}, {0, "\"abcd\""},
         [](GZipFile &g) { return Show(g.Read(4)); }},
        {"Read 0", "rb", {-1, "nil"}, {-1, "nil"},
         [](GZipFile &g) { return Show(g.Read(0)); }},
        {"ReadByte", "rb", {-1, "-1"}, {-1, "97"},
         [](GZipFile &g) { return std::to_string(g.ReadByte()); }},
        {"SetParameter", "wb", {-1, ""}, {Z_OK, ""},
         [](GZipFile &g) { return g.SetParameter(9, 0), std::string(); }},
        {"SetParameter on a read file", "rb", {-1, ""}, {Z_STREAM_ERROR, ""},
         [](GZipFile &g) { return g.SetParameter(9, 0), std::string(); }},
        {"SetParameter on a transparent file", "wT", {-1, ""}, {Z_STREAM_ERROR, ""},
         [](GZipFile &g) { return g.SetParameter(9, 0), std::string(); }},
        {"Flush", "wb", {-1, ""}, {Z_OK, ""},
         [](GZipFile &g) { return g.Flush(Z_SYNC_FLUSH), std::string(); }},
        {"Rewind", "rb", {-1, ""}, {0, ""},
         [](GZipFile &g) { return g.Rewind(), std::string(); }},
        {"EOF", "rb", {-1, "true"}, {-1, "false"},
         [](GZipFile &g) { return std::string(g.IsEOF() ? "true" : "false"); }},
        {"ErrorMessage", "rb", {-1, "nil"}, {-1, "nil"},
         [](GZipFile &g) { return Show(g.GetString("ErrorMessage")); }},
        {"ErrorCode", "rb", {-1, "-1"}, {-1, "0"},
         [](GZipFile &g) { return std::to_string(g.GetInteger("ErrorCode")); }},
        {"Position", "rb", {77, "-1"}, {77, "0"},
         [](GZipFile &g) { return std::to_string(g.Position()); }},
        {"Position set", "rb", {77, "-1"}, {77, "3"},
         [](GZipFile &g) { return g.SetPosition(3), std::to_string(g.Position()); }},
        {"Version", "rb", {77, version}, {77, version},
         [](GZipFile &g) { return Show(g.GetString("Version")); }},
        {"Adler32", "rb", {77, "7"}, {77, "7"},
         [](GZipFile &g) { return std::to_string(g.Adler32(7, std::nullopt)); }},
        {"CRC32", "rb", {77, "7"}, {77, "7"},
         [](GZipFile &g) { return std::to_string(g.CRC32(7, std::nullopt)); }},
    };
    // clang-format on
    MakeGzip("read.gz", "abcdefgh");
    for (const auto &c : cases) {
        {
            GZipFile g;
            g.SetLasterror(77);
            const std::string result = c.run(g);
            EXPECT_EQ(g.Lasterror(), c.noFile.lasterror) << c.operation << " with no file";
            EXPECT_EQ(result, c.noFile.result) << c.operation << " with no file";
        }
        {
            GZipFile g;
            ASSERT_TRUE(g.Open(Item(c.mode[0] == 'r' ? "read.gz" : "write.gz"), c.mode));
            g.SetLasterror(77);
            const std::string result = c.run(g);
            EXPECT_EQ(g.Lasterror(), c.withFile.lasterror)
                << c.operation << " on a " << c.mode << " file";
            EXPECT_EQ(result, c.withFile.result) << c.operation << " on a " << c.mode << " file";
        }
    }
}

TEST_F(GZipFileTest, FailedOpenBlocksTheNextUntilClose) {
    MakeGzip("good.gz", "good");
    GZipFile g;
    EXPECT_FALSE(g.Open(nullptr, "rb")) << "a nil file";
    EXPECT_EQ(g.Lasterror(), -1);
    EXPECT_FALSE(g.Open(Item("good.gz"), "rb")) << "refused while the failure is recorded";
    g.Close();
    EXPECT_EQ(g.Lasterror(), 0);

    EXPECT_FALSE(g.Open(Item("no-such-folder/file.gz"), "wb"));
    EXPECT_EQ(g.Lasterror(), -1);
    EXPECT_EQ(g.Handle(), 0);
    EXPECT_FALSE(g.Open(Item("good.gz"), "rb")) << "refused while the failure is recorded";
    g.SetLasterror(0);
    ASSERT_TRUE(g.Open(Item("good.gz"), "rb")) << "the caller cleared Lasterror";
    EXPECT_NE(g.Handle(), 0);
    EXPECT_EQ(g.Read(100), "good");
}

TEST_F(GZipFileTest, OpenWhileOpenClosesTheFirstFile) {
    MakeGzip("second.gz", "second file");
    GZipFile g;
    ASSERT_TRUE(g.Open(Item("first.gz"), "wb"));
    g.Write("first file");
    g.SetLasterror(-1);
    ASSERT_TRUE(g.Open(Item("second.gz"), "rb")) << "closing the first file worked";
    EXPECT_EQ(g.Read(100), "second file");
    EXPECT_EQ(Run("gzip -dc '" + PathOf("first.gz") + "'"), "first file");
}

TEST_F(GZipFileTest, DroppingTheObjectClosesItsFile) {
    {
        GZipFile g;
        ASSERT_TRUE(g.Open(Item("dropped.gz"), "wb"));
        g.Write("kept");
    }
    EXPECT_EQ(Run("gzip -dc '" + PathOf("dropped.gz") + "'"), "kept");
}

// A transparent file has no deflate stream: SetParameter after a write leaves the file as it
// was, says so in Lasterror, and writing goes on.
TEST_F(GZipFileTest, SetParameterOnATransparentFileChangesNothing) {
    ChildrenOnADirtyHeap dirty;
    EXPECT_EXIT(
        {
            GZipFile g;
            if (!g.Open(Item("plain"), "wT"))
                EndChild("not opened\n");
            g.Write("a");
            g.SetParameter(1, 0);
            const std::string afterSetParameter = std::to_string(g.Lasterror());
            g.Write("b");
            const std::string afterWrite = std::to_string(g.Lasterror());
            g.Close();
            std::string failures;
            if (afterSetParameter != std::to_string(Z_STREAM_ERROR))
                failures += "Lasterror after SetParameter: got " + afterSetParameter +
                            ", expected Z_STREAM_ERROR\n";
            if (afterWrite != "0")
                failures += "Lasterror after the next Write: got " + afterWrite + ", expected 0\n";
            if (Raw("plain") != "ab")
                failures += "the file holds \"" + Raw("plain") + "\", expected \"ab\"\n";
            EndChild(failures);
        },
        testing::ExitedWithCode(0), "");
}

// Its size and how many of its bytes are not 0.
std::string Describe(const std::string &content) {
    const auto notZero = std::count_if(content.begin(), content.end(), [](char b) { return b; });
    return std::to_string(content.size()) + " bytes, " + std::to_string(notZero) + " not 0";
}

// A seek forward while writing stands for zeros up to the new position, before the first write
// as after one, whichever call next makes zlib write them.
TEST_F(GZipFileTest, ASeekForwardWritesZeros) {
    const std::string zeros(100000, '\0');
    const struct {
        const char *name;
        const char *mode;
        std::function<void(GZipFile &)> steps; // Close follows
        std::string content;
    } cases[] = {
        {"seek, Close", "wb", [](GZipFile &g) { g.SetPosition(100000); }, zeros},
        {"seek, Flush", "wb",
         [](GZipFile &g) {
             g.SetPosition(100000);
             g.Flush(Z_SYNC_FLUSH);
         },
         zeros},
        {"seek, SetParameter", "wb",
         [](GZipFile &g) {
             g.SetPosition(100000);
             g.SetParameter(1, 0);
         },
         zeros},
        {"seek, Write", "wb",
         [](GZipFile &g) {
             g.SetPosition(100000);
             g.Write("end");
         },
         zeros + "end"},
        {"Write, seek", "wb",
         [](GZipFile &g) {
             g.Write("x");
             g.SetPosition(100000);
         },
         "x" + zeros.substr(1)},
        {"seek, Close, transparent", "wT", [](GZipFile &g) { g.SetPosition(100000); }, zeros},
    };
    ChildrenOnADirtyHeap dirty;
    EXPECT_EXIT(
        {
            std::string failures;
            for (const auto &c : cases) {
                {
                    GZipFile g;
                    if (!g.Open(Item("sought.gz"), c.mode))
                        EndChild(std::string(c.name) + ": not opened\n");
                    c.steps(g);
                }
                const std::string content = c.mode[1] == 'T'
                                                ? Raw("sought.gz")
                                                : Run("gzip -dc '" + PathOf("sought.gz") + "'");
                if (content != c.content)
                    failures += std::string(c.name) + ": got " + Describe(content) + ", expected " +
                                Describe(c.content) + "\n";
            }
            EndChild(failures);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace compressor_test
