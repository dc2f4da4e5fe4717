#include "book/epub_paths.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace sonoleaf::book {
namespace {

// Longer links are no book's own: refused before any work on them.
constexpr std::size_t kMaxLinkBytes = 8192;

// "http:", "mailto:"... and not a colon later in a path.
bool HasScheme(std::string_view href) {
    const std::size_t colon = href.find(':');
    return colon != std::string_view::npos && href.find_first_of("/?#") > colon;
}

QUrl UrlOfPath(const QString& path) {
    QUrl url;
    url.setPath(path, QUrl::DecodedMode);
    return url;
}

// `path` (decoded) resolved against the folder of the entry `base`, as an entry name;
// empty when it climbs past the archive's root. QUrl drops ".." at the top of a path
// silently, so the path is resolved below two made-up roots: one that stays inside
// the archive ends the same below both, one that climbs out cannot.
QString ResolvedPath(std::string_view base, const QString& path) {
    // "./" first, so that a colon in a name cannot pass for a scheme.
    const QUrl relative = UrlOfPath(path.startsWith(u'/') ? path : "./" + path);
    const QString baseName = QString::fromUtf8(base.data(), static_cast<qsizetype>(base.size()));
    QString inside;
    bool first = true;
    for (const QString& root : {QStringLiteral("/a/"), QStringLiteral("/b/c/")}) {
        const QString resolved =
            UrlOfPath(root + baseName).resolved(relative).path(QUrl::FullyDecoded);
        if (!resolved.startsWith(root)) return {};
        const QString below = resolved.mid(root.size());
        if (!first && below != inside) return {};
        inside = below;
        first = false;
    }
    return inside;
}

}  // namespace

std::string PercentDecode(std::string_view text) {
    const QByteArray decoded =
        QUrl::fromPercentEncoding(
            QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())))
            .toUtf8();
    return std::string(decoded.constData(), static_cast<std::size_t>(decoded.size()));
}

std::optional<EpubLink> ResolveLink(std::string_view base, std::string_view href) {
    if (href.size() > kMaxLinkBytes || base.size() > kMaxLinkBytes) return std::nullopt;
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
    // Decoded before it is resolved, so that no "%2E%2E" passes for a name.
    const std::string path = PercentDecode(trimmed);
    if (path.find('\0') != std::string::npos) return std::nullopt;
    if (path.empty()) {  // "#note3": a place in the document itself
        if (base.empty()) return std::nullopt;
        link.document = std::string(base);
        return link;
    }
    // A path from "/" starts at the archive's root: no path ever leaves the archive.
    const bool fromRoot = path.front() == '/';
    QString resolved = ResolvedPath(fromRoot ? std::string_view() : base,
                                    QString::fromStdString(fromRoot ? path.substr(1) : path));
    while (resolved.endsWith(u'/')) resolved.chop(1);
    if (resolved.isEmpty()) return std::nullopt;
    link.document = resolved.toStdString();
    return link;
}

}  // namespace sonoleaf::book
