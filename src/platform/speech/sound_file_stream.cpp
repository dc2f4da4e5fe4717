#include "platform/speech/sound_file_stream.h"

#include <fcntl.h>
#include <sndfile.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/speech/synthesis_engine.h"
#include "platform/text/text_convert.h"

namespace sonoleaf::speech_service {
namespace {

// Constant 64 kbit/s: plenty for speech at 22,050 Hz. libsndfile spreads its
// compression level over 8..160 kbit/s for this sample rate, 0 being the highest.
constexpr double kMp3CompressionLevel = (160.0 - 64.0) / (160.0 - 8.0);

bool IsWantedFormat(const WaveFormat& format) {
    return format.formatTag == 1 && format.channels == 1 &&
           format.samplesPerSec == static_cast<std::uint32_t>(kSampleRate) &&
           format.bitsPerSample == 16 && format.blockAlign == 2 &&
           format.avgBytesPerSec == static_cast<std::uint32_t>(kSampleRate) * 2;
}

HResult FromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return kFileNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return kAccessDenied;
        case ENOSPC:
        case EFBIG:
        case EDQUOT:
            return kWriteFault;
        default:
            return kFail;
    }
}

}  // namespace

void SoundFileStream::Closer::operator()(sf_private_tag* file) const {
    sf_close(file);
}

SoundFileStream::~SoundFileStream() {
    std::lock_guard lock(mutex_);
    CloseLocked();
}

bool SoundFileStream::IsMp3Path(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return tail == ".mp3";
}

HResult SoundFileStream::BindToFile(const std::u16string& path, int fileMode,
                                    StreamFormatId formatId, const WaveFormat* format,
                                    std::uint64_t /*eventInterest*/) {
    if (fileMode != kFileModeCreateAlways || formatId != StreamFormatId::WaveFormatEx ||
        format == nullptr || !IsWantedFormat(*format) || path.empty())
        return kInvalidArg;
    const std::string name = text::ToNarrow(path);
    std::lock_guard lock(mutex_);
    CloseLocked();
    claim_.emplace(name);

    const bool mp3 = IsMp3Path(name);
    SF_INFO info{};
    info.samplerate = kSampleRate;
    info.channels = 1;
    info.format =
        mp3 ? (SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III) : (SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    // Opened here and handed over, because libsndfile refuses paths of 1,024 bytes
    // or more by name, while the system takes up to 4,096.
    const int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        const int error = errno;
        claim_.reset();
        return FromErrno(error);
    }
    std::unique_ptr<sf_private_tag, Closer> file(sf_open_fd(descriptor, SFM_WRITE, &info, SF_TRUE));
    if (!file) {
        // libsndfile has closed the descriptor, as it was told to.
        std::error_code ignored;
        std::filesystem::remove(name, ignored);
        claim_.reset();
        return kFail;
    }
    bool ready = true;
    if (mp3) {
        // Constant bit rate is the encoder's default; libsndfile reports this request
        // as refused even when it holds, so only the level must be taken.
        int mode = SF_BITRATE_MODE_CONSTANT;
        sf_command(file.get(), SFC_SET_BITRATE_MODE, &mode, sizeof mode);
        double level = kMp3CompressionLevel;
        ready = sf_command(file.get(), SFC_SET_COMPRESSION_LEVEL, &level, sizeof level) == SF_TRUE;
    } else {
        sf_command(file.get(), SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
        ready = sf_command(file.get(), SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE) == SF_TRUE;
        // The header of the empty file is on disk before the first sample.
        sf_command(file.get(), SFC_UPDATE_HEADER_NOW, nullptr, 0);
    }
    if (!ready) {
        file.reset();
        std::error_code ignored;
        std::filesystem::remove(name, ignored);
        claim_.reset();
        return kFail;
    }
    file_ = std::move(file);
    writeFailed_ = false;
    name_ = name;
    mp3_ = mp3;
    wroteSamples_ = false;
    return kOk;
}

HResult SoundFileStream::CloseLocked() {
    if (!file_) {
        claim_.reset();
        return kOk;
    }
    const int result = sf_close(file_.release());
    if (mp3_ && (!wroteSamples_ || writeFailed_ || result != 0)) {
        // An MP3 without a single frame is no audio file, and one whose writing failed
        // ends in a cut frame under a header that counts more: neither is kept. (An
        // empty WAV is still valid, and a cut one keeps a header that fits.)
        std::error_code ignored;
        std::filesystem::remove(name_, ignored);
    }
    claim_.reset();
    return result == 0 && !writeFailed_ ? kOk : kWriteFault;
}

HResult SoundFileStream::Close() {
    std::lock_guard lock(mutex_);
    return CloseLocked();
}

bool SoundFileStream::IsBound() const {
    std::lock_guard lock(mutex_);
    return file_ != nullptr;
}

HResult SoundFileStream::Write(std::span<const std::int16_t> samples) {
    std::lock_guard lock(mutex_);
    if (!file_) return kUnbound;
    if (writeFailed_) return kWriteFault;
    const auto count = static_cast<sf_count_t>(samples.size());
    errno = 0;
    // The MP3 encoder takes every sample even when writing its frames failed; only
    // the file's error state tells.
    if (sf_write_short(file_.get(), samples.data(), count) != count ||
        sf_error(file_.get()) != SF_ERR_NO_ERROR) {
        writeFailed_ = true;
        const int error = errno;
        return error == 0 ? kWriteFault : FromErrno(error);
    }
    if (count > 0) wroteSamples_ = true;
    return kOk;
}

}  // namespace sonoleaf::speech_service
