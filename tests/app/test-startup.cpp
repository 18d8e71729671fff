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

// Without a document on the command line the program shows one empty document window and
// runs its event loop until the user quits. Started on a virtual X display of its own, as a
// user starts it, the window is looked for from outside: within a deadline exactly one
// top-level window titled "Vellumet" is on the screen, and the program still runs a moment
// after it appeared (a program that opened its window and then ended, or one still starting,
// fails). `shown` counts the top-level windows of that title that are mapped and viewable.
// The display server picks a free display itself and names it once it takes connections
// (-displayfd), so that no other server, starting or ending, can be taken for it; and it does
// not reset when a client leaves (-noreset), which would refuse the program's connection if
// the first look for its window ended just before.
TEST(Startup, ShowsOneDocumentWindowAndKeepsRunning) {
    if (!Installed("Xvfb") || !Installed("xwininfo"))
        GTEST_SKIP() << "needs Xvfb (xvfb) and xwininfo (x11-utils)";
    TempFolder dir;
    CopyProgram(dir.Path(), true);
    TempFolder::Put(
        dir / "watch-start.sh",
        "Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>display 2>xvfb.log &\n"
        "xvfb=$!\n"
        "deadline=$(($(date +%s) + 30))\n"
        "while [ ! -s display ] && [ $(date +%s) -lt $deadline ] && kill -0 $xvfb 2>/dev/null\n"
        "do sleep 0.1; done\n"
        "[ -s display ] || { echo 'no display:'; cat xvfb.log; kill $xvfb; exit 1; }\n"
        "export DISPLAY=:$(cat display)\n"
        "QT_QPA_PLATFORM=xcb ./vellumet & pid=$!\n"
        "shown() {\n"
        "    n=0\n"
        "    for id in $(xwininfo -root -children |\n"
        "                sed -n 's/^ *\\(0x[0-9a-f]*\\) \"Vellumet\".*/\\1/p'); do\n"
        "        xwininfo -id $id | grep -q 'Map State: IsViewable' && n=$((n + 1))\n"
        "    done\n"
        "    echo $n\n"
        "}\n"
        "deadline=$(($(date +%s) + 30))\n"
        "while [ $(shown) -eq 0 ] && [ $(date +%s) -lt $deadline ] && kill -0 $pid 2>/dev/null\n"
        "do sleep 0.1; done\n"
        "sleep 0.5\n"
        "echo windows=$(shown)\n"
        "kill -0 $pid 2>/dev/null && echo running\n"
        "kill $pid 2>/dev/null; wait $pid\n"
        "kill $xvfb; wait $xvfb\n");
    RunResult r = RunShell("cd " + dir.Path() + " && sh watch-start.sh");
    EXPECT_NE(r.output.find("windows=1\n"), std::string::npos)
        << "not one document window on the screen within 30 s:\n"
        << r.output;
    EXPECT_NE(r.output.find("running\n"), std::string::npos) << "the program ended:\n" << r.output;
    EXPECT_EQ(r.output.find("cannot start"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("exception"), std::string::npos) << r.output;
}

TEST(Startup, StopsAndNamesTheKeyWhenAPluginIsMissing) {
    TempFolder dir;
    CopyProgram(dir.Path(), false);
    RunResult r = RunShell("cd " + dir.Path() + " && QT_QPA_PLATFORM=offscreen ./vellumet");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("ZLibCompressWQX.__init"), std::string::npos) << r.output;
}

} // namespace
