#include "book/xhtml_text.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "book/text_lines.h"

namespace sonoleaf::book {
namespace {

// What a document's own entities may expand to, all references together: far more than
// any book's use of them, far less than a "billion laughs".
constexpr std::size_t kMaxEntityReferences = 1u << 20;
constexpr std::size_t kMaxEntityTextBytes = 64u << 20;

struct DocumentFree {
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
using UniqueDocument = std::unique_ptr<xmlDoc, DocumentFree>;

void IgnoreStructuredError(void*, xmlErrorPtr) {}
void IgnoreGenericError(void*, const char*, ...) {}

// EPUB content is UTF-8 or UTF-16; an XML declaration may name another encoding.
// libxml2's HTML parser would otherwise take a page without <meta charset> for Latin-1.
std::string DeclaredEncoding(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
        return "UTF-16LE";
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
        static_cast<unsigned char>(bytes[1]) == 0xFF)
        return "UTF-16BE";
    const std::string_view head = bytes.substr(0, std::min<std::size_t>(bytes.size(), 200));
    const std::size_t declaration = head.find("<?xml");
    const std::size_t end = head.find("?>");
    if (declaration == std::string_view::npos || end == std::string_view::npos) return "UTF-8";
    const std::string_view inside = head.substr(declaration, end - declaration);
    const std::size_t key = inside.find("encoding");
    if (key == std::string_view::npos) return "UTF-8";
    const std::size_t open = inside.find_first_of("\"'", key);
    if (open == std::string_view::npos) return "UTF-8";
    const std::size_t close = inside.find(inside[open], open + 1);
    if (close == std::string_view::npos) return "UTF-8";
    std::string name(inside.substr(open + 1, close - open - 1));
    return name.empty() || name.size() > 40 ? "UTF-8" : name;
}

struct ContextFree {
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};
using UniqueContext = std::unique_ptr<xmlParserCtxt, ContextFree>;

// A document as the walk gets it: parsed whole, or a problem telling why not.
struct Parsed {
    UniqueDocument document;
    std::string problem;
};

void PrepareParser() {
    static std::once_flag initialised;
    std::call_once(initialised, [] { xmlInitParser(); });
    // Per thread in libxml2: the quiet flags still let some messages through.
    xmlSetStructuredErrorFunc(nullptr, IgnoreStructuredError);
    xmlSetGenericErrorFunc(nullptr, IgnoreGenericError);
}

// Null when the bytes are no well-formed XML. Entities stay references, which the walk
// expands (internal ones only): no NOENT or DTDLOAD, so that no external entity or DTD
// is ever loaded, and no HUGE, so that libxml2 keeps its bounds on entity amplification
// and depth (a deeper document goes to the HTML parser, which reads it whole).
UniqueDocument ParseXml(std::string_view bytes, bool& entityLoop) {
    const UniqueContext context(xmlNewParserCtxt());
    if (!context) return nullptr;
    constexpr int kOptions =
        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT;
    UniqueDocument document(xmlCtxtReadMemory(
        context.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, kOptions));
    entityLoop = !document && context->lastError.code == XML_ERR_ENTITY_LOOP;
    return document;
}

// HUGE lifts the parser's depth bound of 256, past which it stops and drops the rest;
// a parser that stopped all the same (out of memory) leaves the document refused.
Parsed ParseHtml(std::string_view bytes) {
    constexpr int kOptions = HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR |
                             HTML_PARSE_NOWARNING | HTML_PARSE_COMPACT | XML_PARSE_HUGE;
    const std::string declared = DeclaredEncoding(bytes);
    for (const std::string& encoding : {declared, std::string("UTF-8")}) {
        const UniqueContext context(htmlNewParserCtxt());
        if (!context) return {nullptr, "could not be parsed"};
        Parsed parsed{UniqueDocument(htmlCtxtReadMemory(context.get(), bytes.data(),
                                                        static_cast<int>(bytes.size()), nullptr,
                                                        encoding.c_str(), kOptions)),
                      {}};
        if (parsed.document && context->disableSAX != 0)
            return {nullptr, "could not be read to its end"};
        // Otherwise an encoding libxml2 does not know: read as UTF-8.
        if (parsed.document || encoding == "UTF-8") return parsed;
    }
    return {};
}

Parsed Parse(std::string_view bytes) {
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) return {nullptr, "is too large"};
    PrepareParser();
    bool entityLoop = false;
    if (UniqueDocument document = ParseXml(bytes, entityLoop)) return {std::move(document), {}};
    if (entityLoop) return {nullptr, "defines entities that expand too far"};
    return ParseHtml(bytes);
}

std::string_view NameOf(const xmlNode* node) {
    std::string_view name(reinterpret_cast<const char*>(node->name));
    const std::size_t colon = name.rfind(':');  // "svg:svg" is an svg
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string AttributeValue(const xmlAttr* attribute) {
    xmlChar* value = xmlNodeListGetString(attribute->doc, attribute->children, 1);
    if (value == nullptr) return {};
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

// What the walk needs of an element's attributes.
struct Attributes {
    std::string id;
    std::string epubType;
    std::string role;
    std::string classes;
    bool hasHref = false;
};

Attributes AttributesOf(const xmlNode* node) {
    Attributes found;
    const bool anchor = NameOf(node) == "a";
    for (const xmlAttr* attribute = node->properties; attribute; attribute = attribute->next) {
        const std::string_view name(reinterpret_cast<const char*>(attribute->name));
        if (name == "id" || (anchor && name == "name" && found.id.empty())) {
            found.id = AttributeValue(attribute);
        } else if (name == "epub:type" || name == "type") {
            // The HTML parser keeps the prefix; a namespace-aware one would not.
            if (name == "epub:type" || attribute->ns != nullptr)
                found.epubType = AttributeValue(attribute);
        } else if (name == "role") {
            found.role = AttributeValue(attribute);
        } else if (name == "class") {
            found.classes = AttributeValue(attribute);
        } else if (name == "href") {
            found.hasHref = true;
        }
    }
    return found;
}

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    for (std::string_view candidate : names) {
        if (name == candidate) return true;
    }
    return false;
}

// Not read aloud, with everything inside.
bool IsSkipped(std::string_view name) {
    return IsOneOf(name, {"head", "script", "style", "title", "rt", "rp", "svg", "template",
                          "iframe", "select"});
}

bool IsBlock(std::string_view name) {
    return IsOneOf(
        name,
        {"address", "article", "aside", "blockquote", "body",    "caption",  "center",     "dd",
         "details", "dialog",  "div",   "dl",         "dt",      "fieldset", "figcaption", "figure",
         "footer",  "form",    "h1",    "h2",         "h3",      "h4",       "h5",         "h6",
         "header",  "hgroup",  "hr",    "html",       "legend",  "li",       "main",       "nav",
         "ol",      "p",       "pre",   "section",    "summary", "table",    "tbody",      "tfoot",
         "thead",   "tr",      "ul"});
}

bool IsHeading(std::string_view name) {
    return name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6';
}

// A paragraph or division made to look like a heading: class "chapter-title",
// "ChapterHead", "chapter"..., or role "heading".
bool IsStyledAsHeading(const Attributes& attributes) {
    if (HasToken(attributes.role, "heading")) return true;
    std::string classes = attributes.classes;
    for (char& c : classes) c = AsciiLower(c);
    for (std::string_view word : {"title", "head", "chapter"}) {
        if (classes.find(word) != std::string::npos) return true;
    }
    return false;
}

bool IsNote(const Attributes& attributes) {
    for (std::string_view type :
         {"footnote", "endnote", "rearnote", "footnotes", "endnotes", "rearnotes"}) {
        if (HasToken(attributes.epubType, type)) return true;
    }
    return HasToken(attributes.role, "doc-footnote") || HasToken(attributes.role, "doc-endnote") ||
           HasToken(attributes.role, "doc-endnotes");
}

bool IsPageBreak(const Attributes& attributes) {
    return HasToken(attributes.epubType, "pagebreak") || HasToken(attributes.role, "doc-pagebreak");
}

// The characters of a link, when they are few.
bool CollectShortText(const xmlNode* node, std::string& text, int depth) {
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (child->type == XML_TEXT_NODE && child->content != nullptr) {
            text += reinterpret_cast<const char*>(child->content);
        } else if (child->type == XML_ELEMENT_NODE && depth < 8) {
            if (!CollectShortText(child, text, depth + 1)) return false;
        }
        if (text.size() > 32) return false;
    }
    return true;
}

// A number or a mark such as "12", "[12]", "(iv)"... or "*": a note reference, not words.
bool IsNoteMark(std::string_view raw) {
    std::string mark = CollapseSpaces(raw);
    while (mark.size() >= 2 && std::strchr("[({", mark.front()) && std::strchr("])}", mark.back()))
        mark = mark.substr(1, mark.size() - 2);
    if (mark.empty()) return false;
    static constexpr std::string_view kMarks[] = {
        "*",      "#",      "\u2020", "\u2021", "\u00A7", "\u00B6", "\u00B9", "\u00B2",
        "\u00B3", "\u2070", "\u2074", "\u2075", "\u2076", "\u2077", "\u2078", "\u2079"};
    for (std::size_t pos = 0; pos < mark.size();) {
        if (std::isdigit(static_cast<unsigned char>(mark[pos]))) {
            ++pos;
            continue;
        }
        bool known = false;
        for (std::string_view symbol : kMarks) {
            if (mark.compare(pos, symbol.size(), symbol) == 0) {
                pos += symbol.size();
                known = true;
                break;
            }
        }
        if (!known) return false;
    }
    return true;
}

bool IsNoteReference(const xmlNode* node, std::string_view name, const Attributes& attributes) {
    if (HasToken(attributes.epubType, "noteref") || HasToken(attributes.role, "doc-noteref"))
        return true;
    if (name != "a" || !attributes.hasHref) return false;
    std::string text;
    return CollectShortText(node, text, 0) && IsNoteMark(text);
}

class TextCollector {
  public:
    DocumentText Take() {
        EndBlock();
        if (!problem_.empty()) return DocumentText{{}, {}, std::move(problem_)};
        return std::move(document_);
    }

