// child-process.h -- running part of a test where it cannot harm the test process: in a
// forked child (as another user, without a working folder, or after process-wide set-up that
// runs once), and under a guard that turns a hang into a failure.
#pragma once

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <functional>
#include <string>

// While it lives, a process that hangs is ended by SIGALRM, so that a blocking call fails its
// test instead of stopping the whole run.
class HangGuard {
  public:
    explicit HangGuard(unsigned seconds = 10) { alarm(seconds); }
    ~HangGuard() { alarm(0); }
    HangGuard(const HangGuard &) = delete;
    HangGuard &operator=(const HangGuard &) = delete;
};

// How a child ended, as a test reads it.
struct ChildResult {
    bool exited = false; // false: ended by a signal (`signal`), or never started or lost
    int status = -1;     // the exit status when it exited
    int signal = 0;
    std::string Describe() const {
        if (exited)
            return "exited with " + std::to_string(status);
        if (signal != 0)
            return "ended by signal " + std::to_string(signal);
        return "could not be started or waited for";
    }
};

// Runs `body` in a forked child that exits with body's result at once (no test framework
// clean-up runs there), under a HangGuard of `seconds`. The child shares nothing with the
// test process but what fork copies, so it may change signals, limits and its user. A child
// that cannot be waited for comes back as neither exited nor signalled. An exception out of
// body ends the child with status 126: it must never reach the copy of the test framework in
// the child, which would go on running tests there.
inline ChildResult RunInChild(const std::function<int()> &body, unsigned seconds = 20) {
    ChildResult result;
    const pid_t pid = fork();
    if (pid < 0)
        return result;
    if (pid == 0) {
        alarm(seconds);
        int status = 126;
        try {
            status = body();
        } catch (...) {
        }
        _exit(status);
    }
    // Only an interrupted wait is waited again; any other error (the child reaped elsewhere,
    // SIGCHLD ignored) leaves nothing to wait for, and the child counts as lost.
    int status = 0;
    pid_t waited = 0;
    do
        waited = waitpid(pid, &status, 0);
    while (waited < 0 && errno == EINTR);
    if (waited < 0)
        return result;
    result.exited = WIFEXITED(status);
    result.status = result.exited ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}

// Makes this process the unprivileged user "nobody", with nobody's group and no others: 0, or
// the error number of the step that failed.
inline int BecomeNobody() {
    const passwd *nobody = getpwnam("nobody");
    if (!nobody)
        return ENOENT;
    if (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
        return errno;
    return 0;
}

// Runs `body` as in RunInChild, as the user "nobody". Exit status 125 means the child could not
// become nobody.
inline ChildResult RunAsNobody(const std::function<int()> &body) {
    return RunInChild([&] { return BecomeNobody() == 0 ? body() : 125; });
}

// Permission tests need a user that the permission bits bind: root passes them. Empty when the
// test process can become the unprivileged user "nobody" in a child; otherwise why not. Being
// root is not enough: root of a user namespace that maps no ID for nobody cannot become it, so
// a child tries.
inline std::string CannotRunAsNobody() {
    if (geteuid() != 0)
        return "the tests run as an ordinary user, who cannot become another one";
    if (!getpwnam("nobody"))
        return "the system has no user \"nobody\"";
    const ChildResult tried = RunInChild(BecomeNobody);
    if (!tried.exited)
        return "a child that tries to become \"nobody\" " + tried.Describe();
    if (tried.status != 0)
        return std::string("this process cannot become \"nobody\": ") + std::strerror(tried.status);
    return "";
}

// Runs `body` as RunInChild does, in a working folder that is gone: the child makes a folder in
// `parent`, enters it and removes it, as when the user deletes the folder a program was started
// in. Relative names then have no folder to be taken from. Exit status 125 means the child
// could not leave itself without a working folder.
inline ChildResult RunWithoutWorkingFolder(const std::string &parent,
                                           const std::function<int()> &body) {
    return RunInChild([&] {
        const std::string folder = parent + "/removed working folder";
        char here[PATH_MAX];
        if (mkdir(folder.c_str(), 0700) != 0 || chdir(folder.c_str()) != 0 ||
            rmdir(folder.c_str()) != 0 || getcwd(here, sizeof here) != nullptr)
            return 125;
        return body();
    });
}
