// Any bytes as a book's content document (and as its navigation document), and as
// pdftotext's text of a PDF with an outline: the import ends, every passage it makes is
// one "<title>" ... "</title>" pair with its title as the first line (the book's own
// words never open or close one), and an EPUB's text is valid UTF-8 (a PDF's is what
// pdftotext wrote).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "book/chaptered_text.h"
#include "book/epub_chapters.h"
#include "book/pdf_chapters.h"
#include "book/text_lines.h"
#include "book/xhtml_text.h"
#include "fuzz_input.h"
#include "platform/text/title_scan.h"
#include "platform/text/unicode.h"

namespace {

using sonoleaf::fuzz::Require;

void RequireWellMarked(const std::vector<sonoleaf::book::Passage>& passages, bool utf8) {
    const std::string text = sonoleaf::book::FormatChapteredText(passages);
    for (std::size_t pos = 0; utf8 && pos < text.size();) {
        const sonoleaf::text::Utf8Step step = sonoleaf::text::ReadUtf8(text, pos);
        Require(step.valid);
        pos += step.length;
    }
    const std::vector<sonoleaf::text::TitlePair> pairs = sonoleaf::text::ScanTitlePairs(text);
    Require(pairs.size() == passages.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const std::string_view passage = std::string_view(text).substr(
            pairs[i].passageBegin, pairs[i].passageEnd - pairs[i].passageBegin);
        std::string title = sonoleaf::book::CollapseSpaces(passages[i].title);
        sonoleaf::book::NeutraliseTitleTags(title);
        Require(passage.substr(0, passage.find('\n')) == title);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    using namespace sonoleaf::book;

    const std::vector<std::string> spine = {"OEBPS/a.xhtml"};
    const std::vector<DocumentText> texts = {ExtractDocumentText(bytes)};
    std::optional<MarkupNode> nav = ReadXmlTree(bytes);
    if (!nav) nav = ReadHtmlTree(bytes);
    const std::vector<TocEntry> toc =
        nav ? NavTableOfContents(*nav, spine.front()) : std::vector<TocEntry>();
    RequireWellMarked(EpubChapters(spine, texts, toc, "Book <title>"), true);

    PdfOutline outline;
    outline.title = "A </title> PDF";
    for (std::size_t i = 0; i < size && i < 8; ++i)
        outline.entries.push_back({std::string(bytes.substr(i, 6)), data[i] % 5});
    RequireWellMarked(PdfChapters(bytes, outline), false);
    return 0;
}
