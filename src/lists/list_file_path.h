#pragma once
// Where the audio lists put file number k, and how it is tagged.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/speech/speech_service.h"
#include "speech/source_book.h"

namespace sonoleaf {

// The folder, the separator twice (read as one), the stem, "_" and the number's
// digits, then the extension: "/out//book_12.wav".
std::u16string ListFilePath(std::u16string_view folder, std::u16string_view stem,
                            std::int64_t number, std::u16string_view extension);

// The tags of file number k of `total` (0 when not known), so that a player orders
// book_2 before book_10: title "<stem> <k>", album the stem, track "k/total"; album
// and artist the book's title and authors where `book` tells them.
speech_service::FileTags ListFileTags(std::u16string_view stem, std::int64_t number,
                                      std::int64_t total, const SourceBook& book = {});

}  // namespace sonoleaf
