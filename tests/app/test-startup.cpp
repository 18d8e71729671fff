// The built program, started as a user starts it: it reaches its event loop with its document
// window and every plug-in in place, and refuses to start, naming the key, when one is missing.
#include "run-command.h"
#include "temp-folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

struct RunResult {
    int status = -1;
    std::string output;
};

RunResult RunShell(const std::string &command) {
    RunResult r;
    r.status = RunCommand(command, &r.output);
    return r;
}

// The program's folder copied, so that a plug-in can be taken away from the copy.
void CopyProgram(const std::string &to, bool withCompressor) {
    const fs::path bin = VELLUMET_BIN_DIR;
    fs::create_directories(fs::path(to) / "plugins");
    fs::copy_file(bin / "vellumet", fs::path(to) / "vellumet");
    fs::copy_file(bin / "librbframework.so", fs::path(to) / "librbframework.so");
    for (const auto &entry : fs::directory_iterator(bin / "plugins")) {
        const std::string name = entry.path().filename().string();
        if (withCompressor || name.find("compressor") == std::string::npos)
            fs::copy_file(entry.path(), fs::path(to) / "plugins" / name);
    }
}

bool Installed(const std::string &tool) { return RunShell("command -v " + tool).status == 0; }

// Without a document on the command line the program opens one empty document window and
// runs its event loop until the user quits: a program that opened no window would quit at
// once with status 0, so still running when `timeout` stops it (status 124) is the loop with
// its window open.
TEST(Startup, KeepsRunningWithItsDocumentWindowOpen) {
    TempFolder dir;
    CopyProgram(dir.Path(), true);
    RunResult r =
        RunShell("cd " + dir.Path() + " && QT_QPA_PLATFORM=offscreen timeout 5 ./vellumet");
    EXPECT_EQ(r.status, 124) << "the program ended by itself:\n" << r.output;
    EXPECT_EQ(r.output.find("cannot start"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("exception"), std::string::npos) << r.output;
}

// The same start on a real (virtual) X display, where the window can be counted from outside:
// exactly one top-level window titled "Vellumet" appears.
TEST(Startup, ShowsOneDocumentWindow) {
    if (!Installed("xvfb-run") || !Installed("xwininfo"))
        GTEST_SKIP() << "needs xvfb-run and xwininfo (x11-utils)";
    TempFolder dir;
    CopyProgram(dir.Path(), true);
    // Wait up to 20 s for the first window, then a moment more so that a second one would
    // show as well.
    TempFolder::Put(dir / "count-windows.sh",
                    "QT_QPA_PLATFORM=xcb ./vellumet & pid=$!\n"
                    "count() { xwininfo -root -children | grep -c '\"Vellumet\"'; }\n"
                    "i=0\n"
                    "while [ $i -lt 200 ] && [ $(count) -eq 0 ] && kill -0 $pid 2>/dev/null; do\n"
                    "    sleep 0.1; i=$((i + 1))\n"
                    "done\n"
                    "sleep 0.5\n"
                    "echo windows=$(count)\n"
                    "kill $pid 2>/dev/null; wait $pid\n");
    RunResult r = RunShell("cd " + dir.Path() + " && xvfb-run -a sh count-windows.sh");
    EXPECT_NE(r.output.find("windows=1\n"), std::string::npos) << r.output;
}

TEST(Startup, StopsAndNamesTheKeyWhenAPluginIsMissing) {
    TempFolder dir;
    CopyProgram(dir.Path(), false);
    RunResult r = RunShell("cd " + dir.Path() + " && QT_QPA_PLATFORM=offscreen ./vellumet");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("ZLibCompressWQX.__init"), std::string::npos) << r.output;
}

} // namespace
