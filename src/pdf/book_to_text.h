#pragma once
// A book into the text the audio list by titles reads: an EPUB's chapters, or a PDF's
// chapters from its outline, through the book import (book/book_import.h), under the
// name and with the messages of the PDF job.

#include <string>

namespace sonoleaf {

// Writes `<name>.txt` into `folder` (named as PdfOutputTextPath names it) from the
// EPUB or PDF `sourcePath`, with its metadata beside it, and reports the outcome; a
// PDF without an outline gets its plain text and a second message that says so.
// Returns once the messages have been dismissed.
void ConvertBookToText(std::u16string sourcePath, std::u16string folder);

}  // namespace sonoleaf
