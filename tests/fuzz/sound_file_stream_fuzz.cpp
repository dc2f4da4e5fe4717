// Any PCM written in any pieces through the service's file stream reads back through
// libsndfile exactly, as 22,050 Hz 16-bit mono WAV, also while the file is still open
// after every piece; a stream asked for any other format refuses and writes nothing.
#include <sndfile.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz_input.h"
#include "platform/speech/sound_file_stream.h"

namespace {

namespace fz = sonoleaf::fuzz;
namespace ss = sonoleaf::speech_service;
using fz::Require;

// One scratch folder per fuzzing process, removed when the process ends.
class Scratch {
  public:
    Scratch()
        : folder_(std::filesystem::temp_directory_path() /
                  ("sonoleaf-fuzz-stream-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(folder_);
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    std::filesystem::path File(const char* name) const { return folder_ / name; }

  private:
    std::filesystem::path folder_;
};

const Scratch& ScratchFolder() {
    static const Scratch scratch;
    return scratch;
}

struct SndCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

// The file's samples as libsndfile reads them; false unless it is a 22,050 Hz 16-bit
// mono PCM WAV file.
bool ReadBack(const std::filesystem::path& path, std::vector<std::int16_t>& samples) {
    SF_INFO info{};
    const std::unique_ptr<SNDFILE, SndCloser> file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file || info.samplerate != 22050 || info.channels != 1 ||
        info.format != (SF_FORMAT_WAV | SF_FORMAT_PCM_16))
        return false;
    samples.assign(static_cast<std::size_t>(info.frames), 0);
    return sf_readf_short(file.get(), samples.data(), info.frames) == info.frames;
}

std::u16string WidePath(const std::filesystem::path& path) {
    const std::string narrow = path.string();  // the scratch folder's name is ASCII
    return std::u16string(narrow.begin(), narrow.end());
}

// A format that differs from the one the stream takes in the field the byte picks.
template <typename Field>
void Bend(Field& field, std::uint32_t value) {
    const auto bent = static_cast<Field>(value);
    field = bent == field ? static_cast<Field>(field + 1) : bent;
}

ss::WaveFormat BentFormat(fz::Input& input) {
    ss::WaveFormat format;
    const auto value = input.Value<std::uint32_t>();
    switch (input.Byte() % 6) {
        case 0:
            Bend(format.formatTag, value);
            break;
        case 1:
            Bend(format.channels, value);
            break;
        case 2:
            Bend(format.samplesPerSec, value);
            break;
        case 3:
            Bend(format.avgBytesPerSec, value);
            break;
        case 4:
            Bend(format.blockAlign, value);
            break;
        default:
            Bend(format.bitsPerSample, value);
            break;
    }
    return format;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fz::Input input(data, size);
    const std::uint8_t mode = input.Byte();

    if ((mode & 0x0F) == 0x0F) {
        const std::filesystem::path path = ScratchFolder().File("refused.wav");
        const ss::WaveFormat format = BentFormat(input);
        ss::SoundFileStream stream;
        Require(stream.BindToFile(WidePath(path), ss::kFileModeCreateAlways,
                                  ss::StreamFormatId::WaveFormatEx, &format, 0) == ss::kInvalidArg);
        Require(!stream.IsBound() && !std::filesystem::exists(path));
        const std::int16_t sample = 1;
        Require(stream.Write(std::span(&sample, 1)) == ss::kUnbound);
        return 0;
    }

    const std::filesystem::path path = ScratchFolder().File("pieces.wav");
    const ss::WaveFormat format;
    ss::SoundFileStream stream;
    Require(stream.BindToFile(WidePath(path), ss::kFileModeCreateAlways,
                              ss::StreamFormatId::WaveFormatEx, &format, 0) == ss::kOk);
    Require(stream.IsBound());

    std::vector<std::int16_t> written;
    std::vector<std::int16_t> read;
    // Pieces: a byte for the piece's length in samples, then its samples, little-endian.
    while (!input.Empty()) {
        const std::size_t count = input.Byte();
        std::vector<std::int16_t> piece;
        for (std::size_t i = 0; i < count && input.Left() >= 2; ++i)
            piece.push_back(static_cast<std::int16_t>(input.Value<std::uint16_t>()));
        Require(stream.Write(piece) == ss::kOk);
        written.insert(written.end(), piece.begin(), piece.end());
        // The header is current after every write: the open file reads as what it holds.
        if ((mode & 0x10) == 0) {
            Require(ReadBack(path, read) && read == written);
        }
    }
    Require(stream.Close() == ss::kOk);
    Require(!stream.IsBound());
    Require(ReadBack(path, read) && read == written);

    // A closed stream takes no more samples and leaves the file as it was.
    const std::int16_t sample = 7;
    Require(stream.Write(std::span(&sample, 1)) == ss::kUnbound);
    Require(ReadBack(path, read) && read == written);
    return 0;
}
