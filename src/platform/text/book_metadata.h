#pragma once
// A book's title, authors, language and cover, kept beside its text rather than in it
// (where a job would speak it): a small OPF package document `<stem>.opf`, as e-book
// libraries keep one beside each book, and the cover image `<stem>.jpg` or `.png`.
// The audio jobs read it for their tags and voice; the book import writes it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sonoleaf::text {

struct BookMetadata {
    std::u16string title;
    std::vector<std::u16string> authors;
    std::u16string language;  // BCP 47, as in dc:language
    std::string coverPath;    // empty when none

    bool operator==(const BookMetadata&) const = default;
};

// The path of the file beside `sourcePath` with the same stem (the file name without
// its last extension) and `extension` (such as ".opf").
std::string PathBeside(const std::string& sourcePath, std::string_view extension);

// The metadata kept beside `sourcePath`: what `<stem>.opf` tells, and as cover the
// image file it names (a plain name in the same folder), else `<stem>.jpg`, `.jpeg` or
// `.png`. Empty when there is neither an OPF file nor a cover image. An OPF file that
// is too large or not well-formed counts as none; nothing it names leaves the folder.
std::optional<BookMetadata> ReadBookMetadataBeside(const std::string& sourcePath);

// What an OPF file tells; the cover is the file name it gives, unchecked. Empty when
// the bytes are not a well-formed OPF package document.
std::optional<BookMetadata> ParseBookMetadata(std::string_view opfBytes);

// The OPF package document for `metadata`, naming `coverFileName` (a plain file name
// beside it, or empty) as the cover; `metadata.coverPath` is not used.
std::string BookMetadataOpf(const BookMetadata& metadata, std::string_view coverFileName);

}  // namespace sonoleaf::text
