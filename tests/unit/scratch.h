// Real files for unit tests: a fresh folder per test, and whole-file reads and
// writes in binary, so line ends and zero bytes arrive as written.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace scratch {

// An empty folder in the temporary directory, named after the running test,
// removed again with the object (so also when an assertion ends the test).
class Dir {
  public:
    explicit Dir(const std::string& prefix)
        : path_(std::filesystem::temp_directory_path() /
                (prefix + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~Dir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    Dir(const Dir&) = delete;
    Dir& operator=(const Dir&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

inline void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace scratch
