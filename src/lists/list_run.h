#pragma once
// What a list run is before it starts: the key by which an interrupted run of the same
// list is found again (folder, stem, the source's identity and every setting that
// changes the bytes written), the lock that keeps it the only run of its stem in the
// folder, and the plan it then follows.

#include <memory>
#include <optional>
#include <string>

#include "lists/list_journal.h"
#include "lists/list_plan.h"
#include "speech/speech_engine.h"
#include "speech/speech_job_host.h"

namespace sonoleaf {

inline constexpr char16_t kResumeQuestion[] =
    u"An unfinished audio list of this file is in this folder. Resume it?";

struct ListKey {
    std::string folder;
    std::string stem;
    std::optional<SourceIdentity> source;  // none: the source cannot be read
    std::string settings;
};

// `numbers` tells how the list is cut ("length=1000", "start=5").
ListKey ListKeyFor(SpeechEngine& engine, const ProfileCopy& profile, const std::u16string& textPath,
                   const std::u16string& folder, const std::string& numbers);

// Whether the folder holds the journal of an unfinished run with this key.
bool HasUnfinishedRun(const ListKey& key);

// When the folder holds an unfinished run of this list with the engine's settings, asks
// the user whether to resume it; false (start over) otherwise.
bool OfferToResume(SpeechJobHost& host, const std::u16string& textPath,
                   const std::u16string& folder, const std::string& numbers);

// When a list of this text is being made in the folder now, shows the refusal (a
// failure) and returns true: a job's check before it asks or touches anything.
bool RefusedAsUnderWay(const std::u16string& textPath, const std::u16string& folder);

// The run's lock on its stem and folder; null, the refusal shown as a failure, when
// another run holds it. (One that could not be taken at all lets the run go on.)
std::unique_ptr<ListRunLock> TakeListRunLock(const ListKey& key);

// The plan of a run holding `lock`: its journal (continued when `resume`), and for an
// audiobook its writer, tagged from the book's metadata beside `textPath` when there
// is any.
ListPlan PrepareListPlan(SpeechEngine& engine, const ProfileCopy& profile, const ListKey& key,
                         const std::u16string& textPath, bool resume, bool titlePauses,
                         std::unique_ptr<ListRunLock> lock);

}  // namespace sonoleaf
