// The audio list by character length: the file cut every N bytes, one audio file per
// chunk, numbered from 1.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "jobs/alert.h"
#include "lists/list_failures.h"
#include "lists/list_file_path.h"
#include "lists/list_renders.h"
#include "lists/list_run.h"
#include "lists/source_file.h"
#include "platform/text/byte_text.h"
#include "platform/text/output_names.h"
#include "platform/text/text_convert.h"
#include "speech/speech_engine.h"

namespace sonoleaf {

void SpeechEngine::MakeAudioListByLength(std::u16string textPath, std::u16string outputFolder,
                                         std::int32_t charLength, bool resume) {
    const std::u16string stem = text::FileStem(textPath);
    const SourceBook book = ReadSourceBook(textPath);
    ProfileCopy profile = TakeProfile();  // one voice and audio type for the whole run
    profile.language = book.language;
    const std::u16string extension = AudioExtension(profile.audioType);
    std::int64_t fileNumber = 0;
    std::int64_t total = 0;  // the chunks the file's size makes, for the track numbers
    std::u16string chunk;
    std::int32_t byteCount = 0;

    const ListKey key =
        ListKeyFor(*this, profile, textPath, outputFolder, "length=" + std::to_string(charLength));
    std::unique_ptr<ListRunLock> lock = TakeListRunLock(key);
    if (!lock) return;  // another run of this list is under way: it is told
    SourceFile file(textPath);
    if (charLength >= 1) {
        total = static_cast<std::int64_t>(
            (file.SizeHint() + static_cast<std::uint64_t>(charLength) - 1) /
            static_cast<std::uint64_t>(charLength));
    }
    ListRenders renders(
        *this, profile, lengthListRunning, static_cast<std::uint64_t>(total),
        PrepareListPlan(*this, profile, key, textPath, resume, false, std::move(lock)));
    // A cut names the next file and renders the chunk, unless Stop has ended the run;
    // its number is used up either way, and the file is still read to its end.
    auto cut = [&] {
        ++fileNumber;
        std::u16string path = ListFilePath(outputFolder, stem, fileNumber, extension);
        if (lengthListRunning) {
            renders.Render(
                fileNumber, std::move(chunk), std::move(path),
                ListFileTags(stem, fileNumber, total, book),
                stem + (stem.empty() ? u"" : u" ") + text::ToWide(std::to_string(fileNumber)));
        }
        chunk.clear();
        byteCount = 0;
    };

    if (charLength >= 1) {
        for (std::string_view block = file.ReadBlock(); !block.empty(); block = file.ReadBlock()) {
            for (char byte : block) {
                chunk += text::ByteToChar(static_cast<unsigned char>(byte));
                if (++byteCount == charLength) cut();
            }
        }
        // The bytes after the last full chunk make one more file, so no text is lost.
        if (byteCount > 0) cut();
    }
    const ListFailures failures = renders.Finish();
    ShowAlertText(failures.Closing(u"Text file to Audio List operation done", outputFolder),
                  failures.Any() ? AlertKind::Failure : AlertKind::Message);
}

}  // namespace sonoleaf
