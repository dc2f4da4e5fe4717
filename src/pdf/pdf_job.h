#pragma once
// "Convert PDF to Text": the job that reads the window's two PDF fields.

#include "jobs/job_host.h"

namespace sonoleaf {

void PdfToTextJob(JobHost& host);

}  // namespace sonoleaf
