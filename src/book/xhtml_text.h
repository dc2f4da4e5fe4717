#pragma once
// The readable text of an XHTML content document, as a listener should hear it: its
// blocks (paragraphs, headings, list items...) in order, without what a reader does
// not read aloud (head, scripts, ruby readings, note references and the notes, page-break
// markers), and where each element id begins, so that a table of contents can split the
// document there. Parsed by libxml2's forgiving HTML parser: real EPUBs are full of HTML
// entities and unclosed tags that a strict XML reader stops at.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "book/markup_tree.h"

namespace sonoleaf::book {

struct TextBlock {
    std::string text;      // UTF-8, one blank between words; "\n" where a <br> stood
    bool heading = false;  // all of it inside h1...h6
};

struct DocumentText {
    std::vector<TextBlock> blocks;
    // Element id (or <a name>) to the index of the block it begins in; the first of
    // each id counts. An id after the last block maps to blocks.size().
    std::unordered_map<std::string, std::size_t> anchors;
};

DocumentText ExtractDocumentText(std::string_view xhtml);

// The same parser's element tree, for a navigation document or NCX that the strict
// XML reader refused. Empty when nothing could be parsed.
std::optional<MarkupNode> ReadHtmlTree(std::string_view html);

}  // namespace sonoleaf::book
