#include "platform/text/book_metadata.h"

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <array>
#include <cctype>
#include <map>

#include "platform/text/regular_file.h"

namespace sonoleaf::text {
namespace {

// An OPF file beside a text is a few kilobytes; anything far larger is not one.
constexpr std::size_t kMaxOpfBytes = 1 << 20;
// Bounds on what one file may make the jobs hold or show.
constexpr qsizetype kMaxFieldCharacters = 1000;
constexpr std::size_t kMaxAuthors = 64;
constexpr std::size_t kMaxLanguageCharacters = 35;

constexpr char kOpfNamespace[] = "http://www.idpf.org/2007/opf";
constexpr char kDcNamespace[] = "http://purl.org/dc/elements/1.1/";
constexpr std::array<std::string_view, 3> kCoverExtensions = {".jpg", ".jpeg", ".png"};

std::u16string ToU16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
}

QString FromU16(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// One line of plain text: control characters (which XML 1.0 cannot even hold) go,
// runs of white space become one blank, and the length is bounded.
QString CleanField(const QString& text) {
    QString clean;
    bool space = false;
    for (const QChar c : text) {
        if (c.isSpace() || c.category() == QChar::Other_Control) {
            space = !clean.isEmpty();
            continue;
        }
        if (space) clean += u' ';
        space = false;
        clean += c;
        if (clean.size() >= kMaxFieldCharacters) break;
    }
    return clean;
}

// A language tag is letters, digits and hyphens; anything else is not one.
QString CleanLanguage(const QString& text) {
    const QString tag = text.trimmed();
    if (tag.isEmpty() || static_cast<std::size_t>(tag.size()) > kMaxLanguageCharacters) return {};
    for (const QChar c : tag) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'-') return {};
    }
    return tag;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool EndsWithNoCase(std::string_view text, std::string_view end) {
    if (text.size() < end.size()) return false;
    for (std::size_t i = 0; i < end.size(); ++i) {
        const char a = text[text.size() - end.size() + i];
        if (std::tolower(static_cast<unsigned char>(a)) != end[i]) return false;
    }
    return true;
}

// Only a plain file name of an image type may be taken from a file: nothing that
// reaches into another folder.
bool IsPlainImageName(std::string_view name) {
    if (name.empty() || name.find('/') != std::string_view::npos || name.front() == '.' ||
        name.find('\0') != std::string_view::npos)
        return false;
    for (std::string_view extension : kCoverExtensions) {
        if (EndsWithNoCase(name, extension) && name.size() > extension.size()) return true;
    }
    return false;
}

std::optional<std::string> ReadBounded(const std::string& path, std::size_t limit) {
    std::string bytes;
    if (ReadWholeFile(path, limit, bytes) != 0) return std::nullopt;
    return bytes;
}

}  // namespace

std::string PathBeside(const std::string& sourcePath, std::string_view extension) {
    const std::string folder = FolderOf(sourcePath);
    std::string name = sourcePath.substr(folder.size());
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return folder + name + std::string(extension);
}

std::optional<BookMetadata> ParseBookMetadata(std::string_view opfBytes) {
    QXmlStreamReader reader(
        QByteArray::fromRawData(opfBytes.data(), static_cast<qsizetype>(opfBytes.size())));
    BookMetadata metadata;
    bool isPackage = false;
    std::map<QString, QString> itemHrefs;
    QString guideCover, itemCover, metaCover;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement) continue;
        const auto name = reader.name();
        const auto attributes = reader.attributes();
        const bool dublinCore = reader.namespaceUri() == QLatin1String(kDcNamespace);
        if (name == u"package") {
            isPackage = true;
        } else if (dublinCore && name == u"title") {
            const QString title =
                CleanField(reader.readElementText(QXmlStreamReader::SkipChildElements));
            if (metadata.title.empty()) metadata.title = ToU16(title);
        } else if (dublinCore && name == u"creator") {
            QString role;  // opf:role, whatever the prefix
            for (const QXmlStreamAttribute& attribute : attributes) {
                if (attribute.name() == u"role") role = attribute.value().toString();
            }
            const QString author =
                CleanField(reader.readElementText(QXmlStreamReader::SkipChildElements));
            if ((role.isEmpty() || role == u"aut") && !author.isEmpty() &&
                metadata.authors.size() < kMaxAuthors)
                metadata.authors.push_back(ToU16(author));
        } else if (dublinCore && name == u"language") {
            const QString language =
                CleanLanguage(reader.readElementText(QXmlStreamReader::SkipChildElements));
            if (metadata.language.empty()) metadata.language = ToU16(language);
        } else if (name == u"meta" && attributes.value(QLatin1String("name")) == u"cover") {
            metaCover = attributes.value(QLatin1String("content")).toString();
        } else if (name == u"item") {
            const QString href = attributes.value(QLatin1String("href")).toString();
            itemHrefs[attributes.value(QLatin1String("id")).toString()] = href;
            if (attributes.value(QLatin1String("properties")).split(u' ').contains(u"cover-image"))
                itemCover = href;
        } else if (name == u"reference" && attributes.value(QLatin1String("type")) == u"cover") {
            guideCover = attributes.value(QLatin1String("href")).toString();
        }
    }
    if (reader.hasError() || !isPackage) return std::nullopt;
    QString cover = !guideCover.isEmpty() ? guideCover : itemCover;
    if (cover.isEmpty() && !metaCover.isEmpty()) {
        // In a package document the entry names an item; written by hand, maybe the file.
        const auto item = itemHrefs.find(metaCover);
        cover = item != itemHrefs.end() ? item->second : metaCover;
    }
    metadata.coverPath = cover.left(kMaxFieldCharacters).toStdString();
    return metadata;
}

