#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "book/book_import.h"
#include "book/epub_builder.h"
#include "book/xhtml_text.h"
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

// One grey pixel.
const std::string kPng(
    "\x89\x50\x4E\x47\x0D\x0A\x1A\x0A\x00\x00\x00\x0D\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00"
    "\x00\x01\x08\x00\x00\x00\x00\x3A\x7E\x9B\x55\x00\x00\x00\x0A\x49\x44\x41\x54\x78\x9C"
    "\x63\x68\x00\x00\x00\x82\x00\x81\x77\xCD\x72\xB6\x00\x00\x00\x00\x49\x45\x4E\x44\xAE"
    "\x42\x60\x82",
    67);
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

// One document per navigation entry, each entry's title and body.
std::vector<ZipFile> ChaptersBook(
    const std::vector<std::pair<std::string, std::string>>& chapters) {
    std::string items = Item("nav", "nav.xhtml", " properties=\"nav\"");
    std::string spine;
    std::string nav;
    std::vector<ZipFile> documents;
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        const std::string name = "c" + std::to_string(i);
        items += Item(name, name + ".xhtml");
        spine += "<itemref idref=\"" + name + "\"/>";
        nav += "<li><a href=\"" + name + ".xhtml\">" + chapters[i].first + "</a></li>";
        documents.push_back({"OEBPS/" + name + ".xhtml", Xhtml(chapters[i].second)});
    }
    documents.push_back({"OEBPS/content.opf", Opf(items, spine)});
    documents.push_back(
        {"OEBPS/nav.xhtml", Xhtml("<nav epub:type=\"toc\"><ol>" + nav + "</ol></nav>")});
    return EpubFiles(documents);
}

// A book of one document: its prolog (XML declaration, document type) and body.
std::vector<ZipFile> OneDocumentBook(const std::string& prolog, const std::string& body) {
    return EpubFiles({{"OEBPS/content.opf", Opf(Item("a", "a.xhtml"), "<itemref idref=\"a\"/>")},
                      {"OEBPS/a.xhtml", prolog +
                                            "<html xmlns=\"http://www.w3.org/1999/xhtml\">"
                                            "<body>" +
                                            body + "</body></html>"}});
}

// `depth` divisions one inside the other, a paragraph in each ("p1" outermost), closed
// or not; and the passage they make (the first paragraph its title).
std::string NestedDivisions(int depth, bool closed) {
    std::string body;
    for (int i = 1; i <= depth; ++i) body += "<div><p>p" + std::to_string(i) + "</p>";
    for (int i = 0; closed && i < depth; ++i) body += "</div>";
    return body;
}
std::string NestedPassage(int depth) {
    std::string text = "<title>p1";
    for (int i = 2; i <= depth; ++i) text += "\n\np" + std::to_string(i);
    return text + "\n</title>\n\n";
}

