#include "platform/speech/stream_checks.h"

#include <cerrno>

#include "platform/speech/synthesis_engine.h"
#include "platform/text/regular_file.h"

namespace sonoleaf::speech_service {

HResult CheckBindArguments(const std::u16string& path, int fileMode, StreamFormatId formatId,
                           const WaveFormat* format) {
    const bool wanted = format != nullptr && format->formatTag == 1 && format->channels == 1 &&
                        format->samplesPerSec == static_cast<std::uint32_t>(kSampleRate) &&
                        format->bitsPerSample == 16 && format->blockAlign == 2 &&
                        format->avgBytesPerSec == static_cast<std::uint32_t>(kSampleRate) * 2;
    return fileMode == kFileModeCreateAlways && formatId == StreamFormatId::WaveFormatEx &&
                   wanted && !path.empty()
               ? kOk
               : kInvalidArg;
}

bool HasEnding(const std::string& path, std::string_view ending) {
    if (path.size() < ending.size()) return false;
    for (std::size_t i = 0; i < ending.size(); ++i) {
        char c = path[path.size() - ending.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != ending[i]) return false;
    }
    return true;
}

HResult ReadWholeFile(const std::string& path, std::uintmax_t maxBytes, std::string& bytes) {
    switch (text::ReadWholeFile(path, maxBytes, bytes)) {
        case 0:
            return kOk;
        case ENOENT:
        case ENOTDIR:
            return kFileNotFound;
        case EFBIG:
            return kOutOfMemory;
        case EIO:
            return kFail;
        default:
            return kAccessDenied;
    }
}

}  // namespace sonoleaf::speech_service
