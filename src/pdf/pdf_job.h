#pragma once
// "Convert PDF to Text": the job that reads the window's two PDF fields (the source
// may be an EPUB too) and its check box for chapters from a PDF's outline.

#include "jobs/job_host.h"

namespace sonoleaf {

void PdfToTextJob(JobHost& host);

}  // namespace sonoleaf
