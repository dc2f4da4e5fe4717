#pragma once
// Real books in: an EPUB, or a PDF with its outline, converted into a text file that
// holds every chapter as one "<title>" ... "</title>" passage (its title first) so that
// the audio list by titles makes one file per chapter, with the book's title, authors,
// language and cover beside it (`<stem>.opf`, `<stem>.jpg|.png`; see book_metadata.h)
// and never in it. A failed import leaves none of these files behind.

#include <array>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace sonoleaf::book {

struct ImportResult {
    enum class Kind {
        Saved,
        SavedWithoutOutline,  // a PDF without outline: its plain text, no chapters
        NotReadable,          // `reason` tells why
        Encrypted,            // DRM on an EPUB; a locked or unconvertible PDF
        ConverterMissing,     // `reason` names the program: pdftotext or the outline reader
        NotWritten,           // the text could not be written; `reason` tells why
    };
    Kind kind = Kind::NotReadable;
    std::string reason;
    int chapters = 0;  // passages written
    // What was left out of a saved book and why (a cover that is no picture), each a
    // message of its own to show after the success message.
    std::vector<std::string> warnings;
};

// How long pdftotext may take over one PDF, for the import and the PDF job alike; a
// run past it is stopped and counts as a failure.
inline constexpr std::chrono::milliseconds kPdfConverterTimeLimit = std::chrono::minutes(10);

// The Browse dialog's filters for a source file, the first one chosen at first, and
// the same joined as Qt's file dialogs take them.
inline constexpr std::array<std::string_view, 4> kSourceFileFilters = {
    "PDF and EPUB files (*.pdf *.epub)", "PDF files (*.pdf)", "EPUB files (*.epub)",
    "All files (*)"};
inline constexpr char kSourceFileFilter[] =
    "PDF and EPUB files (*.pdf *.epub);;PDF files (*.pdf);;EPUB files (*.epub);;All files (*)";

// Shown after the usual success message when a PDF with chapters asked for had none.
inline constexpr char kNoOutlineMessage[] =
    "This PDF has no outline (bookmarks), so no chapters were marked in its text.";

// Whether a source is an EPUB: by its content (a ZIP whose first entry "mimetype" holds
// application/epub+zip), else by the extension ".epub" (in any case).
bool IsEpub(const std::string& path);

// Writes `textPath` (with `<stem>.opf` and a cover beside it). Passages in reading
// order; the literal title tags never appear in the book's own words. A cover that does
// not decode as the picture it claims to be is left out, with a warning.
ImportResult ConvertEpubToText(const std::string& epubPath, const std::string& textPath);

// One passage per top-level outline entry (pdftotext's text of its pages, split at
// the line where the next entry's title stands), text before the first entry in a
// passage of its own, the PDF's Title and Author in `<stem>.opf`. Without an outline,
// the plain text exactly as `pdftotext PDF TXT` writes it, and SavedWithoutOutline.
ImportResult ConvertPdfWithChapters(
    const std::string& pdfPath, const std::string& textPath,
    std::chrono::milliseconds converterTimeLimit = kPdfConverterTimeLimit);

// The message the job shows for `result`: success ("Converted File  is Saved to:
// "<text>"", the PDF job's wording; after SavedWithoutOutline the job adds
// kNoOutlineMessage), or the failure's.
std::string ImportMessage(const ImportResult& result, const std::string& sourcePath,
                          const std::string& textPath);

}  // namespace sonoleaf::book
