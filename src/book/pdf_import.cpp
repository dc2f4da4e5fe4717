// PDF to a text with chapters marked from its outline, or to its plain text without one.
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>

#include "book/book_import.h"
#include "book/chaptered_text.h"
#include "book/pdf_chapters.h"
#include "book/pdf_outline.h"
#include "platform/process/run_program.h"
#include "platform/text/book_metadata.h"
#include "platform/text/regular_file.h"
#include "platform/text/text_convert.h"

namespace sonoleaf::book {
namespace {

// The converter the PDF job runs (poppler-utils), found the same way.
constexpr char kPdfConverter[] = "pdftotext";
constexpr std::size_t kMaxTextBytes = 1u << 30;

// A path that begins with "-" must not pass for an option.
std::string AsArgument(const std::string& path) {
    return !path.empty() && path.front() == '-' ? "./" + path : path;
}

// pdftotext's default output of the whole document, into `textPath`.
process::TimedRun RunConverter(const std::string& pdfPath, const std::string& textPath,
                               std::chrono::milliseconds timeLimit) {
    return process::RunAndWait(
        kPdfConverter, {kPdfConverter, AsArgument(pdfPath), AsArgument(textPath)}, timeLimit);
}

std::string MetadataOpf(const PdfOutline& outline) {
    text::BookMetadata metadata;
    metadata.title = text::ToWide(outline.title);
    if (!outline.author.empty()) metadata.authors.push_back(text::ToWide(outline.author));
    return text::BookMetadataOpf(metadata, {});
}

ImportResult Failed(ImportResult::Kind kind, std::string reason = {}) {
    return {kind, std::move(reason), 0, {}};
}

}  // namespace

ImportResult ConvertPdfWithChapters(const std::string& pdfPath, const std::string& textPath,
                                    std::chrono::milliseconds converterTimeLimit) {
    if (!process::FindProgram(kPdfConverter))
        return Failed(ImportResult::Kind::ConverterMissing, kPdfConverter);
    if (FindPdfOutlineProgram().empty())
        return Failed(ImportResult::Kind::ConverterMissing, kPdfOutlineProgram);
    // pdftotext writes the whole text while the outline is read beside it: without an
    // outline that text is the result, with one it is cut into chapters.
    std::string error;
    StagedFiles plain;
    const std::string whole = plain.Stage(textPath, error);
    if (whole.empty()) return Failed(ImportResult::Kind::NotWritten, error);
    std::future<OutlineRead> reading =
        std::async(std::launch::async, [&pdfPath] { return ReadPdfOutline(pdfPath); });
    const process::TimedRun converted = RunConverter(pdfPath, whole, converterTimeLimit);
    const OutlineRead read = reading.get();
    // (What it wrote so far goes with `plain`.)
    if (converted.timedOut)
        return Failed(ImportResult::Kind::NotReadable,
                      "pdftotext did not finish in time and was stopped");
    switch (read.status) {
        case OutlineRead::Status::Ok:
            break;
        case OutlineRead::Status::ProgramMissing:
            return Failed(ImportResult::Kind::ConverterMissing, kPdfOutlineProgram);
        case OutlineRead::Status::Locked:
            return Failed(ImportResult::Kind::Encrypted);
        case OutlineRead::Status::Unopenable:
            return Failed(ImportResult::Kind::NotReadable, "poppler cannot open it");
        case OutlineRead::Status::Failed:
            return Failed(ImportResult::Kind::NotReadable, "its outline could not be read");
    }
    // As the PDF job tells any failure of the converter.
    if (!converted.run.ExitedWith(0)) return Failed(ImportResult::Kind::Encrypted);

    const std::string opf = text::PathBeside(textPath, ".opf");
    if (read.outline.entries.empty()) {
        if (!plain.StageBytes(opf, MetadataOpf(read.outline), error) || !plain.Commit(error))
            return Failed(ImportResult::Kind::NotWritten, error);
        return {ImportResult::Kind::SavedWithoutOutline, {}, 0, {}};
    }
    std::string text;
    if (const int failure = text::ReadWholeFile(whole, kMaxTextBytes, text); failure != 0)
        return Failed(ImportResult::Kind::NotReadable, failure == EFBIG
                                                           ? "its text is larger than 1 GiB"
                                                           : "its text cannot be read back");
    const std::vector<Passage> passages = PdfChapters(text, read.outline);
    if (passages.empty())
        return Failed(ImportResult::Kind::NotReadable, "it holds no text that pdftotext can read");
    StagedFiles chaptered;  // `plain` removes the whole text when it goes
    if (!chaptered.StageBytes(opf, MetadataOpf(read.outline), error) ||
        !chaptered.StageBytes(textPath, FormatChapteredText(passages), error) ||
        !chaptered.Commit(error))
        return Failed(ImportResult::Kind::NotWritten, error);
    return {ImportResult::Kind::Saved, {}, static_cast<int>(passages.size()), {}};
}

}  // namespace sonoleaf::book
