#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "book/book_import.h"
#include "book/epub_builder.h"
#include "platform/text/book_metadata.h"
#include "platform/text/text_convert.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"

namespace sonoleaf::book {
namespace {

namespace fs = std::filesystem;
using testing::EpubFiles;
using testing::FileBytes;
using testing::Item;
using testing::Opf;
using testing::TempDir;
using testing::Xhtml;
using testing::ZipFile;
using Kind = ImportResult::Kind;

const std::string kPng = "\x89PNG\r\n\x1A\n and the rest of a picture";
const std::string kAlpha = Xhtml("<h1>Alpha</h1><p>Alpha text.</p>");

// EPUB 3: a navigation document (in a folder of its own, not linear) whose entries
// point at anchors of one document; entities, ruby, notes and page breaks in the text.
std::vector<ZipFile> NavBook() {
    return EpubFiles(
        {{"OEBPS/content.opf",
          Opf(Item("nav", "nav/nav.xhtml", " properties=\"nav\"") + Item("a", "text/a%20b.xhtml") +
                  "<item id=\"c\" href=\"cover.png\" media-type=\"image/png\" "
                  "properties=\"cover-image\"/>",
              "<itemref idref=\"nav\" linear=\"no\"/><itemref idref=\"a\"/>")},
         {"OEBPS/nav/nav.xhtml",
          Xhtml("<nav epub:type=\"toc\"><ol><li><a href=\"../text/a%20b.xhtml#c1\">One</a></li>"
                "<li><a href=\"../text/a%20b.xhtml#c2\">Two</a></li></ol></nav>")},
         {"OEBPS/text/a b.xhtml",
          Xhtml("<p>Before&nbsp;the start.</p><h1 id=\"c1\">One</h1>"
                "<p>First<a epub:type=\"noteref\" href=\"#n1\">1</a> words&nbsp;here"
                "<sup><a href=\"#n2\">[2]</a></sup>.</p><p><ruby>漢<rp>(</rp><rt>kan</rt>"
                "<rp>)</rp></ruby>字 <span epub:type=\"pagebreak\" id=\"p7\" title=\"7\"/>go <span "
                "epub:type=\"pagebreak\">8</span>on.</p><aside epub:type=\"footnote\" "
                "id=\"n1\"><p>A note.</p></aside>"
                "<h1 id=\"c2\">Two</h1><p>Second &lt;title&gt; words &mdash; end.</p>"
                "<section epub:type=\"endnotes\"><p id=\"n2\">2. End note.</p></section>")},
         {"OEBPS/cover.png", kPng}});
}

// EPUB 2: an NCX whose "Part II" entry (a page with its heading only) has two chapters;
// one chapter's XHTML is broken, the other's title is a paragraph.
std::vector<ZipFile> NcxBook() {
    return EpubFiles(
        {{"OEBPS/content.opf",
          Opf("<item id=\"ncx\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>" +
                  Item("part", "part.xhtml") + Item("c5", "c5.xhtml") + Item("c6", "c6.xhtml"),
              "<itemref idref=\"part\"/><itemref idref=\"c5\"/><itemref idref=\"c6\"/>",
              " toc=\"ncx\"")},
         {"OEBPS/toc.ncx",
          "<?xml version=\"1.0\"?><ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\"><navMap>"
          "<navPoint><navLabel><text>Part II</text></navLabel><content src=\"part.xhtml\"/>"
          "<navPoint><navLabel><text>Chapter 5</text></navLabel><content src=\"c5.xhtml\"/>"
          "</navPoint><navPoint><navLabel><text>Chapter 6</text></navLabel>"
          "<content src=\"c6.xhtml\"/></navPoint></navPoint></navMap></ncx>"},
         {"OEBPS/part.xhtml", Xhtml("<h1>Part II</h1>")},
         {"OEBPS/c5.xhtml",
          "<html><body><h2>Chapter 5</h2><p>Caf&eacute; <b>au lait</b><p>Second &amp; "
          "third<br>line<div>Last &hellip;"},
         {"OEBPS/c6.xhtml", Xhtml("<p class=\"chapter\">Chapter 6</p><p>Six.</p>")}});
}

std::string Encryption(const std::string& algorithm, const std::string& uri) {
    return "<encryption xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\" "
           "xmlns:enc=\"http://www.w3.org/2001/04/xmlenc#\"><enc:EncryptedData>"
           "<enc:EncryptionMethod Algorithm=\"" +
           algorithm + "\"/><enc:CipherData><enc:CipherReference URI=\"" + uri +
           "\"/></enc:CipherData></enc:EncryptedData></encryption>";
}

struct EpubCase {
    const char* name;
    std::vector<ZipFile> files;
    Kind kind;
    std::string expected;  // Saved: the whole text; otherwise a part of the message
    std::string raw = {};  // written instead of a ZIP when set
};

std::vector<EpubCase> Cases() {
    const std::string oneItem = Item("a", "a.xhtml");
    const std::string oneRef = "<itemref idref=\"a\"/>";
    return {
        {"nav anchors, notes, ruby", NavBook(), Kind::Saved,
         "<title>Book Title\n\nBefore the start.\n</title>\n\n<title>One\n\nFirst words here."
         "\n\n漢字 go on.\n</title>\n\n<title>Two\n\nSecond ‹title› words — end.\n</title>\n\n"},
        {"NCX with a part page, broken XHTML", NcxBook(), Kind::Saved,
         "<title>Part II. Chapter 5\n\nCafé au lait\n\nSecond & third\nline\n\nLast …\n"
         "</title>\n\n<title>Chapter 6\n\nSix.\n</title>\n\n"},
        {"no table of contents, a document listed once per section",
         EpubFiles({{"OEBPS/content.opf",
                     Opf(Item("a1", "a.xhtml#s1") + Item("b", "b.xhtml") + Item("a2", "a.xhtml#s2"),
                         "<itemref idref=\"a1\"/><itemref idref=\"b\"/><itemref idref=\"a2\"/>")},
                    {"OEBPS/a.xhtml", kAlpha},
                    {"OEBPS/b.xhtml", Xhtml("<p>Only words here.</p>")}}),
         Kind::Saved,
         "<title>Alpha\n\nAlpha text.\n</title>\n\n<title>Only words here.\n</title>\n\n"},
        {"a heading without link, entries out of reading order, an anchor not found",
         EpubFiles(
             {{"OEBPS/content.opf", Opf(Item("nav", "nav.xhtml", " properties=\"nav\"") + oneItem +
                                            Item("b", "b.xhtml") + Item("c", "c.xhtml"),
                                        oneRef + "<itemref idref=\"b\"/><itemref idref=\"c\"/>")},
              {"OEBPS/nav.xhtml",
               Xhtml("<nav epub:type=\"toc\"><ol><li><span>Book One</span><ol><li><a "
                     "href=\"b.xhtml\">Bravo</a></li><li><a href=\"a.xhtml#nowhere\">Alpha</a>"
                     "</li></ol></li><li><a href=\"c.xhtml\">Charlie</a></li></ol></nav>")},
              {"OEBPS/a.xhtml", kAlpha},
              {"OEBPS/b.xhtml", Xhtml("<h2>Bravo</h2><p>Bravo text.</p>")},
              {"OEBPS/c.xhtml", Xhtml("<p>Charlie text.</p>")}}),
         Kind::Saved,
         "<title>Alpha\n\nAlpha text.\n</title>\n\n<title>Book One. Bravo\n\nBravo text.\n"
         "</title>\n\n<title>Charlie\n\nCharlie text.\n</title>\n\n"},
        {"font obfuscation is no DRM",
         EpubFiles({{"META-INF/encryption.xml",
                     Encryption("http://www.idpf.org/2008/embedding", "OEBPS/f.otf")},
                    {"OEBPS/content.opf", Opf(oneItem, oneRef)},
                    {"OEBPS/a.xhtml", kAlpha}}),
         Kind::Saved, "<title>Alpha\n\nAlpha text.\n</title>\n\n"},
        {"DRM",
         EpubFiles({{"META-INF/encryption.xml",
                     Encryption("http://www.w3.org/2001/04/xmlenc#aes128-cbc", "OEBPS/a.xhtml")},
                    {"OEBPS/content.opf", Opf(oneItem, oneRef)},
                    {"OEBPS/a.xhtml", kAlpha}}),
         Kind::Encrypted, ": This File is Encrypted"},
        {"not a ZIP",
         {},
         Kind::NotReadable,
         "is not a readable EPUB: it is not a ZIP archive",
         "%PDF-1.4"},
        {"no container",
         {{"mimetype", "application/epub+zip"}, {"OEBPS/a.xhtml", kAlpha}},
         Kind::NotReadable,
         "it has no META-INF/container.xml"},
        {"spine names a missing file", EpubFiles({{"OEBPS/content.opf", Opf(oneItem, oneRef)}}),
         Kind::NotReadable, "its spine names OEBPS/a.xhtml, which is not in the book"},
        {"zip bomb",
         EpubFiles({{"OEBPS/content.opf", Opf(oneItem, oneRef)},
                    {"OEBPS/a.xhtml", Xhtml("<p>" + std::string(20 << 20, 'a') + "</p>")}}),
         Kind::NotReadable, "its OEBPS/a.xhtml inflates past"},
        {"an entry named ../../x",
         EpubFiles({{"OEBPS/content.opf", Opf(Item("x", "../../x"), "<itemref idref=\"x\"/>")},
                    {"../../x", kAlpha}}),
         Kind::NotReadable, "its spine lists no content documents"},
    };
}

TEST(EpubImportTest, EachBookBecomesItsChaptersOrAClearRefusal) {
    for (const EpubCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        const TempDir dir;
        fs::create_directories(dir.Path() / "in" / "deep");
        fs::create_directory(dir.Path() / "out");
        const std::string epub = (dir.Path() / "in" / "deep" / "book.epub").string();
        if (c.raw.empty()) {
            ASSERT_TRUE(testing::WriteZip(epub, c.files));
        } else {
            std::ofstream(epub, std::ios::binary) << c.raw;
        }
        const std::string text = (dir.Path() / "out" / "book.txt").string();
        const ImportResult result = ConvertEpubToText(epub, text);
        const std::string message = ImportMessage(result, epub, text);
        EXPECT_EQ(result.kind, c.kind) << message;
        if (c.kind == Kind::Saved) {
            EXPECT_EQ(FileBytes(text), c.expected);
            EXPECT_EQ(message, "Converted File  is Saved to: \"" + text + "\"");
        } else {
            EXPECT_NE(message.find(c.expected), std::string::npos) << message;
            EXPECT_TRUE(message.starts_with("\"" + epub + "\"")) << message;
            EXPECT_TRUE(fs::is_empty(dir.Path() / "out"));  // no text, OPF, cover, or part
        }
        for (const auto& entry : fs::recursive_directory_iterator(dir.Path()))
            EXPECT_NE(entry.path().filename(), "x");  // no entry name became a path
    }
}

TEST(EpubImportTest, MetadataAndCoverLieBesideTheText) {
    const TempDir dir;
    const std::string epub = (dir.Path() / "book.zip").string();
    ASSERT_TRUE(testing::WriteZip(epub, NavBook()));
    EXPECT_TRUE(IsEpub(epub));  // by its content, whatever its name
    const std::string text = (dir.Path() / "My.Book.txt").string();
    ASSERT_EQ(ConvertEpubToText(epub, text).kind, Kind::Saved);

    const auto metadata = text::ReadBookMetadataBeside(text);
    ASSERT_TRUE(metadata.has_value());
    EXPECT_EQ(metadata->title, u"Book Title");
    EXPECT_EQ(metadata->authors, std::vector<std::u16string>{u"Ann Writer"});
    EXPECT_EQ(metadata->language, u"en-GB");
    EXPECT_EQ(metadata->coverPath, (dir.Path() / "My.Book.png").string());
    EXPECT_EQ(FileBytes(metadata->coverPath), kPng);

    std::ofstream(dir.Path() / "paper.pdf") << "%PDF-1.4";
    EXPECT_FALSE(IsEpub((dir.Path() / "paper.pdf").string()));
    EXPECT_TRUE(IsEpub((dir.Path() / "missing.EPUB").string()));
}

}  // namespace
}  // namespace sonoleaf::book
