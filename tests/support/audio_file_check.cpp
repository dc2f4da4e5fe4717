#include "support/audio_file_check.h"

#include <fcntl.h>
#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>

namespace sonoleaf::testing {
namespace {

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t Byte(const std::string& b, std::size_t at) {
    return static_cast<unsigned char>(b[at]);
}
std::uint32_t Le32(const std::string& b, std::size_t at) {
    return Byte(b, at) | Byte(b, at + 1) << 8 | Byte(b, at + 2) << 16 | Byte(b, at + 3) << 24;
}
std::uint32_t Le16(const std::string& b, std::size_t at) {
    return Byte(b, at) | Byte(b, at + 1) << 8;
}

std::string CheckWave(const std::string& b) {
    if (b.size() < 44) return std::to_string(b.size()) + " bytes: shorter than a WAV header";
    if (b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) return "no RIFF WAVE";
    if (Le32(b, 4) != b.size() - 8) return "RIFF size does not match the file size";
    bool format = false;
    bool data = false;
    for (std::size_t at = 12; at < b.size();) {
        if (at + 8 > b.size()) return "chunk header cut off";
        const std::string id = b.substr(at, 4);
        const std::uint64_t size = Le32(b, at + 4);
        const std::uint64_t end = at + 8 + size + (size & 1);
        if (id == "data" && at + 8 + size == b.size()) {
            // A data chunk of odd size may end the file without its pad byte.
        } else if (end > b.size()) {
            return "chunk at byte " + std::to_string(at) + " runs past the end of the file";
        }
        if (id == "fmt ") {
            if (size < 16) return "fmt chunk too short";
            if (Le16(b, at + 8) != 1 || Le16(b, at + 10) != 1 || Le32(b, at + 12) != 22050 ||
                Le32(b, at + 16) != 44100 || Le16(b, at + 20) != 2 || Le16(b, at + 22) != 16)
                return "not PCM 22,050 Hz 16-bit mono";
            format = true;
        } else if (id == "data") {
            if (!format) return "data before fmt";
            if (size % 2 != 0) return "data holds half a sample";
            data = true;
        }
        at = static_cast<std::size_t>(std::min<std::uint64_t>(end, b.size()));
    }
    if (!format || !data) return "fmt or data chunk missing";
    return {};
}

// The length of the MPEG audio frame whose header starts at `at`, or 0 when no
// 22,050 Hz mono Layer III frame header is there.
std::size_t Mp3FrameLength(const std::string& b, std::size_t at) {
    if (at + 4 > b.size()) return 0;
    const std::uint32_t h =
        Byte(b, at) << 24 | Byte(b, at + 1) << 16 | Byte(b, at + 2) << 8 | Byte(b, at + 3);
    if ((h >> 21) != 0x7FF) return 0;
    const std::uint32_t version = (h >> 19) & 3;  // 2: MPEG-2
    const std::uint32_t layer = (h >> 17) & 3;    // 1: Layer III
    const std::uint32_t bitrateIndex = (h >> 12) & 15;
    const std::uint32_t rateIndex = (h >> 10) & 3;
    const std::uint32_t padding = (h >> 9) & 1;
    const std::uint32_t mode = (h >> 6) & 3;  // 3: mono
    if (version != 2 || layer != 1 || rateIndex != 0 || mode != 3) return 0;
    static const std::uint32_t kKbps[16] = {0,  8,  16, 24,  32,  40,  48,  56,
                                            64, 80, 96, 112, 128, 144, 160, 0};
    const std::uint32_t kbps = kKbps[bitrateIndex];
    if (kbps == 0) return 0;
    return 72 * kbps * 1000 / 22050 + padding;
}

std::string CheckMp3(const std::string& b) {
    std::size_t at = 0;
    if (b.size() >= 10 && b.compare(0, 3, "ID3") == 0) {
        const std::size_t tag = (Byte(b, 6) & 0x7F) << 21 | (Byte(b, 7) & 0x7F) << 14 |
                                (Byte(b, 8) & 0x7F) << 7 | (Byte(b, 9) & 0x7F);
        at = 10 + tag;
    }
    std::size_t end = b.size();
    if (end >= at + 128 && b.compare(end - 128, 3, "TAG") == 0) end -= 128;
    int frames = 0;
    while (at < end) {
        const std::size_t length = Mp3FrameLength(b, at);
        if (length == 0) return "no frame header at byte " + std::to_string(at);
        if (at + length > end) return "last frame cut off at byte " + std::to_string(at);
        at += length;
        ++frames;
    }
    if (frames == 0) return "no MPEG frames";
    return {};
}

bool LooksLikeMp3(const std::string& b) {
    return b.compare(0, 3, "ID3") == 0 || Mp3FrameLength(b, 0) != 0;
}

}  // namespace

AudioFileReport CheckAudioFile(const std::filesystem::path& path) {
    AudioFileReport report;
    const std::string bytes = ReadBytes(path);
    report.mp3 = LooksLikeMp3(bytes);
    report.problem = report.mp3 ? CheckMp3(bytes) : CheckWave(bytes);
    if (!report.problem.empty()) return report;
    // By descriptor: libsndfile refuses long paths by name.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    SF_INFO info{};
    const std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> file(
        descriptor < 0 ? nullptr : sf_open_fd(descriptor, SFM_READ, &info, SF_TRUE), &sf_close);
    if (!file) {
        report.problem = "libsndfile cannot open it";
        return report;
    }
    const int type = info.format & SF_FORMAT_TYPEMASK;
    if (type != (report.mp3 ? SF_FORMAT_MPEG : SF_FORMAT_WAV) || info.samplerate != 22050 ||
        info.channels != 1) {
        report.problem = "decodes as another format";
        return report;
    }
    std::vector<short> block(4096);
    sf_count_t frames = 0;
    for (sf_count_t got; (got = sf_read_short(file.get(), block.data(), 4096)) > 0;) frames += got;
    if (sf_error(file.get()) != SF_ERR_NO_ERROR) {
        report.problem = "decoding fails midway";
        return report;
    }
    if (!report.mp3 && static_cast<std::size_t>(frames) * 2 + 44 > bytes.size()) {
        report.problem = "fewer bytes than its samples need";
        return report;
    }
    report.seconds = static_cast<double>(frames) / 22050.0;
    report.valid = true;
    return report;
}

std::vector<std::filesystem::path> AudioFilesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (!entry.is_regular_file() || entry.path().filename().string().starts_with('.')) continue;
        std::string extension = entry.path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (extension == ".wav" || extension == ".mp3" || extension == ".m4b")
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

namespace {

std::uint32_t Be32(const std::string& b, std::size_t at, bool syncSafe) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value = value << (syncSafe ? 7 : 8) | Byte(b, at + i);
    return value;
}

// A text frame's content: an encoding byte, then the text (a comment has a language
// and a description before its text). ISO-8859-1 and UTF-8 are read; others skipped.
std::string FrameText(const std::string& id, std::string data) {
    if (data.empty()) return {};
    const char encoding = data[0];
    data.erase(0, 1);
    if (id == "COMM") {
        const std::size_t end = data.find('\0', 3);
        data = end == std::string::npos ? std::string() : data.substr(end + 1);
    }
    while (!data.empty() && data.back() == '\0') data.pop_back();
    if (encoding == 3) return data;
    if (encoding != 0) return "(encoding " + std::to_string(encoding) + ")";
    std::string utf8;
    for (const char c : data) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | byte >> 6);
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

}  // namespace

std::map<std::string, std::string> ReadId3Texts(const std::filesystem::path& path) {
    std::map<std::string, std::string> texts;
    std::ifstream in(path, std::ios::binary);
    const std::string b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (b.size() < 10 || b.compare(0, 3, "ID3") != 0) return texts;
    const bool v24 = Byte(b, 3) == 4;
    const std::size_t end = std::min<std::size_t>(b.size(), 10 + Be32(b, 6, true));
    for (std::size_t at = 10; at + 10 <= end;) {
        const std::string id = b.substr(at, 4);
        if (id[0] == '\0') break;  // padding
        const std::size_t size = Be32(b, at + 4, v24);
        if (at + 10 + size > end) break;
        if (id[0] == 'T' || id == "COMM") texts[id] = FrameText(id, b.substr(at + 10, size));
        at += 10 + size;
    }
    return texts;
}

}  // namespace sonoleaf::testing
