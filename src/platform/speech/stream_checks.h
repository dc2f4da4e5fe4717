#pragma once
// What every file stream of the service checks the same way: the arguments of a
// binding, a file's kind by the ending of its name, and a file read whole with a bound
// on its size (a text to speak, a cover picture).

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/speech/speech_service.h"

namespace sonoleaf::speech_service {

// kOk when BindToFile asks for a new file at `path` in the service's format
// (22,050 Hz 16-bit mono PCM); kInvalidArg otherwise.
HResult CheckBindArguments(const std::u16string& path, int fileMode, StreamFormatId formatId,
                           const WaveFormat* format);

// Whether the name of `path` ends in `ending` (".mp3"), in any letter case.
bool HasEnding(const std::string& path, std::string_view ending);

// The bytes of the regular file at `path`: kFileNotFound, kAccessDenied (also for a
// folder or a pipe, which hold no file's bytes and may never end), kOutOfMemory past
// `maxBytes`.
HResult ReadWholeFile(const std::string& path, std::uintmax_t maxBytes, std::string& bytes);

}  // namespace sonoleaf::speech_service
