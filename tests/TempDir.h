#pragma once

// A folder of its own for one test: made by mkdtemp, so that two runs of the
// suite at the same time (or the same test in two processes) never share it,
// and removed with everything in it afterwards.

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace tlc::test {

class TempDir {
public:
    explicit TempDir(const std::string& prefix = "tlc") {
#ifdef _WIN32
        // No mkdtemp here: a random name, made exclusively by create_directory.
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const auto candidate = std::filesystem::temp_directory_path() /
                                   (prefix + "-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) {
                path_ = candidate;
                return;
            }
        }
        throw std::runtime_error("no temporary folder for " + prefix);
#else
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (!::mkdtemp(name.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
        path_ = name.data();
#endif
    }
    ~TempDir() {
        std::error_code ec;
        // A test may have taken the write permission away.
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace tlc::test
