// The audio list by titles: one audio file per "<title>" ... "</title>" pair, numbered
// from the starting number.
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "jobs/alert.h"
#include "lists/list_failures.h"
#include "lists/list_file_path.h"
#include "lists/list_renders.h"
#include "lists/list_run.h"
#include "lists/source_file.h"
#include "platform/speech/chapter_sections.h"
#include "platform/text/byte_text.h"
#include "platform/text/output_names.h"
#include "platform/text/text_convert.h"
#include "platform/text/title_scan.h"
#include "speech/speech_engine.h"

namespace sonoleaf {

void SpeechEngine::MakeAudioListByTitles(std::u16string textPath, std::u16string outputFolder,
                                         std::int32_t startNumber, bool resume) {
    // The whole file, held as bytes in which the tags are searched. A passage's wide
    // text (one character per byte, same positions) is made from its bytes when it is
    // handed over, rather than holding the whole file a second time as wide text: the
    // same characters, a third of the memory. A file too large to hold counts as one
    // that did not open.
    std::string bytes;
    try {
        bytes = ReadAllBytes(textPath);
    } catch (const std::bad_alloc&) {
        bytes = std::string();
    }

    if (!titleListRunning) {
        ShowAlert("There is no <title>...</title> tag found", AlertKind::Failure);
        return;
    }

    const std::u16string stem = text::FileStem(textPath);
    const SourceBook book = ReadSourceBook(textPath);
    ProfileCopy profile = TakeProfile();  // one voice and audio type for the whole run
    profile.language = book.language;
    const std::u16string extension = AudioExtension(profile.audioType);
    std::int64_t fileNumber = startNumber;
    const std::int64_t lastNumber = startNumber + text::CountTitlePairs(bytes) - 1;
    bool found = false;
    const ListKey key =
        ListKeyFor(*this, profile, textPath, outputFolder, "start=" + std::to_string(startNumber));
    std::unique_ptr<ListRunLock> lock = TakeListRunLock(key);
    if (!lock) return;  // another run of this list is under way: it is told
    ListRenders renders(
        *this, profile, titleListRunning, static_cast<std::uint64_t>(lastNumber - startNumber + 1),
        PrepareListPlan(*this, profile, key, textPath, resume, true, std::move(lock)));
    std::size_t position = 0;
    while (const std::optional<text::TitlePair> pair = text::FindTitlePair(bytes, position)) {
        if (!titleListRunning) break;
        std::u16string path = ListFilePath(outputFolder, stem, fileNumber, extension);
        speech_service::FileTags tags = ListFileTags(stem, fileNumber, lastNumber, book);
        ++fileNumber;
        // An empty passage writes no file, but its number is used up all the same.
        const std::string_view passage = std::string_view(bytes).substr(
            pair->passageBegin, pair->passageEnd - pair->passageBegin);
        std::u16string spoken = text::BytesToText(passage);
        std::u16string title = speech_service::ChapterTitle(text::ToNarrow(spoken));
        renders.Render(fileNumber - 1, std::move(spoken), std::move(path), std::move(tags),
                       std::move(title));
        found = true;
        position = pair->next;
        if (!titleListRunning) break;
    }
    const ListFailures failures = renders.Finish();
    if (!found) {
        ShowAlert("There is no <title>...</title> tag found", AlertKind::Failure);
        return;
    }
    ShowAlertText(
        failures.Closing(u"Audio list by given <title>...</title> tag completed", outputFolder),
        failures.Any() ? AlertKind::Failure : AlertKind::Message);
}

}  // namespace sonoleaf
