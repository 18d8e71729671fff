// test-process-setup.cpp -- what RuntimeInit, which a program calls first, sets up for the
// whole process: the signal that a file-size limit raises, and the documents named on the
// command line. RuntimeInit runs once per process, so each case starts a child that calls it
// as a program's main does.
#include "rb/application.h"
#include "rb/files.h"

#include "child-process.h"
#include "temp-folder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>

using namespace rb;

namespace {

// The start of a program's main, in the child: the framework on the offscreen platform.
void StartFramework(std::vector<std::string> arguments) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static std::vector<std::string> kept;
    static std::vector<char *> argv;
    kept = std::move(arguments);
    kept.insert(kept.begin(), "rbtest");
    for (std::string &a : kept)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    RuntimeInit(static_cast<int>(kept.size()), argv.data());
}

// Under a file-size limit a write fails with EFBIG, which the program reports like any other
// failed write, instead of the process being killed (with its temporary file left behind).
TEST(ProcessSetup, AFileSizeLimitMakesWritesFailInsteadOfEndingTheProgram) {
    TempFolder tmp;
    const std::string path = tmp / "doc.setf";
    TempFolder::Put(path, "old contents");
    const ChildResult child = RunInChild([&] {
        StartFramework({});
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &limit);
        Ref<BinaryStream> out = FolderItem::FromPath(path)->CreateBinaryFile("Setf");
        if (!out)
            return 1;
        out->Write(std::string(200000, 'n'));
        if (out->Close())
            return 2;
        return out->LastErrorCode() == EFBIG ? 0 : 3;
    });
    ASSERT_TRUE(child.exited) << child.Describe();
    EXPECT_EQ(child.status, 0) << "1: not created, 2: reported success, 3: another reason";
    EXPECT_EQ(TempFolder::Get(path), "old contents");
    EXPECT_EQ(tmp.Listing(), "doc.setf") << "a temporary file is left behind";
}

// Records the documents that the start-up hands over.
class RecordingApp : public Application {
  public:
    std::vector<std::string> opened;
    void OpenDocument(Ref<FolderItem> item) override {
        opened.push_back(item ? item->NativePath() : "nil");
    }
    void NewDocument() override { opened.push_back("new"); }
};

// A file name is whatever bytes the system passed: one that is not UTF-8 names that very file,
// not another with a garbled name.
TEST(ProcessSetup, DocumentNamesAreTheBytesTheSystemPassed) {
    TempFolder tmp;
    const std::vector<std::string> names = {"caf\xE9.setf", "plain.setf", "\xFF\xFE.setf",
                                            "caf\xC3\xA9.setf"};
    const ChildResult child = RunInChild([&] {
        std::vector<std::string> arguments;
        for (const std::string &name : names)
            arguments.push_back(tmp / name);
        StartFramework(arguments);
        auto app = New<RecordingApp>();
        RuntimeRegisterAppObject(app);
        RuntimeRun(); // opens no window, so it returns by itself
        return app->opened == arguments ? 0 : 1;
    });
    ASSERT_TRUE(child.exited) << child.Describe();
    EXPECT_EQ(child.status, 0) << "the documents handed over are not the files named";
}

// "--" ends the options, Qt's included: every argument after it is a document, whatever it
// begins with, and "--" itself is none.
TEST(ProcessSetup, DoubleDashEndsTheOptions) {
    TempFolder tmp;
    const struct {
        const char *name;
        std::vector<std::string> arguments;
        std::vector<std::string> documents; // in the test folder; "new" for a new document
    } cases[] = {
        {"alone", {"--"}, {"new"}},
        {"before a name like an option", {"--", "-name.setf"}, {"-name.setf"}},
        {"after a document, before another --", {"a.setf", "--", "--"}, {"a.setf", "--"}},
        {"before one of Qt's options", {"--", "-reverse", "-style"}, {"-reverse", "-style"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ChildResult child = RunInChild([&] {
            if (chdir(tmp.Path().c_str()) != 0)
                return 2;
            StartFramework(c.arguments);
            auto app = New<RecordingApp>();
            RuntimeRegisterAppObject(app);
            RuntimeRun();
            std::vector<std::string> expected;
            for (const std::string &d : c.documents)
                expected.push_back(d == "new" ? d : FolderItem::FromPath(d)->NativePath());
            return app->opened == expected ? 0 : 1;
        });
        ASSERT_TRUE(child.exited) << child.Describe();
        EXPECT_EQ(child.status, 0) << "1: other documents were opened";
    }
}

} // namespace
