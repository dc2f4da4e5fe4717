#include "cli/inputs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <system_error>

namespace sonoleaf::cli {
namespace fs = std::filesystem;

std::string CheckReadable(const std::string& path) {
    // The system's own reason: a folder that may not be entered is no missing file.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return "cannot read '" + path + "': " + std::strerror(errno);
    if (!S_ISREG(info.st_mode)) return "cannot read '" + path + "': not a file";
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) return "cannot read '" + path + "': " + std::strerror(errno);
    ::close(file);
    return {};
}

std::string PrepareFolder(const std::string& folder) {
    std::error_code error;
    if (fs::is_directory(folder, error)) return {};
    fs::create_directories(folder, error);
    if (error) return "cannot make folder '" + folder + "': " + error.message();
    return {};
}

StdinCopy::~StdinCopy() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove(path_, ignored);
}

std::string StdinCopy::Make(std::string& error) {
    std::error_code tempError;
    const fs::path folder = fs::temp_directory_path(tempError);
    std::string pattern = (tempError ? fs::path("/tmp") : folder) / "sonoleaf-cli-XXXXXX.txt";
    const int descriptor = ::mkstemps(pattern.data(), 4);
    if (descriptor < 0) {
        error = "cannot keep standard input: " + std::string(std::strerror(errno));
        return {};
    }
    ::close(descriptor);
    path_ = pattern;
    std::ofstream copy(path_, std::ios::binary | std::ios::trunc);
    // Streaming an empty input would count as a failed write.
    if (std::cin.peek() != std::char_traits<char>::eof()) copy << std::cin.rdbuf();
    copy.flush();
    if (!copy) {
        error = "cannot keep standard input in '" + pattern + "'";
        return {};
    }
    return pattern;
}

}  // namespace sonoleaf::cli
