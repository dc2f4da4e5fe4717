#include "platform/speech/chapter_sections.h"

#include "platform/text/text_convert.h"
#include "platform/text/title_scan.h"

namespace sonoleaf::speech_service {
namespace {

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n\f\v");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n\f\v") - first + 1);
}

}  // namespace

std::u16string ChapterTitle(std::string_view passage) {
    passage = Trimmed(passage);
    std::u16string title = text::ToWide(Trimmed(passage.substr(0, passage.find('\n'))));
    if (title.size() > kMaxChapterTitle) {
        title.resize(kMaxChapterTitle);
        // Never half of a character outside the basic plane.
        if (title.back() >= 0xD800 && title.back() <= 0xDBFF) title.pop_back();
    }
    return title;
}

std::vector<ChapterSection> SplitAtTitles(std::string_view text) {
    std::vector<ChapterSection> sections;
    ChapterSection current;
    std::size_t at = 0;
    bool passages = false;
    // The passages a title list makes its files of, found the same way.
    while (const std::optional<text::TitlePair> pair = text::FindTitlePair(text, at)) {
        const std::size_t open = pair->passageBegin - text::kOpeningTitleTag.size();
        current.text += text.substr(at, open - at);
        current.end = open;
        if (passages || !Trimmed(current.text).empty()) sections.push_back(std::move(current));
        passages = true;
        const std::string_view passage =
            text.substr(pair->passageBegin, pair->passageEnd - pair->passageBegin);
        current = {std::string(passage) + "\n", ChapterTitle(passage), 0};
        at = pair->passageEnd + text::kClosingTitleTag.size();
    }
    current.text += text.substr(at);
    current.end = text.size();
    sections.push_back(std::move(current));
    return sections;
}

}  // namespace sonoleaf::speech_service
