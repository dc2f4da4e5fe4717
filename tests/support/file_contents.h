#pragma once
// Every file of a folder with its bytes, for comparing the output of two runs.

#include <algorithm>
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

// How far a file in the making has grown: a render writes under a hidden temporary
// name beside its own (".<name>.part-..."), which it takes only when whole.
inline std::uintmax_t GrowingSize(const std::filesystem::path& path) {
    std::error_code error;
    std::uintmax_t size = 0;
    const std::string prefix = "." + path.filename().string() + ".part-";
    for (const auto& entry : std::filesystem::directory_iterator(path.parent_path(), error))
        if (const std::string name = entry.path().filename().string();
            name == path.filename().string() || name.starts_with(prefix))
            size = std::max(size, entry.file_size(error));
    return size;
}

}  // namespace sonoleaf::testing
