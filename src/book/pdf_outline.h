#pragma once
// A PDF's top-level outline (bookmarks), Title and Author, as told by the program
// sonoleaf-pdf-outline, which reads them with poppler-qt6 in a process of its own
// (poppler-qt6 brings Qt Gui and DBus, which this library must not link, and a hostile
// PDF that crashes poppler then takes only that process down).

#include <string>
#include <string_view>
#include <vector>

namespace sonoleaf::book {

inline constexpr char kPdfOutlineProgram[] = "sonoleaf-pdf-outline";

struct PdfOutline {
    struct Entry {
        std::string title;
        int page = 0;  // 1-based
    };
    std::string title;
    std::string author;
    int pages = 0;
    std::vector<Entry> entries;  // in the outline's order
};

struct OutlineRead {
    enum class Status { Ok, ProgramMissing, Locked, Unopenable, Failed };
    Status status = Status::Failed;
    PdfOutline outline;
};

// The outline program: $SONOLEAF_PDF_OUTLINE when set, else beside this program, in
// the folder above it, or in its libexec/sonoleaf. Empty when none is found.
std::string FindPdfOutlineProgram();

OutlineRead ReadPdfOutline(const std::string& pdfPath);

// The program's listing; Failed unless it is whole (ends with its "end" line).
OutlineRead ParseOutlineListing(std::string_view listing);

}  // namespace sonoleaf::book
