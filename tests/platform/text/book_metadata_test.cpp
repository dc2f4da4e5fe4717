#include "platform/text/book_metadata.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/text/text_convert.h"
#include "support/temp_dir.h"

namespace sonoleaf::text {

// What a failure shows.
void PrintTo(const BookMetadata& metadata, std::ostream* out) {
    *out << ToNarrow(metadata.title) << " | " << metadata.authors.size() << " authors | "
         << ToNarrow(metadata.language) << " | " << metadata.coverPath;
}

namespace {

namespace fs = std::filesystem;
using testing::TempDir;

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(BookMetadataTest, WrittenMetadataReadsBackWithItsCover) {
    const TempDir dir;
    const std::string text = (dir.Path() / "my.book.txt").string();
    const BookMetadata written{u"Title & <More>\u00e9", {u"A One", u"B Two"}, u"de-CH", ""};
    Write(PathBeside(text, ".opf"), BookMetadataOpf(written, "my.book.png"));
    Write(dir.Path() / "my.book.png", "png");
    BookMetadata expected = written;
    expected.coverPath = (dir.Path() / "my.book.png").string();
    EXPECT_EQ(ReadBookMetadataBeside(text), expected);
}

TEST(BookMetadataTest, HostileOrMissingFilesTellNothingThatLeavesTheFolder) {
    struct Case {
        const char* name;
        std::string opf;    // beside the text; none when empty
        std::string image;  // an image file made beside the text; none when empty
        std::optional<BookMetadata> expected;  // coverPath relative to the folder
    };
    const std::string hand =
        "<package xmlns='http://www.idpf.org/2007/opf'><metadata "
        "xmlns:dc='http://purl.org/dc/elements/1.1/'><dc:title> Hand\n written </dc:title>"
        "<dc:creator opf:role='ill' xmlns:opf='http://www.idpf.org/2007/opf'>Drawer</dc:creator>"
        "<dc:language>en; rm -rf /</dc:language><meta name='cover' content='";
    const Case cases[] = {
        {"nothing", "", "", std::nullopt},
        {"an image alone", "", "b.jpeg", BookMetadata{{}, {}, {}, "b.jpeg"}},
        {"a cover out of the folder", hand + "../secret.jpg'/></metadata></package>", "",
         BookMetadata{u"Hand written", {}, {}, ""}},
        {"a named cover", hand + "pic.jpg'/></metadata></package>", "pic.jpg",
         BookMetadata{u"Hand written", {}, {}, "pic.jpg"}},
        {"not well-formed", "<package><metadata>", "", std::nullopt},
        {"too large", "<package>" + std::string(2 << 20, ' ') + "</package>", "b.png",
         BookMetadata{{}, {}, {}, "b.png"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir dir;
        fs::create_directory(dir.Path() / "in");
        Write(dir.Path() / "secret.jpg", "outside");
        if (!c.opf.empty()) Write(dir.Path() / "in" / "b.opf", c.opf);
        if (!c.image.empty()) Write(dir.Path() / "in" / c.image, "image");
        std::optional<BookMetadata> expected = c.expected;
        if (expected && !expected->coverPath.empty())
            expected->coverPath = (dir.Path() / "in" / expected->coverPath).string();
        EXPECT_EQ(ReadBookMetadataBeside((dir.Path() / "in" / "b.txt").string()), expected);
    }
}

TEST(BookMetadataTest, PathBesideKeepsTheStem) {
    EXPECT_EQ(PathBeside("/a.d/b.c.txt", ".opf"), "/a.d/b.c.opf");
    EXPECT_EQ(PathBeside("book", ".png"), "book.png");
    EXPECT_EQ(PathBeside("/a.d/.hidden", ".opf"), "/a.d/.hidden.opf");
}

}  // namespace
}  // namespace sonoleaf::text
