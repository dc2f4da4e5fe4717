#pragma once
// PDF to text: names the output text file, runs the converter and tells the outcome.

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "book/book_import.h"
#include "platform/process/run_program.h"

namespace sonoleaf {

// The external converter (poppler-utils), looked up in the current directory, then
// on PATH.
inline constexpr char kPdfConverter[] = "pdftotext";

// The folder (with one separator added only where it does not already end in one),
// the output base name of `pdfPath` (or the stamp's text), then ".txt".
std::u16string PdfOutputTextPath(std::u16string_view pdfPath, std::u16string_view folder,
                                 const std::function<std::u16string()>& stamp);
std::u16string PdfOutputTextPath(std::u16string_view pdfPath, std::u16string_view folder);

// The converter's argument vector: "-s" in the program name's place, then the two
// paths whole. A PDF path that begins with "-" is handed over as "./" and the path, so
// that the converter cannot take it for an option.
std::vector<std::string> PdfConverterArguments(const std::string& pdfPath,
                                               const std::string& textPath);

// Builds the output path, runs the converter, waits for it and reports the result.
// Returns once the result message has been dismissed. A converter still running after
// `timeLimit` is stopped, and what it wrote of the text file removed.
void ConvertPdfToText(std::u16string pdfPath, std::u16string folder,
                      std::chrono::milliseconds timeLimit = book::kPdfConverterTimeLimit);

// The paths arrive enclosed in double quotes, as the messages show them. Success needs
// the converter to have ended normally with status 0 and the text file to open; a run
// stopped at its time limit (`timedOut`) is told as such;
// `writtenByRun` is false when the file is still the one from before the run.
void ReportConversionResult(std::string quotedPdf, std::string quotedText,
                            const process::RunResult& run, bool writtenByRun = true,
                            bool timedOut = false);

}  // namespace sonoleaf
