#pragma once
// A fresh folder under the system's temporary folder, removed with its contents at
// the end of its scope.

#include <atomic>
#include <filesystem>
#include <random>
#include <string>

#include <unistd.h>

namespace sonoleaf::testing {

class TempDir {
  public:
    TempDir() : TempDir(std::filesystem::temp_directory_path()) {}
    // Under `base` instead, such as a folder held in memory.
    explicit TempDir(const std::filesystem::path& base) {
        static std::atomic<int> counter{0};
        std::random_device random;
        path_ = base / ("sonoleaf-test-" + std::to_string(::getpid()) + "-" +
                        std::to_string(counter++) + "-" + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The folder as wide text, as a user would type it (no trailing separator).
    std::u16string Wide() const { return path_.u16string(); }

  private:
    std::filesystem::path path_;
};

}  // namespace sonoleaf::testing
