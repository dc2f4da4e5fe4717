#pragma once
// The prose the benchmarks render: plain English sentences with line ends now and
// then, the same every run.

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace sonoleaf::bench {

// Plain prose with sentences and line ends, the same every run.
class Prose {
  public:
    std::string Next() {
        static const char* const sentences[] = {
            "The old house stood at the end of the lane, its windows dark against the sky.",
            "She opened the letter slowly and read it twice before she understood it.",
            "Nobody in the village could remember when the bridge had last been repaired.",
            "He walked along the river for an hour, thinking about the years gone by.",
            "In the morning the fog lifted and the hills appeared, green and far away.",
            "They spoke of the harvest, of the weather, and of the stranger at the inn.",
        };
        std::string piece = sentences[random_() % std::size(sentences)];
        piece += random_() % 5 == 0 ? "\n" : " ";
        return piece;
    }

  private:
    std::mt19937 random_{2025};
};

inline void WriteProse(const std::filesystem::path& path, std::size_t bytes) {
    std::ofstream out(path, std::ios::binary);
    Prose prose;
    std::size_t written = 0;
    while (written < bytes) {
        std::string piece = prose.Next();
        if (piece.size() > bytes - written) piece.resize(bytes - written);
        out << piece;
        written += piece.size();
    }
}

}  // namespace sonoleaf::bench
