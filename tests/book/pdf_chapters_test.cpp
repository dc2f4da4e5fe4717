#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "book/book_import.h"
#include "book/outline_pdf.h"
#include "platform/process/run_program.h"
#include "platform/text/book_metadata.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"

namespace sonoleaf::book {
namespace {

namespace fs = std::filesystem;
using testing::FileBytes;
using testing::OutlineItem;
using testing::TempDir;
using Kind = ImportResult::Kind;

const std::vector<std::vector<std::string>> kPages = {
    {"Front matter words"},
    {"Chapter One", "alpha words", "Chapter Two", "beta words"},
    {"Chapter Three", "gamma words"},
    {"delta words"}};

// Runs of white space (line ends, page feeds) as one blank: pdftotext's layout of lines
// is its own business.
std::string Normalised(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::string WritePdf(const fs::path& folder, const std::vector<OutlineItem>& outline) {
    const std::string path = (folder / "book.pdf").string();
    std::ofstream(path, std::ios::binary)
        << testing::OutlinePdfWriter().Write(kPages, outline, "Test Book", "Ann Writer");
    return path;
}

TEST(PdfChaptersTest, TopLevelEntriesMakePassagesSplitWhereTheirTitlesStand) {
    const TempDir dir;
    // Two chapters share page 2; a nested entry does not split the last chapter.
    const std::string pdf = WritePdf(dir.Path(), {{"Chapter One", 2, {{"Nested Section", 4, {}}}},
                                                  {"Chapter Two", 2, {}},
                                                  {"Chapter Three", 3, {}}});
    const std::string text = (dir.Path() / "book.txt").string();
    const ImportResult result = ConvertPdfWithChapters(pdf, text);
    ASSERT_EQ(result.kind, Kind::Saved) << ImportMessage(result, pdf, text);
    EXPECT_EQ(result.chapters, 4);
    EXPECT_EQ(Normalised(FileBytes(text)),
              "<title>Test Book Front matter words </title> <title>Chapter One alpha words "
              "</title> <title>Chapter Two beta words </title> <title>Chapter Three gamma words "
              "delta words </title> ");
    const auto metadata = text::ReadBookMetadataBeside(text);
    ASSERT_TRUE(metadata.has_value());
    EXPECT_EQ(metadata->title, u"Test Book");
    EXPECT_EQ(metadata->authors, std::vector<std::u16string>{u"Ann Writer"});
}

TEST(PdfChaptersTest, WithoutOutlineTheTextIsPdftotextsOwn) {
    const TempDir dir;
    const std::string pdf = WritePdf(dir.Path(), {});
    const std::string text = (dir.Path() / "book.txt").string();
    const ImportResult result = ConvertPdfWithChapters(pdf, text);
    EXPECT_EQ(result.kind, Kind::SavedWithoutOutline);
    EXPECT_EQ(ImportMessage(result, pdf, text), "Converted File  is Saved to: \"" + text + "\"");
    const std::string direct = (dir.Path() / "direct.txt").string();
    ASSERT_TRUE(process::RunAndWait("pdftotext", {"-s", pdf, direct}).ExitedWith(0));
    EXPECT_EQ(FileBytes(text), FileBytes(direct));
}

TEST(PdfChaptersTest, AnOutlineReaderThatFailsLeavesNothingBehind) {
    struct Case {
        const char* script;
        Kind kind;
    };
    const TempDir dir;
    const std::string pdf = WritePdf(dir.Path(), {{"Chapter One", 2, {}}});
    const fs::path out = dir.Path() / "out";
    fs::create_directory(out);
    for (const Case& c :
         {Case{"kill -SEGV $$", Kind::NotReadable},
          Case{"echo 'sonoleaf-pdf-outline 1'; echo 'entry 2 Cut'", Kind::NotReadable},
          Case{"exit 2", Kind::NotReadable}, Case{"exit 3", Kind::Encrypted}}) {
        SCOPED_TRACE(c.script);
        const fs::path reader = dir.Path() / "reader";
        std::ofstream(reader) << "#!/bin/sh\n" << c.script << "\n";
        fs::permissions(reader, fs::perms::owner_all);
        ::setenv("SONOLEAF_PDF_OUTLINE", reader.c_str(), 1);
        const ImportResult result = ConvertPdfWithChapters(pdf, (out / "book.txt").string());
        ::unsetenv("SONOLEAF_PDF_OUTLINE");
        EXPECT_EQ(result.kind, c.kind);
        EXPECT_TRUE(fs::is_empty(out));
    }
}

// pdftotext stopped at its time limit (here a short one): a failure that says so, and
// nothing of the import left behind.
TEST(PdfChaptersTest, APdftotextPastItsTimeLimitLeavesNothingBehind) {
    const TempDir dir;
    const std::string pdf = WritePdf(dir.Path(), {{"Chapter One", 2, {}}});
    const fs::path out = dir.Path() / "out";
    fs::create_directory(out);
    const fs::path previous = fs::current_path();
    fs::current_path(dir.Path());  // where the stand-in converter is found first
    for (const char* script : {"exec sleep 600", "printf half > \"$2\"; exec sleep 600"}) {
        SCOPED_TRACE(script);
        std::ofstream(dir.Path() / "pdftotext") << "#!/bin/sh\n" << script << "\n";
        fs::permissions(dir.Path() / "pdftotext", fs::perms::owner_all);
        const std::string text = (out / "book.txt").string();
        const ImportResult result =
            ConvertPdfWithChapters(pdf, text, std::chrono::milliseconds(500));
        EXPECT_EQ(result.kind, Kind::NotReadable);
        EXPECT_NE(ImportMessage(result, pdf, text).find("pdftotext did not finish in time"),
                  std::string::npos);
        EXPECT_TRUE(fs::is_empty(out));
    }
    fs::current_path(previous);
}

}  // namespace
}  // namespace sonoleaf::book
