#pragma once
// Whole-file checks of the audio files the program leaves on disk: a WAV must be
// one RIFF structure whose sizes add up to the file's size, and an MP3 a run of
// complete frames up to its last byte. Either is then decoded to the end.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace sonoleaf::testing {

struct AudioFileReport {
    bool valid = false;
    bool mp3 = false;      // MPEG frames (else RIFF WAVE)
    double seconds = 0.0;  // as decoded
    std::string problem;   // why it is not valid; empty when it is
};

// PCM WAV (22,050 Hz, 16-bit, mono) or MP3 (22,050 Hz, mono), by content, whatever
// the name says.
AudioFileReport CheckAudioFile(const std::filesystem::path& path);

// Every regular file under `folder` (not recursing) whose name ends in ".wav" or
// ".mp3", in any letter case.
std::vector<std::filesystem::path> AudioFilesIn(const std::filesystem::path& folder);

// The text frames of the ID3v2 tag at the start of a file, by frame id ("TIT2",
// "TALB", "TRCK", "COMM"), as UTF-8; empty when the file has no tag.
std::map<std::string, std::string> ReadId3Texts(const std::filesystem::path& path);

}  // namespace sonoleaf::testing
