#include "book/markup_tree.h"

#include <cctype>

#include <QByteArray>
#include <QStringView>
#include <QXmlStreamReader>

#include "book/text_lines.h"

namespace sonoleaf::book {
namespace {

// epub:type is the one namespaced attribute read; it keeps its usual prefix whatever the
// document calls it, so that both parsers' trees look alike.
constexpr char kOpsNamespace[] = "http://www.idpf.org/2007/ops";

void AppendText(std::string& into, const MarkupNode& node) {
    if (node.name.empty()) {
        into += node.text;
        into += ' ';
    }
    for (const MarkupNode& child : node.children) AppendText(into, child);
}

std::string Utf8(QStringView text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace

bool HasToken(std::string_view list, std::string_view token) {
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find_first_of(" \t\r\n", start);
        if (end == std::string_view::npos) end = list.size();
        if (list.substr(start, end - start) == token) return true;
        start = end + 1;
    }
    return false;
}

const MarkupNode* MarkupNode::Find(std::string_view elementName) const {
    if (name == elementName) return this;
    for (const MarkupNode& child : children) {
        if (const MarkupNode* found = child.Find(elementName)) return found;
    }
    return nullptr;
}

std::string MarkupNode::Text() const {
    std::string all;
    AppendText(all, *this);
    return CollapseSpaces(all);
}

std::optional<MarkupNode> ReadXmlTree(std::string_view bytes) {
    QXmlStreamReader reader(
        QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
    // The elements being read, outermost first; the root's holder at the bottom.
    std::vector<MarkupNode> open(1);
    std::size_t nodes = 0;
    int skippedDepth = 0;  // inside elements past the depth bound
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (skippedDepth > 0 || open.size() > static_cast<std::size_t>(kMaxMarkupDepth)) {
                ++skippedDepth;
                continue;
            }
            if (++nodes > kMaxMarkupNodes) return std::nullopt;
            MarkupNode element;
            element.name = Utf8(reader.name());
            for (char& c : element.name)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            for (const QXmlStreamAttribute& attribute : reader.attributes()) {
                const bool epubType = attribute.namespaceUri() == QLatin1String(kOpsNamespace) &&
                                      attribute.name() == u"type";
                element.attributes.emplace_back(
                    epubType ? std::string("epub:type") : Utf8(attribute.qualifiedName()),
                    Utf8(attribute.value()));
            }
            open.push_back(std::move(element));
        } else if (token == QXmlStreamReader::EndElement) {
            if (skippedDepth > 0) {
                --skippedDepth;
                continue;
            }
            if (open.size() < 2) return std::nullopt;
            MarkupNode done = std::move(open.back());
            open.pop_back();
            open.back().children.push_back(std::move(done));
        } else if (token == QXmlStreamReader::Characters && skippedDepth == 0 &&
                   !reader.isWhitespace()) {
            // (Text nodes are read apart by a space already: the layout between elements
            // adds nothing.)
            std::vector<MarkupNode>& siblings = open.back().children;
            if (!siblings.empty() && siblings.back().name.empty()) {
                siblings.back().text += Utf8(reader.text());
            } else {
                if (++nodes > kMaxMarkupNodes) return std::nullopt;
                MarkupNode text;
                text.text = Utf8(reader.text());
                siblings.push_back(std::move(text));
            }
        }
    }
    if (reader.hasError() || open.size() != 1 || open.front().children.empty()) return std::nullopt;
    // The document element, whatever text stood around it.
    for (MarkupNode& child : open.front().children) {
        if (!child.name.empty()) return std::move(child);
    }
    return std::nullopt;
}

}  // namespace sonoleaf::book
