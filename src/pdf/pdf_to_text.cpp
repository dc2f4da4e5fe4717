#include "pdf/pdf_to_text.h"

#include <cstdio>
#include <memory>
#include <utility>

#include "jobs/alert.h"
#include "platform/text/output_names.h"
#include "platform/text/text_convert.h"

namespace sonoleaf {
namespace {

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

bool OpensForReading(const std::string& path) {
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    return file != nullptr;
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

void ConvertPdfToText(std::u16string pdfPath, std::u16string folder) {
    const std::string pdf = text::ToNarrow(pdfPath);
    const std::string textPath = text::ToNarrow(PdfOutputTextPath(pdfPath, folder));
    const process::RunResult run =
        process::RunAndWait(kPdfConverter, PdfConverterArguments(pdf, textPath));
    ReportConversionResult(Quoted(pdf), Quoted(textPath), run);
}

void ReportConversionResult(std::string quotedPdf, std::string quotedText,
                            const process::RunResult& run) {
    if (run.outcome == process::RunResult::Outcome::NotStarted) {
        ShowAlert("The converter pdftotext could not be started: install poppler-utils");
        return;
    }
    const std::string textPath =
        quotedText.size() >= 2 ? quotedText.substr(1, quotedText.size() - 2) : std::string();
    // A text file left by an earlier run must not pass for this run's result.
    if (run.ExitedWith(0) && OpensForReading(textPath)) {
        ShowAlert("Converted File  is Saved to: " + quotedText);
    } else {
        ShowAlert(quotedPdf + ": This File is Encrypted");
    }
}

}  // namespace sonoleaf
