// RunInChild's wait: an interrupted wait is waited again, and a wait that can never succeed
// ends with a lost child instead of spinning for ever. Each case runs RunInChild inside a child
// of its own, whose set-up (a signal handler, an ignored SIGCHLD) must not reach the test
// process, under a guard that turns a spinning wait into a failure.
#include "child-process.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

void Ignore(int) {}

struct WaitCase {
    const char *name;
    void (*setUp)(); // in the child that calls RunInChild
    bool exited;     // what RunInChild reports of its own child
    int status;
};

const WaitCase kWaitCases[] = {
    // A signal whose handler does not restart calls, sent by a helper process while the
    // child still sleeps, interrupts the wait.
    {"interrupted wait",
     [] {
         struct sigaction action {};
         action.sa_handler = Ignore;
         sigaction(SIGUSR1, &action, nullptr);
         const pid_t waiter = getpid();
         if (fork() == 0) {
             usleep(50000);
             kill(waiter, SIGUSR1);
             _exit(0);
         }
     },
     true, 7},
    // With SIGCHLD ignored the system reaps the child itself, and every wait fails.
    {"child reaped by the system", [] { std::signal(SIGCHLD, SIG_IGN); }, false, -1},
};

TEST(RunInChild, WaitsThroughInterruptionsAndGivesUpOnALostChild) {
    for (const WaitCase &c : kWaitCases) {
        const ChildResult outer = RunInChild(
            [&] {
                c.setUp();
                const ChildResult inner = RunInChild([] {
                    usleep(200000);
                    return 7;
                });
                return inner.exited == c.exited && inner.status == c.status ? 0 : 1;
            },
            5);
        ASSERT_TRUE(outer.exited) << c.name << ": RunInChild did not return, " << outer.Describe();
        EXPECT_EQ(outer.status, 0) << c.name << ": got another result, expected "
                                   << (c.exited ? "an exit status" : "a lost child");
    }
}

} // namespace
