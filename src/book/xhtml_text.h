#pragma once
// The readable text of an XHTML content document, as a listener should hear it: its
// blocks (paragraphs, headings, list items...) in order, without what a reader does
// not read aloud (head, scripts, ruby readings, note references and the notes, page-break
// markers), and where each element id begins, so that a table of contents can split the
// document there. A well-formed document is read as the XML it is (CDATA as text, its own
// entities expanded, nothing outside it ever loaded); any other by libxml2's forgiving
// HTML parser, since real EPUBs are full of HTML entities and unclosed tags.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "book/markup_tree.h"

namespace sonoleaf::book {

// Deeper elements than this make a document refused rather than read in part.
inline constexpr int kMaxTextDepth = 2048;

struct TextBlock {
    std::string text;      // UTF-8, one blank between words; "\n" where a <br> stood
    bool heading = false;  // all of it inside h1...h6
    // All of it inside h1...h6 or an element styled as a heading (its class names a
    // title, heading or chapter, or its role is heading).
    bool titleLike = false;
};

struct DocumentText {
    std::vector<TextBlock> blocks;
    // Element id (or <a name>) to the index of the block it begins in; the first of
    // each id counts. An id after the last block maps to blocks.size().
    std::unordered_map<std::string, std::size_t> anchors;
    // Why the document could not be read whole, as the end of a sentence ("nests its
    // elements deeper than 2048"); empty when it was. Its blocks are then not to be used.
    std::string problem;
};

DocumentText ExtractDocumentText(std::string_view xhtml);

// The same parser's element tree, for a navigation document or NCX that the strict
// XML reader refused. Empty when nothing could be parsed.
std::optional<MarkupNode> ReadHtmlTree(std::string_view html);

}  // namespace sonoleaf::book
