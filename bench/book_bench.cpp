// The book import's costs.
//
// 1. EPUB: content documents (XHTML bytes) imported per second, from the real calibre
//    quick-start guide (cached by scripts/fetch-test-books in <build>/test-books) and from
//    a generated EPUB of about 5 MB (chapters of prose with entities, emphasis, note
//    references and notes, sections at anchors). The median of several imports each.
//    Goal: at least 20 MB/s.
// 2. PDF: converting a generated PDF of 300 pages with an outline of 30 chapters with
//    chapters marked (the outline reader, one pdftotext run, the split) against plain
//    pdftotext on it, in turn; the ratio of the medians. Goal: at most 1.2.
//
// SONOLEAF_BENCH_QUICK=1 runs fewer rounds; SONOLEAF_BENCH_SMOKE=1 one round of each
// over a 3-chapter EPUB and a 20-page PDF.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_mode.h"
#include "bench_prose.h"
#include "book/book_import.h"
#include "book/epub_builder.h"
#include "book/outline_pdf.h"
#include "platform/process/run_program.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using sonoleaf::bench::Prose;
using sonoleaf::book::ImportResult;
using sonoleaf::testing::ZipFile;

constexpr double kMB = 1024.0 * 1024.0;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

template <typename Work>
double Seconds(Work&& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// `chapters` chapters of about 100 KB, each with a section at an anchor; the XHTML
// bytes.
std::size_t WriteGeneratedEpub(const std::string& path, int chapters) {
    Prose prose;
    std::vector<ZipFile> content;
    std::string items, spine, nav;
    std::size_t xhtmlBytes = 0;
    for (int chapter = 1; chapter <= chapters; ++chapter) {
        const std::string name = "c" + std::to_string(chapter) + ".xhtml";
        std::string body = "<h1>Chapter " + std::to_string(chapter) + "</h1>";
        for (int paragraph = 0; body.size() < 100000; ++paragraph) {
            if (paragraph == 20) body += "<h2 id=\"s\">A section</h2>";
            body += "<p>";
            for (int sentence = 0; sentence < 6; ++sentence) body += prose.Next();
            body += "&nbsp;<em>Indeed</em><a epub:type=\"noteref\" href=\"#n\">" +
                    std::to_string(paragraph) + "</a>.</p>\n";
        }
        body += "<aside epub:type=\"footnote\" id=\"n\"><p>A note.</p></aside>";
        const std::string xhtml = sonoleaf::testing::Xhtml(body);
        xhtmlBytes += xhtml.size();
        content.push_back({"OEBPS/" + name, xhtml});
        items += sonoleaf::testing::Item("c" + std::to_string(chapter), name);
        spine += "<itemref idref=\"c" + std::to_string(chapter) + "\"/>";
        nav += "<li><a href=\"" + name + "\">Chapter " + std::to_string(chapter) +
               "</a><ol><li><a href=\"" + name + "#s\">A section</a></li></ol></li>";
    }
    content.push_back({"OEBPS/nav.xhtml", sonoleaf::testing::Xhtml("<nav epub:type=\"toc\"><ol>" +
                                                                   nav + "</ol></nav>")});
    items += sonoleaf::testing::Item("nav", "nav.xhtml", " properties=\"nav\"");
    content.insert(content.begin(), {"OEBPS/content.opf", sonoleaf::testing::Opf(items, spine)});
    if (!sonoleaf::testing::WriteZip(path, sonoleaf::testing::EpubFiles(content))) return 0;
    return xhtmlBytes;
}

// The XHTML bytes of an EPUB's content documents, as its directory tells them.
std::size_t XhtmlBytesOf(const std::string& path) {
    std::size_t bytes = 0;
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (archive == nullptr) return 0;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat) == 0 &&
            std::string(stat.name).ends_with(".xhtml") &&
            std::string(stat.name) != "text/toc.xhtml")
            bytes += stat.size;
    }
    zip_discard(archive);
    return bytes;
}

struct EpubFigure {
    double mbPerSecond = 0;
    int chapters = 0;
};

EpubFigure MeasureEpub(const char* name, const std::string& epub, std::size_t xhtmlBytes,
                       const fs::path& folder, int rounds) {
    std::vector<double> times;
    EpubFigure figure;
    for (int round = 0; round < rounds; ++round) {
        ImportResult result;
        times.push_back(Seconds([&] {
            result = sonoleaf::book::ConvertEpubToText(epub, (folder / "epub.txt").string());
        }));
        if (result.kind != ImportResult::Kind::Saved) return {};
        figure.chapters = result.chapters;
    }
    const double median = Median(times);
    figure.mbPerSecond = static_cast<double>(xhtmlBytes) / kMB / median;
    std::printf("%s: %.2f MB of XHTML, %d chapters, median %.1f ms, %.0f MB/s\n", name,
                static_cast<double>(xhtmlBytes) / kMB, figure.chapters, median * 1000,
                figure.mbPerSecond);
    return figure;
}

