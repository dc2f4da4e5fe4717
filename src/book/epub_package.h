#pragma once
// What an EPUB's package says: the package document named in META-INF/container.xml
// (title, authors, language, cover, the spine in reading order), whether the book is
// locked by DRM (META-INF/encryption.xml naming content documents), and its table of
// contents from the EPUB 3 navigation document, else the EPUB 2 NCX.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "book/epub_paths.h"
#include "book/markup_tree.h"
#include "book/zip_archive.h"

namespace sonoleaf::book {

// Bounds on what a package may make the import hold.
inline constexpr std::uint64_t kMaxPackageFileBytes = 16u << 20;
inline constexpr std::size_t kMaxSpineDocuments = 10000;
inline constexpr std::size_t kMaxTocEntries = 20000;
inline constexpr int kMaxTocDepth = 64;

struct TocEntry {
    std::string title;               // one line
    std::optional<EpubLink> target;  // none for a heading without a link
    std::vector<TocEntry> children;
};

struct EpubPackage {
    std::string title;
    std::vector<std::string> authors;
    std::string language;
    // Content documents in reading order, each once (at its first place), leaving out
    // what is not linear and what is not (X)HTML.
    std::vector<std::string> spine;
    std::string coverEntry;  // the cover image's entry; empty when none
    std::string navEntry;    // EPUB 3 navigation document; empty when none
    std::string ncxEntry;    // EPUB 2 NCX; empty when none
};

struct PackageRead {
    enum class Status { Ok, NotReadable, Encrypted };
    Status status = Status::NotReadable;
    std::string reason;  // for NotReadable, the end of a sentence: "it has no ..."
    EpubPackage package;
};

PackageRead ReadEpubPackage(ZipArchive& archive);

// The navigation document's table of contents if it has entries, else the NCX's;
// empty when neither can be read.
std::vector<TocEntry> ReadTableOfContents(ZipArchive& archive, const EpubPackage& package);

// The entries of a parsed navigation document (its nav with epub:type "toc") or NCX;
// links resolved against `entry`, the document's own name.
std::vector<TocEntry> NavTableOfContents(const MarkupNode& document, std::string_view entry);
std::vector<TocEntry> NcxTableOfContents(const MarkupNode& document, std::string_view entry);

}  // namespace sonoleaf::book
