// RunInChild's wait: an interrupted wait is waited again, and a wait that can never succeed
// ends with a lost child instead of spinning for ever. Each test runs RunInChild inside a child
// of its own, whose set-up (a signal handler, an ignored SIGCHLD) must not reach the test
// process, under a guard that turns a spinning wait into a failure.
#include "child-process.h"

#include <gtest/gtest.h>

#include <sys/syscall.h>

#include <csignal>
#include <fstream>
#include <string>

namespace {

// The interrupted case's pipes: the inner child blocks on `release` until the sender closes
// it, and the waiter's signal handler writes to `handled` once it ran.
int release[2];
int handled[2];

void Acknowledge(int) {
    const char byte = 'h';
    (void)!write(handled[1], &byte, 1);
}

std::string FirstWord(const std::string &path) {
    std::ifstream file(path);
    std::string word;
    file >> word;
    return word;
}

// Whether the process sleeps inside a wait for a child. /proc/<pid>/syscall names the system
// call a process sleeps in: the kernel answers only once the process is off the processor
// ("running" otherwise), and a wait sleeps only where it waits for a child to end. Read by the
// waiter's parent, which the system lets look (another process may not). A kernel without the
// file leaves no way to tell.
enum class Waiting { Yes, No, Gone, CannotTell };
Waiting InWait(pid_t pid) {
    const std::string proc = "/proc/" + std::to_string(pid);
    std::ifstream statFile(proc + "/stat");
    std::string stat;
    std::getline(statFile, stat);
    // The state follows the command name, which may hold blanks and parentheses.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] == 'Z' ||
        stat[close + 2] == 'X')
        return Waiting::Gone;
    const std::string call = FirstWord(proc + "/syscall");
    if (call.empty())
        return Waiting::CannotTell;
    if (call == std::to_string(SYS_wait4))
        return Waiting::Yes;
#ifdef SYS_waitid
    if (call == std::to_string(SYS_waitid))
        return Waiting::Yes;
#endif
    return Waiting::No;
}

// Waits until `pid` is inside a wait for a child (Yes), or it will never be seen there (Gone,
// CannotTell). Polled: how soon it looks again decides nothing but the time the test takes.
Waiting AwaitWaiting(pid_t pid) {
    for (;;) {
        const Waiting now = InWait(pid);
        if (now != Waiting::No)
            return now;
        usleep(1000);
    }
}

// A signal whose handler does not restart calls interrupts the wait, and the wait is waited
// again. The sender, the waiter's parent, sends the signal only once it sees the waiter asleep
// in the wait itself, and the inner child cannot end before the handler ran (it waits for the
// sender to close its pipe), so the wait that the signal ended can only have failed with
// EINTR. The sender lets the inner child go only once the waiter waits again; a RunInChild
// that gives up at EINTR returns without its child, and the sender then finds the waiter gone.
// The sender's exit status: the waiter's, or 125 where the waiter cannot be seen in its wait.
TEST(RunInChild, WaitsAgainAfterAnInterruptedWait) {
    const ChildResult sender = RunInChild(
        [] {
            if (pipe(release) != 0 || pipe(handled) != 0)
                return 3;
            const pid_t waiter = fork();
            if (waiter < 0)
                return 3;
            if (waiter == 0) {
                alarm(10);
                struct sigaction action {};
                action.sa_handler = Acknowledge;
                sigaction(SIGUSR1, &action, nullptr);
                close(release[1]);
                close(handled[0]);
                const ChildResult inner = RunInChild([] {
                    close(handled[1]);
                    char byte = 0;
                    while (read(release[0], &byte, 1) < 0 && errno == EINTR) {
                    }
                    return 7;
                });
                _exit(inner.exited && inner.status == 7 ? 0 : 1);
            }
            close(release[0]);
            close(handled[1]);
            const bool seen = AwaitWaiting(waiter) == Waiting::Yes;
            if (seen) {
                kill(waiter, SIGUSR1);
                char byte = 0;
                (void)!read(handled[0], &byte, 1);
                AwaitWaiting(waiter);
            } else {
                kill(waiter, SIGKILL);
            }
            close(release[1]); // the inner child ends
            int status = 0;
            while (waitpid(waiter, &status, 0) < 0 && errno == EINTR) {
            }
            if (!seen)
                return 125;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
        },
        20);
    if (sender.exited && sender.status == 125)
        GTEST_SKIP() << "the waiting process cannot be seen in its wait here (no "
                        "/proc/<pid>/syscall)";
    ASSERT_TRUE(sender.exited) << sender.Describe();
    EXPECT_EQ(sender.status, 0) << "1: RunInChild gave up at the interruption, 2: it did not "
                                   "return";
}

// With SIGCHLD ignored the system reaps the child itself, and every wait fails: the child is
// lost, and RunInChild returns.
TEST(RunInChild, GivesUpOnAChildTheSystemReaped) {
    const ChildResult outer = RunInChild(
        [] {
            std::signal(SIGCHLD, SIG_IGN);
            const ChildResult inner = RunInChild([] { return 7; });
            return !inner.exited && inner.status == -1 ? 0 : 1;
        },
        10);
    ASSERT_TRUE(outer.exited) << "RunInChild did not return: " << outer.Describe();
    EXPECT_EQ(outer.status, 0) << "another result than a lost child";
}

} // namespace
