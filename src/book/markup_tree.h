#pragma once
// A small element tree of an XML or HTML document, built by either parser (Qt's strict
// XML reader, or libxml2's forgiving HTML parser) so that one walk reads a package
// document, a navigation document or an NCX whichever parser could read it.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sonoleaf::book {

// Bounds every tree builder keeps: deeper elements are left out, and a document with
// more nodes is refused.
inline constexpr int kMaxMarkupDepth = 256;
inline constexpr std::size_t kMaxMarkupNodes = 500000;

// Whether the space-separated `list` (such as an epub:type value) holds `token`.
bool HasToken(std::string_view list, std::string_view token);

struct MarkupNode {
    // Local element name in lower case; empty for a text node.
    std::string name;
    // Attribute names as written ("href", "epub:type"); values as UTF-8.
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;  // a text node's characters
    std::vector<MarkupNode> children;

    std::string_view Attribute(std::string_view attributeName) const {
        for (const auto& [key, value] : attributes) {
            if (key == attributeName) return value;
        }
        return {};
    }
    // Whether the space-separated list in the attribute holds `token`.
    bool AttributeHas(std::string_view attributeName, std::string_view token) const {
        return HasToken(Attribute(attributeName), token);
    }
    // The first element of that name, this one or below it, depth first.
    const MarkupNode* Find(std::string_view elementName) const;
    // Every character below this node, in one line.
    std::string Text() const;
};

// Qt's XML reader: empty when the bytes are not well-formed XML or pass the bounds.
std::optional<MarkupNode> ReadXmlTree(std::string_view bytes);

}  // namespace sonoleaf::book
