#pragma once
// Speaking a text into a new audio file with a voice made ready by the caller: the
// steps every rendering shares, whether the program makes the file itself or a
// helper process makes it for the program.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/speech/speech_service.h"

namespace sonoleaf::speech_service {

// The step of a rendering that failed.
enum class FileRenderStep { Voice, File, Speech, Closing };

struct FileRenderOutcome {
    HResult result = kOk;
    FileRenderStep step = FileRenderStep::Voice;  // where it failed
};

// Binds a stream to `path` with the service's wave format, tags it, speaks `text`
// (or, with kSpeakIsFileName, the file it names) into it and closes it only when every
// step succeeded. A stream released after a failure before its first sample leaves no
// file behind.
FileRenderOutcome SpeakIntoFile(SpeechService& service, Voice& voice, const std::u16string& text,
                                std::uint32_t flags, const std::u16string& path,
                                const FileTags& tags,
                                SubtitleFormat subtitles = SubtitleFormat::None);

// The installed voice whose Name is `name`; kFalse (and no token) when none is.
HResult FindVoiceNamed(SpeechService& service, const std::u16string& name,
                       std::shared_ptr<VoiceToken>& token);

}  // namespace sonoleaf::speech_service
