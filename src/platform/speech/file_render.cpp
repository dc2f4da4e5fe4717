#include "platform/speech/file_render.h"

namespace sonoleaf::speech_service {

FileRenderOutcome SpeakIntoFile(SpeechService& service, Voice& voice, const std::u16string& text,
                                std::uint32_t flags, const std::u16string& path,
                                const FileTags& tags, SubtitleFormat subtitles) {
    FileRenderOutcome outcome{kOk, FileRenderStep::File};
    const WaveFormat format;  // PCM, 22,050 Hz, 16-bit, mono
    std::shared_ptr<FileStream> stream;
    HResult& hr = outcome.result;
    hr = service.CreateFileStream(stream);
    if (Succeeded(hr) && !stream) hr = kFail;
    if (Succeeded(hr))
        hr = stream->BindToFile(path, kFileModeCreateAlways, StreamFormatId::WaveFormatEx, &format,
                                kAllEvents);
    if (Failed(hr)) return outcome;
    stream->SetTags(tags);  // an untagged file is still a whole file
    if (subtitles != SubtitleFormat::None) stream->SetSubtitles(subtitles);
    outcome.step = FileRenderStep::Speech;
    hr = voice.SetOutput(stream, true);
    if (Succeeded(hr)) hr = voice.Speak(text, flags, nullptr);
    if (Succeeded(hr)) {
        outcome.step = FileRenderStep::Closing;
        hr = stream->Close();
    }
    // The voice holds the stream until the caller releases it; a stream released
    // unclosed after a failure removes a file that never got a sample.
    return outcome;
}

HResult FindVoiceNamed(SpeechService& service, const std::u16string& name,
                       std::shared_ptr<VoiceToken>& token) {
    token.reset();
    std::unique_ptr<TokenCategory> category;
    HResult hr = service.CreateTokenCategory(category);
    if (Succeeded(hr) && !category) hr = kFail;
    if (Succeeded(hr)) hr = category->SetId(kVoicesCategory, false);
    std::unique_ptr<TokenEnumeration> tokens;
    if (Succeeded(hr)) hr = category->EnumTokens(nullptr, nullptr, tokens);
    if (Succeeded(hr) && !tokens) hr = kFail;
    if (Failed(hr)) return hr;
    std::shared_ptr<VoiceToken> next;
    while (tokens->Next(1, next, nullptr) == kOk && next) {
        if (next->Attribute(u"Name") == name) {
            token = std::move(next);
            return kOk;
        }
    }
    return kFalse;
}

}  // namespace sonoleaf::speech_service
