#include "pdf/pdf_to_text.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

#include "jobs/alert.h"
#include "platform/text/output_names.h"
#include "platform/text/regular_file.h"
#include "platform/text/text_convert.h"

namespace sonoleaf {
namespace {

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

// A folder opens for reading too, but holds no text.
bool OpensForReading(const std::string& path) {
    const text::UniqueFile file(std::fopen(path.c_str(), "rb"));
    return file != nullptr && text::IsRegularDescriptor(::fileno(file.get()));
}

// What tells a file written anew from one left as it was.
struct FileState {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
};

std::optional<FileState> StateOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileState{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Whether the file at `path` is not the one that was there before the run.
bool WrittenSince(const std::optional<FileState>& before, const std::string& path) {
    if (!before) return true;
    const std::optional<FileState> after = StateOf(path);
    if (!after) return true;  // gone: opening it tells
    return after->device != before->device || after->inode != before->inode ||
           after->size != before->size || !SameTime(after->modified, before->modified) ||
           !SameTime(after->changed, before->changed);
}

}  // namespace

std::u16string PdfOutputTextPath(std::u16string_view pdfPath, std::u16string_view folder,
                                 const std::function<std::u16string()>& stamp) {
    std::u16string path(folder);
    if (path.empty() || path.back() != text::kPathSeparator) path += text::kPathSeparator;
    path += text::OutputBaseName(pdfPath, stamp);
    path += u".txt";
    return path;
}

std::u16string PdfOutputTextPath(std::u16string_view pdfPath, std::u16string_view folder) {
    return PdfOutputTextPath(pdfPath, folder, [] { return text::MakeTimeStamp(); });
}

std::vector<std::string> PdfConverterArguments(const std::string& pdfPath,
                                               const std::string& textPath) {
    std::string source = pdfPath;
    if (!source.empty() && source.front() == '-') source.insert(0, "./");
    return {"-s", source, textPath};
}

void ConvertPdfToText(std::u16string pdfPath, std::u16string folder,
                      std::chrono::milliseconds timeLimit) {
    const std::string pdf = text::ToNarrow(pdfPath);
    const std::string textPath = text::ToNarrow(PdfOutputTextPath(pdfPath, folder));
    const std::optional<FileState> before = StateOf(textPath);
    const process::TimedRun run =
        process::RunAndWait(kPdfConverter, PdfConverterArguments(pdf, textPath), timeLimit);
    const bool written = WrittenSince(before, textPath);
    // A text cut short must not pass for the document's; one left by an earlier run and
    // not touched stays.
    if (run.timedOut && written) ::unlink(textPath.c_str());
    ReportConversionResult(Quoted(pdf), Quoted(textPath), run.run, written, run.timedOut);
}

void ReportConversionResult(std::string quotedPdf, std::string quotedText,
                            const process::RunResult& run, bool writtenByRun, bool timedOut) {
    if (run.outcome == process::RunResult::Outcome::NotStarted) {
        ShowAlert("The converter pdftotext could not be started: install poppler-utils",
                  AlertKind::Failure);
        return;
    }
    if (timedOut) {
        ShowAlert(
            quotedPdf + ": pdftotext did not finish in time and was stopped; no text was saved",
            AlertKind::Failure);
        return;
    }
    const std::string textPath =
        quotedText.size() >= 2 ? quotedText.substr(1, quotedText.size() - 2) : std::string();
    // A text file left by an earlier run must not pass for this run's result.
    if (run.ExitedWith(0) && writtenByRun && OpensForReading(textPath)) {
        ShowAlert("Converted File  is Saved to: " + quotedText);
    } else {
        ShowAlert(quotedPdf + ": This File is Encrypted", AlertKind::Failure);
    }
}

}  // namespace sonoleaf
