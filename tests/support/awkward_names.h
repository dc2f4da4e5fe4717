#pragma once
// File and folder names that users and shells trip over, for the bad-input tests:
// blanks, double quotes, a leading "-", a line break, letters beyond ASCII, names of
// the longest length a file system takes, and paths near the longest the system takes.

#include <filesystem>
#include <string>
#include <vector>

namespace sonoleaf::testing {

struct AwkwardName {
    const char* label;
    std::string stem;  // a name without extension (UTF-8)
};

// `longest` is the length of the longest stem: a name made of it and a four-byte
// extension is as long as a name may be (255 bytes).
inline std::vector<AwkwardName> AwkwardNames() {
    return {
        {"blanks", "  two  blanks "},       {"double quotes", "say \"hello\""},
        {"leading dash", "-layout"},        {"line break", "first\nsecond"},
        {"e acute", "caf\u00e9"},           {"L stroke", "\u0141\u00f3d\u017a"},
        {"Japanese", "\u65e5\u672c\u8a9e"}, {"longest", std::string(251, 'n')},
    };
}

// A folder under `base` whose path is exactly `bytes` bytes long, made of nested
// folders of at most 200 bytes each; created.
inline std::filesystem::path FolderOfPathLength(const std::filesystem::path& base,
                                                std::size_t bytes) {
    std::filesystem::path path = base;
    while (path.string().size() < bytes) {
        const std::size_t left = bytes - path.string().size() - 1;  // one for the "/"
        // Never leave a remainder too short for a last folder of its own.
        std::size_t part = left > 200 ? (left - 200 < 2 ? 150 : 200) : left;
        if (part == 0) part = 1;
        path /= std::string(part, 'd');
    }
    std::filesystem::create_directories(path);
    return path;
}

}  // namespace sonoleaf::testing
