#pragma once
// An EPUB's chapters from its table of contents, in reading order: every entry starts
// a chapter where it points (a document, or an anchor inside one, which splits it);
// text before the first entry makes a passage of its own; an entry with sub-entries
// whose own text is only a heading (a "Part II" page) gives its title to its first
// child rather than making a near-empty chapter. Without a usable table of contents,
// one chapter per document, titled by its first heading.

#include <string>
#include <string_view>
#include <vector>

#include "book/chaptered_text.h"
#include "book/epub_package.h"
#include "book/xhtml_text.h"

namespace sonoleaf::book {

// `texts[i]` is the text of `spine[i]`. Passages with no text are left out; a heading
// that only repeats its chapter's title is not said twice.
std::vector<Passage> EpubChapters(const std::vector<std::string>& spine,
                                  const std::vector<DocumentText>& texts,
                                  const std::vector<TocEntry>& toc, std::string_view bookTitle);

}  // namespace sonoleaf::book