    // Depth first on a stack of its own, not the machine's: a hostile document's depth
    // reaches only the bound, whatever the thread's stack (and a sanitizer's frames).
    void Walk(const xmlNode* root, int depth) {
        std::vector<Open> open{{root->children, depth}};
        while (!open.empty() && problem_.empty()) {
            const xmlNode* node = open.back().next;
            if (node == nullptr) {
                Close(open.back());
                open.pop_back();
                continue;
            }
            open.back().next = node->next;
            std::optional<Open> inner;
            if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
                if (node->content != nullptr) AddText(reinterpret_cast<const char*>(node->content));
            } else if (node->type == XML_ELEMENT_NODE) {
                inner = OpenElement(node, open.back().depth + 1);
            } else if (node->type == XML_ENTITY_REF_NODE) {
                inner = OpenEntity(node, open.back().depth + 1);
            }
            if (!inner) continue;
            if (inner->depth > kMaxTextDepth) {
                problem_ = "nests its elements deeper than " + std::to_string(kMaxTextDepth);
                return;
            }
            open.push_back(*inner);
        }
    }

  private:
    // An element or entity whose children are being walked, and what its end takes.
    struct Open {
        const xmlNode* next;  // the next child to visit
        int depth;
        bool heading = false;
        bool styled = false;
        bool cell = false;
        bool block = false;
        bool entity = false;
    };

