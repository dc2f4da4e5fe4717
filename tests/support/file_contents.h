#pragma once
// Every file of a folder with its bytes, for comparing the output of two runs.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace sonoleaf::testing {

inline std::string FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// File name to content, for the visible regular files directly in `folder` (a list's
// journal and the parts it writes are hidden).
inline std::map<std::string, std::string> FilesIn(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().filename().string().starts_with('.')) continue;
        files[entry.path().filename().string()] = FileBytes(entry.path());
    }
    return files;
}

}  // namespace sonoleaf::testing
