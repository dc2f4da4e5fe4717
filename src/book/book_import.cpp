// What is common to both imports: telling an EPUB, and the messages the job shows.
#include "book/book_import.h"

#include <cctype>

#include "book/pdf_outline.h"
#include "book/text_lines.h"
#include "book/zip_archive.h"

namespace sonoleaf::book {
namespace {

constexpr std::string_view kEpubMimeType = "application/epub+zip";

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

bool HasEpubExtension(const std::string& path) {
    constexpr std::string_view kExtension = ".epub";
    if (path.size() < kExtension.size()) return false;
    for (std::size_t i = 0; i < kExtension.size(); ++i) {
        const char c = path[path.size() - kExtension.size() + i];
        if (AsciiLower(c) != kExtension[i]) return false;
    }
    return true;
}

}  // namespace

bool IsEpub(const std::string& path) {
    std::string ignored;
    if (const auto archive = ZipArchive::Open(path, ignored);
        archive && archive->EntryName(0) == "mimetype") {
        ZipArchive::Entry mimetype = archive->ReadIndex(0, 256);
        while (!mimetype.bytes.empty() &&
               std::isspace(static_cast<unsigned char>(mimetype.bytes.back())))
            mimetype.bytes.pop_back();
        if (mimetype.status == ZipArchive::Entry::Status::Ok && mimetype.bytes == kEpubMimeType)
            return true;
    }
    return HasEpubExtension(path);
}

std::string ImportMessage(const ImportResult& result, const std::string& sourcePath,
                          const std::string& textPath) {
    switch (result.kind) {
        case ImportResult::Kind::Saved:
        case ImportResult::Kind::SavedWithoutOutline:
            return "Converted File  is Saved to: " + Quoted(textPath);
        case ImportResult::Kind::NotReadable:
            return Quoted(sourcePath) + " is not a readable " +
                   (IsEpub(sourcePath) ? "EPUB" : "PDF") + ": " + result.reason;
        case ImportResult::Kind::Encrypted:
            return Quoted(sourcePath) + ": This File is Encrypted";
        case ImportResult::Kind::ConverterMissing:
            if (result.reason == kPdfOutlineProgram)
                return "The PDF outline reader sonoleaf-pdf-outline could not be found: "
                       "reinstall Sonoleaf";
            return "The converter pdftotext could not be started: install poppler-utils";
        case ImportResult::Kind::NotWritten:
            return Quoted(textPath) + " could not be written: " + result.reason;
    }
    return {};
}

}  // namespace sonoleaf::book
