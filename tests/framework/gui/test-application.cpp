// test-application.cpp -- the event loop: start-up events, quitting through every window's
// Close event, and the end of the loop when the last window closes.
#include "gui-fixture.h"

#include "child-process.h"
#include "temp-folder.h"

#include <filesystem>

using namespace rb;

namespace {

// Records its events; what NewDocument and OpenDocument do is the test's.
class LoopApp : public Application {
  public:
    EventLog log;
    std::function<void()> onNewDocument;
    std::function<void()> onOpenDocument;
    void Open() override { log.push_back("Open"); }
    void NewDocument() override {
        log.push_back("NewDocument");
        if (onNewDocument)
            onNewDocument();
    }
    void OpenDocument(Ref<FolderItem> item) override {
        log.push_back("OpenDocument " + (item ? item->NativePath() : std::string("nil")));
        if (onOpenDocument)
            onOpenDocument();
    }
    void Close() override { log.push_back("Close"); }
};

// A window that notes in a shared list when its Close event runs.
class NamedWindow : public Window {
  public:
    NamedWindow(std::string name, EventLog &closed) : name_(std::move(name)), closed_(closed) {
        _InstallInstanceEventHandler("Close", &NamedWindow::Close);
    }
    void Close() { closed_.push_back(name_); }

  private:
    std::string name_;
    EventLog &closed_;
};

class LoopTest : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        app = New<LoopApp>();
        RuntimeRegisterAppObject(app);
    }
    void TearDown() override {
        GuiTest::TearDown();
        RuntimeRegisterAppObject(nullptr);
    }
    Ref<LoopApp> app;
    EventLog closed;
};

} // namespace

TEST_F(LoopTest, WithoutDocumentsNewDocumentRunsOnceAndQuitClosesEveryWindow) {
    app->onNewDocument = [&] {
        NewWindow<NamedWindow>("first", closed);
        NewWindow<NamedWindow>("second", closed);
        Quit();
    };
    RuntimeRun();
    EXPECT_EQ(app->log, (EventLog{"Open", "NewDocument", "Close"})) << Describe(app->log);
    EXPECT_EQ(closed, (EventLog{"second", "first"})) << "front to back: " << Describe(closed);
    EXPECT_EQ(WindowCount(), 0);
    EXPECT_FALSE(RuntimeRunning());
}

TEST_F(LoopTest, EachDocumentOnTheCommandLineIsOpenedAndNoWindowMeansNoLoop) {
    testdriver::SetCommandLineDocuments({"relative.setf", "/tmp/absolute.setf"});
    RuntimeRun(); // opens no window, so it returns by itself
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(app->log, (EventLog{"Open", "OpenDocument " + cwd + "/relative.setf",
                                  "OpenDocument /tmp/absolute.setf", "Close"}))
        << Describe(app->log);
}

// Where the working folder is gone, a relative document reaches OpenDocument as it stands, for
// the system to resolve (and refuse), never as a name at the root. Run in a child without a
// working folder.
TEST_F(LoopTest, ARelativeDocumentWithoutAWorkingFolderStaysRelative) {
    TempFolder tmp;
    const std::string report = tmp / "events";
    const ChildResult child = RunWithoutWorkingFolder(tmp.Path(), [&] {
        testdriver::SetCommandLineDocuments({"./relative.setf"});
        RuntimeRun();
        TempFolder::Put(report, Describe(app->log));
        return 0;
    });
    ASSERT_TRUE(child.exited && child.status == 0) << child.Describe();
    EXPECT_EQ(TempFolder::Get(report), "[Open, OpenDocument relative.setf, Close]");
}

TEST_F(LoopTest, TheLoopEndsWhenTheLastWindowCloses) {
    bool runningAfterFirst = false;
    app->onNewDocument = [&] {
        auto first = NewWindow<NamedWindow>("first", closed);
        auto second = NewWindow<NamedWindow>("second", closed);
        first->Window::Close(); // NamedWindow::Close is the event handler
        runningAfterFirst = RuntimeRunning() && WindowCount() == 1;
        second->Window::Close();
    };
    RuntimeRun();
    EXPECT_TRUE(runningAfterFirst) << "the loop ended with a window still open";
    EXPECT_EQ(closed, (EventLog{"first", "second"})) << Describe(closed);
    EXPECT_EQ(app->log.back(), "Close");
}

TEST_F(GuiTest, QuitWithoutTheLoopClosesEveryWindowFrontFirst) {
    EventLog closed;
    NewWindow<NamedWindow>("back", closed);
    auto front = NewWindow<NamedWindow>("front", closed);
    EXPECT_EQ(FrontWindow(), Ref<Window>(front));
    Quit();
    EXPECT_EQ(closed, (EventLog{"front", "back"})) << Describe(closed);
    EXPECT_EQ(WindowCount(), 0);
}
