#include <atomic>
#include <cstdint>
#include <string>
#include <utility>

#include "book/book_import.h"
#include "jobs/alert.h"
#include "pdf/book_to_text.h"
#include "pdf/pdf_job.h"
#include "pdf/pdf_to_text.h"
#include "platform/text/progress.h"
#include "platform/text/text_convert.h"

namespace sonoleaf {

// The conversion reports its own result, so the job has no closing message: its flag
// drops once that result (or the validation message) has been dismissed.
void PdfToTextJob(JobHost& host) {
    std::atomic<std::int32_t>& busy = host.BusyFlag(Job::PdfToText);
    busy = 1;
    std::u16string pdfPath = host.ReadControlText(kPdfSourceBrowse);
    std::u16string folder = host.ReadControlText(kTextFolderBrowse);
    if (pdfPath.empty() || folder.empty()) {
        ShowAlert("You have to give both input and output path");
    } else {
        progress::SetTotal(0, progress::Unit::Busy);  // the converter tells no progress
        // An EPUB, or chapters asked for, go through the book import; a PDF without
        // them is converted exactly as it always was.
        if (host.IsChecked(kPdfChaptersCheck) || book::IsEpub(text::ToNarrow(pdfPath))) {
            ConvertBookToText(std::move(pdfPath), std::move(folder));
        } else {
            ConvertPdfToText(std::move(pdfPath), std::move(folder));
        }
    }
    busy = 0;
}

}  // namespace sonoleaf
