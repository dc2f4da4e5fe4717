#pragma once
// The files a command reads and the folder it writes, checked and made ready before
// any job starts, so that a wrong path is an error line rather than a job's message.

#include <filesystem>
#include <optional>
#include <string>

namespace sonoleaf::cli {

// Empty when `path` is a regular file that opens for reading; else the error line.
std::string CheckReadable(const std::string& path);

// Makes `folder` (with its parents) when it is not there; else the error line.
std::string PrepareFolder(const std::string& folder);

// Standard input, copied whole into a temporary text file that is removed with this.
class StdinCopy {
  public:
    StdinCopy() = default;
    ~StdinCopy();
    StdinCopy(const StdinCopy&) = delete;
    StdinCopy& operator=(const StdinCopy&) = delete;

    // The copy's path; an empty path (and `error` set) when it could not be made.
    std::string Make(std::string& error);

  private:
    std::filesystem::path path_;
};

}  // namespace sonoleaf::cli