    // An XML document's own entity, read where it is referred to. Its content was parsed
    // within libxml2's bounds once; what it expands to here is bounded too, so that
    // nested references cannot multiply it without end.
    std::optional<Open> OpenEntity(const xmlNode* node, int depth) {
        const auto* entity = reinterpret_cast<const xmlEntity*>(node->children);
        if (entity == nullptr || entity->etype != XML_INTERNAL_GENERAL_ENTITY) return std::nullopt;
        if (++entityReferences_ > kMaxEntityReferences) {
            problem_ = "defines entities that expand too far";
            return std::nullopt;
        }
        ++entityDepth_;
        // (An entity's declaration holds its content as a node holds its children.)
        Open entered{entity->children, depth};
        entered.entity = true;
        return entered;
    }

    std::optional<Open> OpenElement(const xmlNode* node, int depth) {
        const std::string_view name = NameOf(node);
        if (name == "br") {
            LineBreak();
            return std::nullopt;
        }
        Open element{node->children, depth};
        element.block = IsBlock(name);
        if (element.block) EndBlock();
        const Attributes attributes = AttributesOf(node);
        if (!attributes.id.empty())
            document_.anchors.emplace(attributes.id, document_.blocks.size());
        if (IsSkipped(name) || IsNote(attributes) || IsPageBreak(attributes) ||
            IsNoteReference(node, name, attributes))
            return std::nullopt;
        element.cell = name == "td" || name == "th";
        element.heading = IsHeading(name);
        element.styled = !element.heading && IsStyledAsHeading(attributes);
        if (element.cell) pendingSpace_ = true;
        if (element.heading) ++headingDepth_;
        if (element.styled) ++styledDepth_;
        return element;
    }

