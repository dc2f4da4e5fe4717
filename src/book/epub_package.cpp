#include "book/epub_package.h"

#include <map>
#include <set>
#include <utility>

#include "book/text_lines.h"
#include "book/xhtml_text.h"

namespace sonoleaf::book {
namespace {

constexpr char kContainerEntry[] = "META-INF/container.xml";
constexpr char kEncryptionEntry[] = "META-INF/encryption.xml";
constexpr std::size_t kMaxManifestItems = 50000;
constexpr std::size_t kMaxAuthors = 64;

// Font obfuscation (IDPF and Adobe) hides fonts from copying; it locks no text.
constexpr std::string_view kFontObfuscation[] = {"http://www.idpf.org/2008/embedding",
                                                 "http://ns.adobe.com/pdf/enc#RC"};

struct ManifestItem {
    std::string entry;
    std::string mediaType;
    std::string properties;
};

// An attribute by its local name, whatever prefix the document gave it.
std::string_view LocalAttribute(const MarkupNode& node, std::string_view local) {
    for (const auto& [key, value] : node.attributes) {
        if (key == local || (key.size() > local.size() && key.ends_with(local) &&
                             key[key.size() - local.size() - 1] == ':'))
            return value;
    }
    return {};
}

template <typename Visit>
void ForEachElement(const MarkupNode& node, Visit&& visit) {
    for (const MarkupNode& child : node.children) {
        if (child.name.empty()) continue;
        visit(child);
        ForEachElement(child, visit);
    }
}

PackageRead Fail(std::string reason) {
    PackageRead read;
    read.reason = std::move(reason);
    return read;
}

// A package file read whole and parsed; the reason when it cannot be.
std::optional<MarkupNode> ReadPackageFile(ZipArchive& archive, const std::string& entry,
                                          std::string& reason, bool forgiving = false) {
    const ZipArchive::Entry read = archive.Read(entry, kMaxPackageFileBytes);
    switch (read.status) {
        case ZipArchive::Entry::Status::Ok:
            break;
        case ZipArchive::Entry::Status::Missing:
            reason = "it has no " + ShownName(entry);
            return std::nullopt;
        case ZipArchive::Entry::Status::TooLarge:
            reason = "its " + ShownName(entry) + " inflates past any sensible size";
            return std::nullopt;
        case ZipArchive::Entry::Status::Encrypted:
        case ZipArchive::Entry::Status::Damaged:
            reason = "its " + ShownName(entry) + " cannot be unpacked";
            return std::nullopt;
    }
    std::optional<MarkupNode> tree = ReadXmlTree(read.bytes);
    if (!tree && forgiving) tree = ReadHtmlTree(read.bytes);
    if (!tree) reason = "its " + ShownName(entry) + " is not well-formed XML";
    return tree;
}

bool IsContentType(const ManifestItem& item) {
    if (item.mediaType == "application/xhtml+xml" || item.mediaType == "text/html" ||
        item.mediaType == "text/x-oeb1-document")
        return true;
    if (!item.mediaType.empty()) return false;
    for (std::string_view extension : {".xhtml", ".html", ".htm"}) {
        if (item.entry.ends_with(extension)) return true;
    }
    return false;
}

void ReadMetadata(const MarkupNode& package, EpubPackage& result) {
    const MarkupNode* metadata = package.Find("metadata");
    if (metadata == nullptr) return;
    // EPUB 3 gives a creator's role in a meta that refines it.
    std::map<std::string, std::string, std::less<>> refinedRoles;
    ForEachElement(*metadata, [&](const MarkupNode& node) {
        if (node.name == "meta" && node.Attribute("property") == "role") {
            std::string_view target = node.Attribute("refines");
            if (target.starts_with('#')) target.remove_prefix(1);
            refinedRoles[std::string(target)] = node.Text();
        }
    });
    std::vector<std::string> creators, authors;
    ForEachElement(*metadata, [&](const MarkupNode& node) {
        if (node.name == "title" && result.title.empty()) {
            result.title = node.Text();
        } else if (node.name == "language" && result.language.empty()) {
            result.language = node.Text();
        } else if (node.name == "creator" && creators.size() < kMaxAuthors) {
            std::string name = node.Text();
            if (name.empty()) return;
            std::string role(LocalAttribute(node, "role"));
            if (const auto refined = refinedRoles.find(node.Attribute("id"));
                role.empty() && refined != refinedRoles.end())
                role = refined->second;
            if (role.empty() || role == "aut") authors.push_back(name);
            creators.push_back(std::move(name));
        }
    });
    // Illustrators and editors only: better than no name at all.
    result.authors = authors.empty() ? creators : authors;
}

// DRM: encryption.xml naming content documents with anything but font obfuscation.
std::optional<PackageRead::Status> CheckEncryption(ZipArchive& archive,
                                                   const std::set<std::string>& content,
                                                   std::string& reason) {
    if (!archive.Contains(kEncryptionEntry)) return PackageRead::Status::Ok;
    const std::optional<MarkupNode> encryption = ReadPackageFile(archive, kEncryptionEntry, reason);
    if (!encryption) return std::nullopt;
    bool locked = false;
    ForEachElement(*encryption, [&](const MarkupNode& data) {
        if (data.name != "encrypteddata") return;
        const MarkupNode* method = data.Find("encryptionmethod");
        const std::string_view algorithm = method ? LocalAttribute(*method, "Algorithm") : "";
        for (std::string_view font : kFontObfuscation) {
            if (algorithm == font) return;
        }
        const MarkupNode* reference = data.Find("cipherreference");
        const std::optional<EpubLink> target =
            reference ? ResolveLink("", LocalAttribute(*reference, "URI")) : std::nullopt;
        if (target && content.contains(target->document)) locked = true;
    });
    return locked ? PackageRead::Status::Encrypted : PackageRead::Status::Ok;
}

void ParseNavList(const MarkupNode& list, std::string_view entry, std::vector<TocEntry>& into,
                  int depth, std::size_t& count) {
    for (const MarkupNode& item : list.children) {
        if (item.name != "li") continue;
        if (++count > kMaxTocEntries) return;
        TocEntry toc;
        const MarkupNode* label = nullptr;
        for (const MarkupNode& child : item.children) {
            if ((child.name == "a" || child.name == "span") && label == nullptr) {
                label = &child;
            } else if (child.name == "ol" && depth < kMaxTocDepth) {
                ParseNavList(child, entry, toc.children, depth + 1, count);
            } else if (!child.name.empty() && child.name != "ol" && label == nullptr) {
                label = child.Find("a");  // a link wrapped in a paragraph
            }
        }
        if (label != nullptr) {
            toc.title = label->Text();
            if (label->name == "a") toc.target = ResolveLink(entry, label->Attribute("href"));
        }
        if (!toc.title.empty() || toc.target || !toc.children.empty())
            into.push_back(std::move(toc));
    }
}

void ParseNavPoints(const MarkupNode& parent, std::string_view entry, std::vector<TocEntry>& into,
                    int depth, std::size_t& count) {
    for (const MarkupNode& point : parent.children) {
        if (point.name != "navpoint") continue;
        if (++count > kMaxTocEntries) return;
        TocEntry toc;
        for (const MarkupNode& child : point.children) {
            if (child.name == "navlabel" && toc.title.empty()) {
                toc.title = child.Text();
            } else if (child.name == "content" && !toc.target) {
                toc.target = ResolveLink(entry, child.Attribute("src"));
            }
        }
        if (depth < kMaxTocDepth) ParseNavPoints(point, entry, toc.children, depth + 1, count);
        into.push_back(std::move(toc));
    }
}

const MarkupNode* FindTocNav(const MarkupNode& node) {
    if (node.name == "nav" &&
        (node.AttributeHas("epub:type", "toc") || node.AttributeHas("role", "doc-toc")))
        return &node;
    for (const MarkupNode& child : node.children) {
        if (const MarkupNode* found = FindTocNav(child)) return found;
    }
    return nullptr;
}

}  // namespace

PackageRead ReadEpubPackage(ZipArchive& archive) {
    std::string reason;
    const std::optional<MarkupNode> container = ReadPackageFile(archive, kContainerEntry, reason);
    if (!container) return Fail(reason);
    // The first package document, or the first one typed as such.
    std::string firstRoot, typedRoot;
    ForEachElement(*container, [&](const MarkupNode& node) {
        if (node.name != "rootfile") return;
        const std::optional<EpubLink> link = ResolveLink("", node.Attribute("full-path"));
        if (!link) return;
        if (firstRoot.empty()) firstRoot = link->document;
        if (typedRoot.empty() && node.Attribute("media-type") == "application/oebps-package+xml")
            typedRoot = link->document;
    });
    const std::string opfEntry = typedRoot.empty() ? firstRoot : typedRoot;
    if (opfEntry.empty()) return Fail("its container names no package document");
    const std::optional<MarkupNode> opf = ReadPackageFile(archive, opfEntry, reason);
    if (!opf) return Fail(reason);

    PackageRead read;
    EpubPackage& package = read.package;
    ReadMetadata(*opf, package);

    std::map<std::string, ManifestItem, std::less<>> manifest;
    std::string spineToc;
    std::vector<std::pair<std::string, bool>> itemrefs;  // idref, linear
    ForEachElement(*opf, [&](const MarkupNode& node) {
        if (node.name == "item" && manifest.size() < kMaxManifestItems) {
            // Some books list one document once per section, with a fragment.
            const std::optional<EpubLink> link = ResolveLink(opfEntry, node.Attribute("href"));
            if (!link) return;
            manifest.emplace(std::string(node.Attribute("id")),
                             ManifestItem{link->document, std::string(node.Attribute("media-type")),
                                          std::string(node.Attribute("properties"))});
        } else if (node.name == "spine") {
            spineToc = node.Attribute("toc");
        } else if (node.name == "itemref" && itemrefs.size() <= kMaxSpineDocuments) {
            itemrefs.emplace_back(node.Attribute("idref"), node.Attribute("linear") != "no");
        }
    });
    if (itemrefs.size() > kMaxSpineDocuments)
        return Fail("its spine lists more than " + std::to_string(kMaxSpineDocuments) +
                    " documents");

    std::set<std::string> inSpine;
    for (const auto& [idref, linear] : itemrefs) {
        const auto item = manifest.find(idref);
        if (item == manifest.end() || !linear || !IsContentType(item->second)) continue;
        if (!archive.Contains(item->second.entry))
            return Fail("its spine names " + ShownName(item->second.entry) +
                        ", which is not in the book");
        if (inSpine.insert(item->second.entry).second) package.spine.push_back(item->second.entry);
    }
    if (package.spine.empty()) return Fail("its spine lists no content documents");

    std::string coverId;
    ForEachElement(*opf, [&](const MarkupNode& node) {
        if (node.name == "meta" && node.Attribute("name") == "cover")
            coverId = node.Attribute("content");
    });
    for (const auto& [id, item] : manifest) {
        if (HasToken(item.properties, "cover-image")) package.coverEntry = item.entry;
        if (HasToken(item.properties, "nav")) package.navEntry = item.entry;
        if ((id == spineToc && !spineToc.empty()) ||
            (package.ncxEntry.empty() && item.mediaType == "application/x-dtbncx+xml"))
            package.ncxEntry = item.entry;
    }
    if (package.coverEntry.empty() && !coverId.empty()) {
        if (const auto item = manifest.find(coverId); item != manifest.end())
            package.coverEntry = item->second.entry;
    }

    const std::optional<PackageRead::Status> locked = CheckEncryption(archive, inSpine, reason);
    if (!locked) return Fail(reason);
    read.status = *locked;
    return read;
}

std::vector<TocEntry> NavTableOfContents(const MarkupNode& document, std::string_view entry) {
    std::vector<TocEntry> entries;
    const MarkupNode* nav = FindTocNav(document);
    const MarkupNode* list = nav ? nav->Find("ol") : nullptr;
    std::size_t count = 0;
    if (list != nullptr) ParseNavList(*list, entry, entries, 0, count);
    return entries;
}

std::vector<TocEntry> NcxTableOfContents(const MarkupNode& document, std::string_view entry) {
    std::vector<TocEntry> entries;
    const MarkupNode* map = document.Find("navmap");
    std::size_t count = 0;
    if (map != nullptr) ParseNavPoints(*map, entry, entries, 0, count);
    return entries;
}

std::vector<TocEntry> ReadTableOfContents(ZipArchive& archive, const EpubPackage& package) {
    std::string ignored;
    if (!package.navEntry.empty()) {
        if (const auto nav = ReadPackageFile(archive, package.navEntry, ignored, true)) {
            std::vector<TocEntry> entries = NavTableOfContents(*nav, package.navEntry);
            if (!entries.empty()) return entries;
        }
    }
    if (!package.ncxEntry.empty()) {
        if (const auto ncx = ReadPackageFile(archive, package.ncxEntry, ignored, true))
            return NcxTableOfContents(*ncx, package.ncxEntry);
    }
    return {};
}

}  // namespace sonoleaf::book
