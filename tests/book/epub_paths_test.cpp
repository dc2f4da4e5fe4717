#include "book/epub_paths.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace sonoleaf::book {
namespace {

// Links are decoded before they are resolved, so that no encoding smuggles a ".." past
// the archive's root.
TEST(EpubPathsTest, LinksResolveInsideTheArchiveOrNowhere) {
    struct Case {
        const char* base;
        const char* href;
        std::optional<EpubLink> expected;
    };
    const std::string longHref(10000, 'a');
    const Case cases[] = {
        {"OEBPS/content.opf", "text/a%20b.xhtml#c%C3%A9", EpubLink{"OEBPS/text/a b.xhtml", "cé"}},
        {"OEBPS/nav/nav.xhtml", "../text/./c1.xhtml", EpubLink{"OEBPS/text/c1.xhtml", ""}},
        {"OEBPS/nav.xhtml", "#here", EpubLink{"OEBPS/nav.xhtml", "here"}},
        {"content.opf", "/top/y.xhtml?q=1", EpubLink{"top/y.xhtml", ""}},
        {"OEBPS/content.opf", "../../x", std::nullopt},
        {"a.xhtml", "%2E%2E/x", std::nullopt},
        {"a.xhtml", "http://example.com/x.xhtml", std::nullopt},
        {"a.xhtml", "x%00y.xhtml", std::nullopt},
        {"", "", std::nullopt},
        {"OEBPS/content.opf", "text/../../a.xhtml", EpubLink{"a.xhtml", ""}},
        {"OEBPS/content.opf", "%2e%2E/%2E%2e/x", std::nullopt},
        {"OEBPS/content.opf", "../../OEBPS/x", std::nullopt},
        {"OEBPS/content.opf", "//x", std::nullopt},
        {"OEBPS/content.opf", "a%3Ab%25.xhtml", EpubLink{"OEBPS/a:b%.xhtml", ""}},
        {"OEBPS/content.opf", longHref.c_str(), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.base) + " + " + c.href);
        const std::optional<EpubLink> link = ResolveLink(c.base, c.href);
        ASSERT_EQ(link.has_value(), c.expected.has_value());
        if (link) {
            EXPECT_EQ(*link, *c.expected);
        }
    }
}

}  // namespace
}  // namespace sonoleaf::book
