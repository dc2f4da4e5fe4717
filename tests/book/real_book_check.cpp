// A real book: calibre's English quick-start guide (EPUB 2 with an NCX, sections at
// anchors), fetched by scripts/fetch-test-books into $SONOLEAF_TEST_BOOKS.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "book/book_import.h"
#include "platform/text/book_metadata.h"
#include "platform/text/title_scan.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"

namespace sonoleaf::book {
namespace {

TEST(RealBookTest, EnglishQuickStartGuideGivesOnePassagePerChapterInOrder) {
    const char* books = std::getenv("SONOLEAF_TEST_BOOKS");
    ASSERT_NE(books, nullptr) << "run through ctest, or set SONOLEAF_TEST_BOOKS";
    const std::string epub = std::string(books) + "/eng.epub";
    ASSERT_TRUE(std::filesystem::exists(epub)) << "scripts/fetch-test-books " << books;
    const testing::TempDir dir;
    const std::string text = (dir.Path() / "eng.txt").string();
    const ImportResult result = ConvertEpubToText(epub, text);
    ASSERT_EQ(result.kind, ImportResult::Kind::Saved) << ImportMessage(result, epub, text);

    // The NCX's labels, in its order; the cover page holds no text and makes no passage.
    const std::vector<std::string> expected = {"Calibre Quick Start Guide",
                                               "Table of Contents",
                                               "Introduction",
                                               "Installing calibre",
                                               "The Main Library Window, aka the GUI",
                                               "Common Tasks",
                                               "Task 1: Organizing",
                                               "Task 2: Conversion",
                                               "2.1: Background",
                                               "2.2: Why are there different e-book formats?",
                                               "2.3: Conversion basics",
                                               "2.4: Auto Conversion",
                                               "2.5: More robust conversion",
                                               "2.6: Limitations of conversion",
                                               "2.7: DRM: the bane of conversion",
                                               "Task 3: The e-book editor",
                                               "Task 4: Downloading News",
                                               "Task 5: Interacting with e-book readers",
                                               "5.1: Putting an e-book on your e-book reader",
                                               "5.2: E-book reader optional configuration",
                                               "Task 6: The e-book viewer",
                                               "Where to get help"};
    const std::string bytes = testing::FileBytes(text);
    std::vector<std::string> titles;
    for (const text::TitlePair& pair : text::ScanTitlePairs(bytes)) {
        const std::string passage =
            bytes.substr(pair.passageBegin, pair.passageEnd - pair.passageBegin);
        titles.push_back(passage.substr(0, passage.find('\n')));
        EXPECT_GT(passage.size(), titles.back().size() + 20) << "no text in " << titles.back();
    }
    EXPECT_EQ(titles, expected);
    EXPECT_EQ(result.chapters, static_cast<int>(expected.size()));
    EXPECT_NE(bytes.find("Tower of eBabel"), std::string::npos);

    const auto metadata = text::ReadBookMetadataBeside(text);
    ASSERT_TRUE(metadata.has_value());
    EXPECT_EQ(metadata->title, u"Quick Start Guide");
    EXPECT_EQ(metadata->authors, std::vector<std::u16string>{u"John Schember"});
    EXPECT_EQ(metadata->language, u"en");
    EXPECT_EQ(metadata->coverPath, (dir.Path() / "eng.jpg").string());
}

}  // namespace
}  // namespace sonoleaf::book
