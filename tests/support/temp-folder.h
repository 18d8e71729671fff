// temp-folder.h -- a fresh folder under the system's temporary folder, removed with its
// contents at the end of the test.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

class TempFolder {
  public:
    // A folder that cannot be made throws, which fails the test that wanted it at once (the
    // test framework reports an exception in a test or its fixture as that test's failure):
    // with no folder, every name built on it would be a name under the working folder or the
    // root, and the test would create, change and remove files there.
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vellumet-test-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("no temporary folder could be made as " + pattern + ": " +
                                     std::strerror(errno));
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::string &Path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

    // Writes a whole file; reads a whole file ("" when it is missing).
    static void Put(const std::string &path, const std::string &bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string Get(const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The names in the folder, sorted.
    std::string Listing() const {
        std::string names;
        std::vector<std::string> all;
        for (const auto &entry : std::filesystem::directory_iterator(path_))
            all.push_back(entry.path().filename().string());
        std::sort(all.begin(), all.end());
        for (const auto &n : all)
            names += (names.empty() ? "" : " ") + n;
        return names;
    }

  private:
    std::string path_;
};
