// sonoleaf-pdf-outline PDFFILE: prints a PDF's Title, Author, page count and top-level
// outline entries (title and 1-based page) for the book import, which runs it as a
// process of its own so that poppler-qt6 (and the Qt Gui it brings) stays out of every
// other program, and a PDF that crashes poppler takes only this process down.
//
// Output, one record a line, fields after the first blank escaped (\\ \t \n \r):
//   sonoleaf-pdf-outline 1
//   pages <count>
//   title <text>
//   author <text>
//   entry <page> <title>      (as many as there are, in the outline's order)
//   end
// Exit status: 0 with the listing; 1 usage; 2 not a PDF poppler opens; 3 locked.

#include <poppler-qt6.h>

#include <QByteArray>
#include <QFile>
#include <QString>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

namespace {

// Bounds that keep the listing small whatever the PDF holds.
constexpr int kMaxEntries = 10000;
constexpr qsizetype kMaxTextCharacters = 1000;

void Quiet(const QString&, const QVariant&) {}

std::string Escaped(const QString& text) {
    const QByteArray utf8 = text.left(kMaxTextCharacters).toUtf8();
    std::string out;
    out.reserve(static_cast<std::size_t>(utf8.size()));
    for (const char c : utf8) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\0':
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that has gone makes a write fail, not this program die half-way.
    std::signal(SIGPIPE, SIG_IGN);
    if (argc != 2) {
        std::fputs("usage: sonoleaf-pdf-outline PDFFILE\n", stderr);
        return 1;
    }
    Poppler::setDebugErrorFunction(Quiet, QVariant());
    const std::unique_ptr<Poppler::Document> document =
        Poppler::Document::load(QFile::decodeName(argv[1]));
    if (!document) return 2;
    if (document->isLocked()) return 3;

    std::printf("sonoleaf-pdf-outline 1\npages %d\n", document->numPages());
    std::printf("title %s\n", Escaped(document->title()).c_str());
    std::printf("author %s\n", Escaped(document->author()).c_str());
    int entries = 0;
    for (const Poppler::OutlineItem& item : document->outline()) {
        if (entries >= kMaxEntries) break;
        const QSharedPointer<const Poppler::LinkDestination> destination = item.destination();
        if (item.isNull() || destination.isNull()) continue;
        std::printf("entry %d %s\n", destination->pageNumber(), Escaped(item.name()).c_str());
        ++entries;
    }
    std::printf("end\n");
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}
