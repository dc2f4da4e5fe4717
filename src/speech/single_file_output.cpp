#include "platform/text/output_names.h"
#include "speech/source_book.h"
#include "speech/speech_engine.h"

namespace sonoleaf {
namespace {

// The folder as typed, the separator twice (read as one), then the name.
std::u16string InFolder(const std::u16string& folder, const std::u16string& name) {
    std::u16string path = folder;
    path += text::kPathSeparator;
    path += text::kPathSeparator;
    path += name;
    return path;
}

}  // namespace

void SpeechEngine::MakeAudioFromText(std::u16string text, std::u16string folder) {
    const ProfileCopy profile = TakeProfile();
    speech_service::FileTags tags;
    tags.title = text::MakeTimeStamp();
    const std::u16string outputPath =
        InFolder(folder, tags.title + AudioExtension(profile.audioType));
    RenderTextWith(profile, std::move(text), outputPath, true, std::move(tags));
}

void SpeechEngine::MakeAudioFromTextFile(std::u16string sourcePath, std::u16string folder) {
    const SourceBook book = ReadSourceBook(sourcePath);
    ProfileCopy profile = TakeProfile();
    profile.language = book.language;
    speech_service::FileTags tags;
    tags.title = text::OutputBaseName(sourcePath);
    tags.album = text::FileStem(sourcePath);
    TagWithBook(tags, book);
    const std::u16string outputPath =
        InFolder(folder, tags.title + AudioExtension(profile.audioType));
    RenderFileWith(profile, std::move(sourcePath), outputPath, std::move(tags));
}

}  // namespace sonoleaf
