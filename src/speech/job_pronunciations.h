#pragma once
// The user's pronunciation list as a job takes it: read from its file when the job
// starts (an edit counts from the next job on), its bad lines told once in an alert
// that does not fail the job, and a fingerprint for what must change with the rules.

#include <memory>
#include <string>

#include "platform/text/pronunciations.h"

namespace sonoleaf {

// The rules of the file at `path` (empty: none to read); null when it holds none.
std::shared_ptr<const text::Pronunciations> ReadJobPronunciations(const std::string& path);

// ";rules=" and a hash of the rules' source, or empty without rules: a list's journal
// key, so that a run is not resumed with other rules.
std::string PronunciationsFingerprint(const text::Pronunciations* rules);

}  // namespace sonoleaf