std::optional<BookMetadata> ReadBookMetadataBeside(const std::string& sourcePath) {
    std::optional<BookMetadata> metadata;
    if (const auto bytes = ReadBounded(PathBeside(sourcePath, ".opf"), kMaxOpfBytes))
        metadata = ParseBookMetadata(*bytes);
    std::string cover;
    if (metadata && IsPlainImageName(metadata->coverPath) &&
        IsRegularFile(FolderOf(sourcePath) + metadata->coverPath))
        cover = FolderOf(sourcePath) + metadata->coverPath;
    for (std::size_t i = 0; cover.empty() && i < kCoverExtensions.size(); ++i) {
        const std::string candidate = PathBeside(sourcePath, kCoverExtensions[i]);
        if (IsRegularFile(candidate)) cover = candidate;
    }
    if (!metadata && cover.empty()) return std::nullopt;
    if (!metadata) metadata.emplace();
    metadata->coverPath = cover;
    return metadata;
}

std::string BookMetadataOpf(const BookMetadata& metadata, std::string_view coverFileName) {
    // Prefixes written as such: the package's own namespace stays the default one,
    // as e-book libraries write it.
    QByteArray bytes;
    QXmlStreamWriter writer(&bytes);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("package"));
    writer.writeAttribute(QStringLiteral("xmlns"), QLatin1String(kOpfNamespace));
    writer.writeAttribute(QStringLiteral("version"), QStringLiteral("2.0"));
    writer.writeStartElement(QStringLiteral("metadata"));
    writer.writeAttribute(QStringLiteral("xmlns:dc"), QLatin1String(kDcNamespace));
    writer.writeAttribute(QStringLiteral("xmlns:opf"), QLatin1String(kOpfNamespace));
    const QString title = CleanField(FromU16(metadata.title));
    if (!title.isEmpty()) writer.writeTextElement(QStringLiteral("dc:title"), title);
    for (const std::u16string& author : metadata.authors) {
        const QString name = CleanField(FromU16(author));
        if (name.isEmpty()) continue;
        writer.writeStartElement(QStringLiteral("dc:creator"));
        writer.writeAttribute(QStringLiteral("opf:role"), QStringLiteral("aut"));
        writer.writeCharacters(name);
        writer.writeEndElement();
    }
    const QString language = CleanLanguage(FromU16(metadata.language));
    if (!language.isEmpty()) writer.writeTextElement(QStringLiteral("dc:language"), language);
    writer.writeEndElement();  // metadata
    if (IsPlainImageName(coverFileName)) {
        writer.writeStartElement(QStringLiteral("guide"));
        writer.writeEmptyElement(QStringLiteral("reference"));
        writer.writeAttribute(QStringLiteral("type"), QStringLiteral("cover"));
        writer.writeAttribute(QStringLiteral("title"), QStringLiteral("Cover"));
        writer.writeAttribute(
            QStringLiteral("href"),
            QString::fromUtf8(coverFileName.data(), static_cast<qsizetype>(coverFileName.size())));
        writer.writeEndElement();  // guide
    }
    writer.writeEndElement();  // package
    writer.writeEndDocument();
    return bytes.toStdString();
}

}  // namespace sonoleaf::text
