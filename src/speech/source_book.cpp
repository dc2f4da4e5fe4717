#include "speech/source_book.h"

#include <optional>

#include "platform/text/book_metadata.h"
#include "platform/text/text_convert.h"

namespace sonoleaf {

SourceBook ReadSourceBook(const std::u16string& sourcePath) {
    SourceBook book;
    const std::optional<text::BookMetadata> metadata =
        text::ReadBookMetadataBeside(text::ToNarrow(sourcePath));
    if (!metadata) return book;
    book.title = metadata->title;
    for (const std::u16string& author : metadata->authors) {
        if (!book.authors.empty()) book.authors += u", ";
        book.authors += author;
    }
    book.language = metadata->language;
    book.coverPath = metadata->coverPath;
    return book;
}

void TagWithBook(speech_service::FileTags& tags, const SourceBook& book) {
    if (!book.title.empty()) tags.album = book.title;
    if (!book.authors.empty()) tags.artist = book.authors;
    if (!book.coverPath.empty()) tags.coverPath = text::ToWide(book.coverPath);
}

}  // namespace sonoleaf
