#include "support/media_probe.h"

#include <cstdio>
#include <cstring>
#include <sstream>

namespace sonoleaf::testing {

std::string CommandOutput(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, got);
    ::pclose(pipe);
    return out;
}

std::map<std::string, std::string> Probe(const std::filesystem::path& path) {
    std::map<std::string, std::string> fields;
    std::istringstream lines(
        CommandOutput("ffprobe -v error -show_chapters -show_format -show_streams -of flat '" +
                      path.string() + "'"));
    for (std::string line; std::getline(lines, line);) {
        const auto equals = line.find('=');
        std::string value = line.substr(equals + 1);
        if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
        fields[line.substr(0, equals)] = value;
    }
    return fields;
}

std::vector<std::int16_t> DecodeSamples(const std::filesystem::path& path) {
    const std::string bytes =
        CommandOutput("ffmpeg -v error -i '" + path.string() + "' -ac 1 -f s16le -");
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

}  // namespace sonoleaf::testing
