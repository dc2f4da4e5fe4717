#include "book/pdf_outline.h"

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "platform/process/run_program.h"
#include "platform/text/regular_file.h"

namespace sonoleaf::book {
namespace {

namespace fs = std::filesystem;

// The listing of ten thousand entries of a thousand bytes fits; a PDF whose outline
// takes poppler longer than this is not worth waiting for.
constexpr std::size_t kMaxListingBytes = 16u << 20;
constexpr auto kTimeLimit = std::chrono::seconds(120);

std::string Unescaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

bool ParseNumber(std::string_view text, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::string FindPdfOutlineProgram() {
    if (const char* named = std::getenv("SONOLEAF_PDF_OUTLINE"); named != nullptr && *named)
        return text::IsExecutableFile(named) ? named : std::string();
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const fs::path folder = self.parent_path();
    for (const fs::path& candidate :
         {folder / kPdfOutlineProgram, folder.parent_path() / kPdfOutlineProgram,
          folder.parent_path() / "libexec" / "sonoleaf" / kPdfOutlineProgram}) {
        if (text::IsExecutableFile(candidate.string())) return candidate.string();
    }
    return {};
}

OutlineRead ParseOutlineListing(std::string_view listing) {
    OutlineRead read;
    bool header = false;
    while (!listing.empty()) {
        const std::size_t newline = listing.find('\n');
        if (newline == std::string_view::npos) return read;  // cut short
        const std::string_view line = listing.substr(0, newline);
        listing.remove_prefix(newline + 1);
        const std::size_t blank = line.find(' ');
        const std::string_view key = line.substr(0, blank);
        const std::string_view value =
            blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
        if (!header) {
            if (line != "sonoleaf-pdf-outline 1") return read;
            header = true;
        } else if (key == "pages") {
            if (!ParseNumber(value, read.outline.pages)) return read;
        } else if (key == "title") {
            read.outline.title = Unescaped(value);
        } else if (key == "author") {
            read.outline.author = Unescaped(value);
        } else if (key == "entry") {
            const std::size_t gap = value.find(' ');
            PdfOutline::Entry entry;
            if (gap == std::string_view::npos || !ParseNumber(value.substr(0, gap), entry.page))
                return read;
            entry.title = Unescaped(value.substr(gap + 1));
            read.outline.entries.push_back(std::move(entry));
        } else if (key == "end") {
            read.status = OutlineRead::Status::Ok;
            return read;
        }
        // Other keys: from a later version of the program, not needed here.
    }
    return read;
}

OutlineRead ReadPdfOutline(const std::string& pdfPath) {
    OutlineRead read;
    const std::string program = FindPdfOutlineProgram();
    if (program.empty()) {
        read.status = OutlineRead::Status::ProgramMissing;
        return read;
    }
    // A path that begins with "-" must not pass for an option.
    const std::string source =
        !pdfPath.empty() && pdfPath.front() == '-' ? "./" + pdfPath : pdfPath;
    const process::CapturedRun run =
        process::RunAndCapture(program, {kPdfOutlineProgram, source}, kMaxListingBytes, kTimeLimit);
    if (run.run.outcome == process::RunResult::Outcome::NotStarted) {
        read.status = OutlineRead::Status::ProgramMissing;
        return read;
    }
    if (run.run.ExitedWith(2)) {
        read.status = OutlineRead::Status::Unopenable;
        return read;
    }
    if (run.run.ExitedWith(3)) {
        read.status = OutlineRead::Status::Locked;
        return read;
    }
    if (!run.run.ExitedWith(0) || run.outputTooLarge) return read;  // crashed, killed
    return ParseOutlineListing(run.output);
}

}  // namespace sonoleaf::book
