// EPUB to a chaptered text, with its metadata and cover beside it.
#include <string>
#include <vector>

#include "book/book_import.h"
#include "book/chaptered_text.h"
#include "book/epub_chapters.h"
#include "book/epub_package.h"
#include "book/text_lines.h"
#include "book/xhtml_text.h"
#include "book/zip_archive.h"
#include "platform/speech/audiobook_codec.h"
#include "platform/text/book_metadata.h"
#include "platform/text/text_convert.h"

namespace sonoleaf::book {
namespace {

constexpr std::uint64_t kMaxCoverBytes = 32u << 20;

ImportResult Failed(ImportResult::Kind kind, std::string reason = {}) {
    return {kind, std::move(reason), 0, {}};
}

ImportResult NotReadable(std::string reason) {
    return Failed(ImportResult::Kind::NotReadable, std::move(reason));
}

// The image's real type by its first bytes, whatever its name or media type claim, when
// it decodes as one; empty otherwise.
std::string_view ImageExtension(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xD8\xFF") &&
        speech_service::DecodesAsPicture(bytes, speech_service::CoverKind::Jpeg))
        return ".jpg";
    if (bytes.starts_with("\x89PNG\r\n\x1A\n") &&
        speech_service::DecodesAsPicture(bytes, speech_service::CoverKind::Png))
        return ".png";
    return {};
}

std::string FileName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

text::BookMetadata MetadataOf(const EpubPackage& package) {
    text::BookMetadata metadata;
    metadata.title = text::ToWide(package.title);
    for (const std::string& author : package.authors)
        metadata.authors.push_back(text::ToWide(author));
    metadata.language = text::ToWide(package.language);
    return metadata;
}

}  // namespace

ImportResult ConvertEpubToText(const std::string& epubPath, const std::string& textPath) {
    std::string reason;
    const std::unique_ptr<ZipArchive> archive = ZipArchive::Open(epubPath, reason);
    if (!archive) return NotReadable(reason);
    const PackageRead package = ReadEpubPackage(*archive);
    if (package.status == PackageRead::Status::NotReadable) return NotReadable(package.reason);
    if (package.status == PackageRead::Status::Encrypted)
        return Failed(ImportResult::Kind::Encrypted);

    const std::vector<std::string>& spine = package.package.spine;
    std::vector<DocumentText> texts;
    texts.reserve(spine.size());
    for (const std::string& document : spine) {
        const ZipArchive::Entry entry = archive->Read(document, kMaxEntryBytes);
        switch (entry.status) {
            case ZipArchive::Entry::Status::Ok:
                break;
            case ZipArchive::Entry::Status::Encrypted:
                return Failed(ImportResult::Kind::Encrypted);
            case ZipArchive::Entry::Status::TooLarge:
                return NotReadable("its " + ShownName(document) +
                                   " inflates past 256 MiB, or 100 times its packed size");
            case ZipArchive::Entry::Status::Missing:
            case ZipArchive::Entry::Status::Damaged:
                return NotReadable("its " + ShownName(document) + " cannot be unpacked");
        }
        texts.push_back(ExtractDocumentText(entry.bytes));
        // A document read in part would lose its end unseen.
        if (!texts.back().problem.empty())
            return NotReadable("its " + ShownName(document) + " " + texts.back().problem);
    }
    const std::vector<Passage> passages = EpubChapters(
        spine, texts, ReadTableOfContents(*archive, package.package), package.package.title);
    if (passages.empty()) return NotReadable("it holds no text");

    StagedFiles staged;
    std::string coverName;
    std::string error;
    std::vector<std::string> warnings;
    if (const std::string& coverEntry = package.package.coverEntry; !coverEntry.empty()) {
        const ZipArchive::Entry cover = archive->Read(coverEntry, kMaxCoverBytes);
        const std::string_view extension =
            cover.status == ZipArchive::Entry::Status::Ok ? ImageExtension(cover.bytes) : "";
        if (!extension.empty()) {
            const std::string coverPath = text::PathBeside(textPath, extension);
            if (!staged.StageBytes(coverPath, cover.bytes, error))
                return Failed(ImportResult::Kind::NotWritten, error);
            coverName = FileName(coverPath);
        } else {
            warnings.push_back("The cover of \"" + epubPath + "\" (" + ShownName(coverEntry) +
                               ") is no readable JPEG or PNG picture, so it was left out.");
        }
    }
    const std::string opf = text::BookMetadataOpf(MetadataOf(package.package), coverName);
    if (!staged.StageBytes(text::PathBeside(textPath, ".opf"), opf, error) ||
        !staged.StageBytes(textPath, FormatChapteredText(passages), error) || !staged.Commit(error))
        return Failed(ImportResult::Kind::NotWritten, error);
    return {ImportResult::Kind::Saved, {}, static_cast<int>(passages.size()), std::move(warnings)};
}

}  // namespace sonoleaf::book
