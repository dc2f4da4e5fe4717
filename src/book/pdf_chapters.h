#pragma once
// A PDF's text cut into one passage per top-level outline entry. The text comes from
// one pdftotext run over the whole document, whose output ends every page with a form
// feed, so that a page's text is what a run over that page alone gives and a chapter's
// is its pages', without starting pdftotext once per chapter. An entry starts at the
// line of its page where its title stands (the page it shares with the chapter before
// is split there), or at the top of its page when the title is not found there; text
// before the first entry makes a passage of its own.

#include <string_view>
#include <vector>

#include "book/chaptered_text.h"
#include "book/pdf_outline.h"

namespace sonoleaf::book {

// The offsets at which each page of pdftotext's output begins.
std::vector<std::size_t> PageStarts(std::string_view text);

std::vector<Passage> PdfChapters(std::string_view text, const PdfOutline& outline);

}  // namespace sonoleaf::book
