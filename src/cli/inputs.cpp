#include "cli/inputs.h"

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
    std::error_code error;
    if (!fs::exists(path, error)) return "cannot read '" + path + "': no such file";
    if (!fs::is_regular_file(path, error)) return "cannot read '" + path + "': not a file";
    if (!std::ifstream(path, std::ios::binary).good())
        return "cannot read '" + path + "': " + std::strerror(errno);
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
