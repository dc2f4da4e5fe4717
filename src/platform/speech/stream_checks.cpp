#include "platform/speech/stream_checks.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/speech/synthesis_engine.h"

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
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) return kFileNotFound;
    if (!std::filesystem::is_regular_file(status)) return kAccessDenied;
    const auto size = std::filesystem::file_size(path, error);
    if (error) return kAccessDenied;
    if (size > maxBytes) return kOutOfMemory;
    std::ifstream in(path, std::ios::binary);
    if (!in) return kAccessDenied;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.bad() ? kFail : kOk;
}

}  // namespace sonoleaf::speech_service
