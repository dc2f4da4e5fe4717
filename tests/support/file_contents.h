#pragma once
// Every file of a folder with its bytes, for comparing the output of two runs.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace sonoleaf::testing {

// File name to content, for the regular files directly in `folder`.
inline std::map<std::string, std::string> FilesIn(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().filename().string()] = {std::istreambuf_iterator<char>(in), {}};
    }
    return files;
}

}  // namespace sonoleaf::testing
