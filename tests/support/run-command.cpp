#include "run-command.h"

#include <array>
#include <cstdio>
#include <sys/wait.h>

int RunCommand(const std::string &command, std::string *output) {
    output->clear();
    FILE *pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        output->append(buffer.data(), n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
