// A temporary folder that cannot be made fails the test that asked for it, at once: the test
// must never go on with names that lead under the working folder or the root.
#include "temp-folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

// TMPDIR names a folder in which no one, root included, can make a folder.
TEST(TempFolder, AFolderThatCannotBeMadeThrows) {
    const char *was = std::getenv("TMPDIR");
    const std::optional<std::string> old = was ? std::optional<std::string>(was) : std::nullopt;
    setenv("TMPDIR", "/proc", 1);
    EXPECT_THROW({ TempFolder folder; }, std::runtime_error);
    if (old)
        setenv("TMPDIR", old->c_str(), 1);
    else
        unsetenv("TMPDIR");
}

} // namespace
