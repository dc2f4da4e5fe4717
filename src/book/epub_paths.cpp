#include "book/epub_paths.h"

#include <vector>

namespace sonoleaf::book {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "http:", "mailto:"... and not a colon later in a path.
bool HasScheme(std::string_view href) {
    const std::size_t colon = href.find(':');
    return colon != std::string_view::npos && href.find_first_of("/?#") > colon;
}

}  // namespace

std::string PercentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

std::optional<EpubLink> ResolveLink(std::string_view base, std::string_view href) {
    std::string_view trimmed = href;
    while (!trimmed.empty() && (trimmed.front() == ' ' || trimmed.front() == '\t'))
        trimmed.remove_prefix(1);
    while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t'))
        trimmed.remove_suffix(1);
    if (HasScheme(trimmed)) return std::nullopt;
    EpubLink link;
    const std::size_t hash = trimmed.find('#');
    if (hash != std::string_view::npos) {
        link.fragment = PercentDecode(trimmed.substr(hash + 1));
        trimmed = trimmed.substr(0, hash);
    }
    trimmed = trimmed.substr(0, trimmed.find('?'));
    const std::string path = PercentDecode(trimmed);
    if (path.find('\0') != std::string::npos) return std::nullopt;
    if (path.empty()) {  // "#note3": a place in the document itself
        if (base.empty()) return std::nullopt;
        link.document = std::string(base);
        return link;
    }

    std::vector<std::string> parts;
    if (path.front() != '/') {
        const std::size_t slash = base.rfind('/');
        const std::string_view folder =
            slash == std::string_view::npos ? std::string_view() : base.substr(0, slash);
        for (std::size_t start = 0; start < folder.size();) {
            std::size_t end = folder.find('/', start);
            if (end == std::string_view::npos) end = folder.size();
            if (end > start) parts.emplace_back(folder.substr(start, end - start));
            start = end + 1;
        }
    }
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (parts.empty()) return std::nullopt;  // above the archive's root
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    if (parts.empty()) return std::nullopt;
    for (const std::string& part : parts) {
        if (!link.document.empty()) link.document += '/';
        link.document += part;
    }
    return link;
}

}  // namespace sonoleaf::book