    void Close(const Open& open) {
        if (open.heading) --headingDepth_;
        if (open.styled) --styledDepth_;
        if (open.cell) pendingSpace_ = true;
        if (open.block) EndBlock();
        if (open.entity) --entityDepth_;
    }

    void AddText(std::string_view text) {
        if (entityDepth_ > 0 && (entityTextBytes_ += text.size()) > kMaxEntityTextBytes) {
            problem_ = "defines entities that expand too far";
            return;
        }
        const std::size_t before = current_.size();
        AppendCollapsed(current_, text, pendingSpace_);
        if (current_.size() == before) return;
        (headingDepth_ > 0  ? hasHeadingText_
         : styledDepth_ > 0 ? hasStyledText_
                            : hasBodyText_) = true;
    }

    void LineBreak() {
        if (!current_.empty() && current_.back() != '\n') current_ += '\n';
        pendingSpace_ = false;
    }

    void EndBlock() {
        while (!current_.empty() && current_.back() == '\n') current_.pop_back();
        if (!current_.empty()) {
            document_.blocks.push_back({std::move(current_),
                                        hasHeadingText_ && !hasStyledText_ && !hasBodyText_,
                                        (hasHeadingText_ || hasStyledText_) && !hasBodyText_});
        }
        current_.clear();
        pendingSpace_ = false;
        hasHeadingText_ = false;
        hasStyledText_ = false;
        hasBodyText_ = false;
    }

    DocumentText document_;
    std::string current_;
    bool pendingSpace_ = false;
    int headingDepth_ = 0;
    int styledDepth_ = 0;
    bool hasHeadingText_ = false;
    bool hasStyledText_ = false;
    bool hasBodyText_ = false;
    int entityDepth_ = 0;
    std::size_t entityReferences_ = 0;
    std::size_t entityTextBytes_ = 0;
    std::string problem_;
};

bool BuildTree(const xmlNode* parent, MarkupNode& into, int depth, std::size_t& nodes) {
    for (const xmlNode* node = parent->children; node; node = node->next) {
        if (++nodes > kMaxMarkupNodes) return false;
        if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
            MarkupNode text;
            if (node->content != nullptr) text.text = reinterpret_cast<const char*>(node->content);
            into.children.push_back(std::move(text));
        } else if (node->type == XML_ELEMENT_NODE && depth < kMaxMarkupDepth) {
            MarkupNode element;
            element.name = NameOf(node);
            for (const xmlAttr* attribute = node->properties; attribute;
                 attribute = attribute->next) {
                // The XML parser keeps a prefix apart ("epub" of "epub:type"); the HTML
                // parser keeps it in the name.
                std::string name = reinterpret_cast<const char*>(attribute->name);
                if (attribute->ns != nullptr && attribute->ns->prefix != nullptr)
                    name = reinterpret_cast<const char*>(attribute->ns->prefix) + (":" + name);
                element.attributes.emplace_back(std::move(name), AttributeValue(attribute));
            }
            if (!BuildTree(node, element, depth + 1, nodes)) return false;
            into.children.push_back(std::move(element));
        }
    }
    return true;
}

}  // namespace

DocumentText ExtractDocumentText(std::string_view xhtml) {
    const Parsed parsed = Parse(xhtml);
    if (!parsed.problem.empty()) return DocumentText{{}, {}, parsed.problem};
    TextCollector collector;
    if (parsed.document) collector.Walk(reinterpret_cast<const xmlNode*>(parsed.document.get()), 0);
    return collector.Take();
}

std::optional<MarkupNode> ReadHtmlTree(std::string_view html) {
    const Parsed parsed = Parse(html);
    const UniqueDocument& document = parsed.document;
    const xmlNode* root = document ? xmlDocGetRootElement(document.get()) : nullptr;
    if (root == nullptr) return std::nullopt;
    MarkupNode tree;
    std::size_t nodes = 0;
    if (!BuildTree(reinterpret_cast<const xmlNode*>(document.get()), tree, 0, nodes))
        return std::nullopt;
    for (MarkupNode& child : tree.children) {
        if (!child.name.empty()) return std::move(child);
    }
    return std::nullopt;
}

}  // namespace sonoleaf::book
