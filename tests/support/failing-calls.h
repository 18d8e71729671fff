// failing-calls.h -- a disk that fails on cue: a system-call filter that makes chosen calls
// fail in the process that sets it, for good (so: in a child, see child-process.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <vector>

// From now on, in this process, each of these system calls fails with `error` where its fourth
// argument (pread's and pwrite's offset, fallocate's length, fsetxattr's size) is at least
// `from`: a disk that fails on cue. A `from` of 0 fails every call, whatever its arguments.
// False where no such filter can be set (then the process is as it was): the filter is
// written for x86-64 only.
struct FailingCall {
    int call;
    std::uint32_t from;
    int error;
};
inline bool FailCalls(const std::vector<FailingCall> &calls) {
#if defined(__x86_64__)
    std::vector<sock_filter> code = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    for (const FailingCall &c : calls) {
        const auto error = static_cast<std::uint32_t>(c.error) & SECCOMP_RET_DATA;
        code.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
        code.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(c.call), 0, 4));
        // The low half of the argument, little-endian.
        code.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[3])));
        code.push_back(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, c.from, 0, 1));
        code.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | error));
        code.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    }
    code.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    sock_fprog program{static_cast<unsigned short>(code.size()), code.data()};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
#else
    (void)calls;
    return false;
#endif
}
inline bool FailCalls(std::initializer_list<FailingCall> calls) {
    return FailCalls(std::vector<FailingCall>(calls));
}

// Why a test that needs FailCalls skips where it returns false.
constexpr const char *kNoCallFilter =
    "no system-call filter can be set on this machine (x86-64 only)";