constexpr char kXmlDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

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
    std::string laughs = "<!ENTITY l0 \"ha\">";  // each entity ten of the one before
    for (char i = '1'; i <= '9'; ++i) {
        std::string ten;
        for (int j = 0; j < 10; ++j) ten += std::string("&l") + static_cast<char>(i - 1) + ";";
        laughs += std::string("<!ENTITY l") + i + " \"" + ten + "\">";
    }
    return {
        {"paragraphs that share words with their chapter's title",
         ChaptersBook(
             {{"No Way Out", "<h1>No Way Out</h1><p>No.</p><p>Out!</p><p>Run.</p>"},
              {"The Beginning of the End",
               "<p class=\"chapter-title\">The Beginning of "
               "the End</p><p>The end.</p>"},
              {"Chapter 1: Loomings", "<h2>Chapter 1</h2><h3>Loomings</h3><p>Call me.</p>"},
              {"Chapter 2", "<h2>Chapter</h2><p>2</p>"}}),
         Kind::Saved,
         "<title>No Way Out\n\nNo.\n\nOut!\n\nRun.\n</title>\n\n<title>The Beginning of the End"
         "\n\nThe end.\n</title>\n\n<title>Chapter 1: Loomings\n\nCall me.\n</title>\n\n"
         "<title>Chapter 2\n\nChapter\n\n2\n</title>\n\n"},
        {"399 divisions never closed",
         OneDocumentBook(kXmlDeclaration, NestedDivisions(399, false)), Kind::Saved,
         NestedPassage(399)},
        {"260 divisions one inside the other",
         OneDocumentBook(kXmlDeclaration, NestedDivisions(260, true)), Kind::Saved,
         NestedPassage(260)},
        {"a document type of its own: entities, CDATA, an outside entity never read",
         OneDocumentBook(std::string(kXmlDeclaration) +
                             "<!DOCTYPE html [<!ENTITY who \"the &amp; world\">"
                             "<!ENTITY secret SYSTEM \"/etc/passwd\">]>",
                         "<h1>Hi</h1><p>Hello &who;! <![CDATA[1 < 2 & 3]]>&secret;</p>"),
         Kind::Saved, "<title>Hi\n\nHello the & world! 1 < 2 & 3\n</title>\n\n"},
        {"entities that would laugh a billion times",
         OneDocumentBook(std::string(kXmlDeclaration) + "<!DOCTYPE html [" + laughs + "]>",
                         "<p>&l9;</p>"),
         Kind::NotReadable, "its OEBPS/a.xhtml defines entities that expand too far"},
        {"elements nested past the bound",
         OneDocumentBook(kXmlDeclaration, NestedDivisions(kMaxTextDepth + 10, true)),
         Kind::NotReadable, "its OEBPS/a.xhtml nests its elements deeper than 2048"},
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

// A cover is kept only when it decodes as the picture it starts like; any other is left
// out with a warning, and the book is saved all the same.
TEST(EpubImportTest, ACoverThatIsNoPictureIsLeftOutWithAWarning) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* kept;  // the cover's extension; null when left out
    };
    const Case cases[] = {
        {"a PNG", kPng, ".png"},
        {"JPEG marks, then nothing of a picture", "\xFF\xD8\xFF\xE0 not a picture at all", nullptr},
        {"a PNG cut short", kPng.substr(0, 40), nullptr},
        {"no picture at all", "GIF89a", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir dir;
        const std::string epub = (dir.Path() / "book.epub").string();
        ASSERT_TRUE(testing::WriteZip(
            epub, EpubFiles({{"OEBPS/content.opf",
                              Opf(Item("a", "a.xhtml") +
                                      "<item id=\"c\" href=\"cover.jpg\" media-type=\"image/jpeg\" "
                                      "properties=\"cover-image\"/>",
                                  "<itemref idref=\"a\"/>")},
                             {"OEBPS/a.xhtml", kAlpha},
                             {"OEBPS/cover.jpg", c.bytes}})));
        fs::create_directory(dir.Path() / "out");
        const std::string text = (dir.Path() / "out" / "book.txt").string();
        const ImportResult result = ConvertEpubToText(epub, text);
        ASSERT_EQ(result.kind, Kind::Saved);
        EXPECT_EQ(FileBytes(text), "<title>Alpha\n\nAlpha text.\n</title>\n\n");
        const auto metadata = text::ReadBookMetadataBeside(text);
        ASSERT_TRUE(metadata.has_value());
        const std::string cover = (dir.Path() / "out" / "book").string() + (c.kept ? c.kept : "");
        EXPECT_EQ(metadata->coverPath, c.kept ? cover : "");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path() / "out"), {}), c.kept ? 3 : 2);
        EXPECT_EQ(result.warnings.size() == 1 &&
                      result.warnings[0].find("is no readable JPEG or PNG") != std::string::npos,
                  c.kept == nullptr);
    }
}

}  // namespace
}  // namespace sonoleaf::book
