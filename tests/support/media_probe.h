#pragma once
// What another program makes of an audio file: ffprobe's account of its format,
// streams, tags and chapters, and ffmpeg's decoding of its sound.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace sonoleaf::testing {

// The standard output of a shell command.
std::string CommandOutput(const std::string& command);

// ffprobe's flat account of a file: "format.tags.title" -> "Book",
// "chapters.chapter.1.start" -> "143360".
std::map<std::string, std::string> Probe(const std::filesystem::path& path);

// The file's sound as ffmpeg decodes it: 16-bit mono samples.
std::vector<std::int16_t> DecodeSamples(const std::filesystem::path& path);

}  // namespace sonoleaf::testing
