#pragma once
// The book a source text belongs to, as the metadata kept beside it tells
// (platform/text/book_metadata.h): the audio jobs tag their files with its title and
// authors, and read it in its language. A text without metadata is no book: its jobs
// tag and speak exactly as for any text.

#include <string>

#include "platform/speech/speech_service.h"

namespace sonoleaf {

struct SourceBook {
    std::u16string title;
    std::u16string authors;  // joined by ", "
    std::u16string language;
    std::string coverPath;
};

// The book beside `sourcePath`; every field empty when there is none.
SourceBook ReadSourceBook(const std::u16string& sourcePath);

// Album the book's title and artist its authors (and its cover), where it tells them;
// every other tag stays.
void TagWithBook(speech_service::FileTags& tags, const SourceBook& book);

}  // namespace sonoleaf
