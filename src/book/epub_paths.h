#pragma once
// Links inside an EPUB: percent-decoded and resolved against the document that holds
// them, to the name of an entry of the archive. A link that leaves the archive (".."
// past its root, a URL with a scheme) resolves to nothing; no name ever reaches the disk.

#include <optional>
#include <string>
#include <string_view>

namespace sonoleaf::book {

struct EpubLink {
    std::string document;  // entry name, such as "OEBPS/text/ch1.xhtml"
    std::string fragment;  // decoded, without "#"; empty when none

    bool operator==(const EpubLink&) const = default;
};

// `href` as written in the entry `base` (a name such as "OEBPS/content.opf"; "" for
// the archive's root, as in container.xml).
std::optional<EpubLink> ResolveLink(std::string_view base, std::string_view href);

std::string PercentDecode(std::string_view text);

}  // namespace sonoleaf::book
