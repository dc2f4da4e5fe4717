#pragma once
// The tags of an audio file as ffprobe reads them: another program's account of what
// a player shows.

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

namespace sonoleaf::testing {

// Tag name to value ("album" -> "Quick Start Guide"); empty when ffprobe reads none.
inline std::map<std::string, std::string> ProbedTags(const std::filesystem::path& path) {
    const std::string command =
        "ffprobe -v error -show_entries format_tags -of default=noprint_wrappers=1 '" +
        path.string() + "' 2>/dev/null";
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, got);
        ::pclose(pipe);
    }
    std::map<std::string, std::string> tags;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find('=');
        if (!line.starts_with("TAG:") || equals == std::string::npos) continue;
        tags[line.substr(4, equals - 4)] = line.substr(equals + 1);
    }
    return tags;
}

}  // namespace sonoleaf::testing