// `pages` pages, a chapter starting every tenth.
void WriteOutlinePdf(const std::string& path, int pageCount) {
    Prose prose;
    std::vector<std::vector<std::string>> pages;
    std::vector<sonoleaf::testing::OutlineItem> outline;
    for (int page = 1; page <= pageCount; ++page) {
        std::vector<std::string> lines;
        if (page % 10 == 1) {
            const std::string title = "Chapter " + std::to_string(page / 10 + 1);
            lines.push_back(title);
            outline.push_back({title, page, {}});
        }
        std::string line;
        while (lines.size() < 28) {
            line += prose.Next();
            if (line.size() >= 70) {
                std::replace(line.begin(), line.end(), '\n', ' ');
                lines.push_back(line.substr(0, 70));
                line.clear();
            }
        }
        pages.push_back(lines);
    }
    std::ofstream(path, std::ios::binary)
        << sonoleaf::testing::OutlinePdfWriter().Write(pages, outline, "A Long Book", "Ann Writer");
}

}  // namespace

int main() {
    const bool smoke = sonoleaf::bench::Smoke();
    const bool isQuick = sonoleaf::bench::Flag("SONOLEAF_BENCH_QUICK");
    const int rounds = smoke ? 1 : isQuick ? 3 : 7;
    const int pages = smoke ? 20 : 300;
    // Output in a folder held in memory where there is one: the figures are the
    // import's, not the disk's.
    const fs::path memory = "/dev/shm";
    const sonoleaf::testing::TempDir dir(fs::is_directory(memory) ? memory
                                                                  : fs::temp_directory_path());

    // The real book, beside the build's other outputs.
    std::error_code error;
    const fs::path build = fs::read_symlink("/proc/self/exe", error).parent_path().parent_path();
    const std::string realBook = (build / "test-books" / "eng.epub").string();
    double slowest = 1e9;
    if (fs::exists(realBook)) {
        const EpubFigure real = MeasureEpub("real EPUB (calibre quick start)", realBook,
                                            XhtmlBytesOf(realBook), dir.Path(),
                                            smoke     ? 1
                                            : isQuick ? 11
                                                      : 51);
        if (real.chapters == 0) return 1;
        slowest = real.mbPerSecond;
    } else {
        std::printf("real EPUB: %s missing (scripts/fetch-test-books %s)\n", realBook.c_str(),
                    (build / "test-books").c_str());
    }
    const std::string generated = (dir.Path() / "generated.epub").string();
    const std::size_t generatedBytes = WriteGeneratedEpub(generated, smoke ? 3 : 50);
    const EpubFigure big =
        MeasureEpub("generated EPUB", generated, generatedBytes, dir.Path(), rounds);
    if (big.chapters == 0) return 1;
    slowest = std::min(slowest, big.mbPerSecond);

    const std::string pdf = (dir.Path() / "long.pdf").string();
    WriteOutlinePdf(pdf, pages);
    std::vector<double> plain, chaptered;
    int chapters = 0;
    for (int round = 0; round < rounds; ++round) {
        const std::string plainText = (dir.Path() / "plain.txt").string();
        plain.push_back(Seconds([&] {
            sonoleaf::process::RunAndWait("pdftotext", {"pdftotext", pdf, plainText});
        }));
        ImportResult result;
        chaptered.push_back(Seconds([&] {
            result = sonoleaf::book::ConvertPdfWithChapters(pdf, (dir.Path() / "pdf.txt").string());
        }));
        if (result.kind != ImportResult::Kind::Saved) {
            std::fprintf(stderr, "the PDF import failed (%d)\n", static_cast<int>(result.kind));
            return 1;
        }
        chapters = result.chapters;
    }
    const double ratio = Median(chaptered) / Median(plain);
    std::printf("PDF of %d pages: plain pdftotext median %.0f ms, with %d chapters %.0f ms\n",
                pages, Median(plain) * 1000, chapters, Median(chaptered) * 1000);
    std::printf("book figures: epub-MB/s=%.0f pdf-outline-ratio=%.2f chapters=%d\n", slowest, ratio,
                chapters);
    return 0;
}
