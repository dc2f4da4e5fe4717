#pragma once
// The renders of one list run: each file in a helper process of its own when the
// engine has them, several at once, otherwise one after another in this process.
// Either way the files are handed over in order, Stop starts no further one, and
// the results are counted in file order for the closing message, each as soon as
// those before it are in, so that a run of a million files holds only those in
// flight. Each file is written under a temporary name and takes its own when whole,
// then the journal names it; for an audiobook the files are its chapters, joined in
// order as they come.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "lists/list_failures.h"
#include "lists/list_plan.h"
#include "platform/speech/speech_service.h"
#include "platform/text/progress.h"
#include "platform/text/subtitles.h"
#include "render/render_result.h"
#include "speech/speech_engine.h"

namespace sonoleaf {

class ListRenders {
  public:
    // `running` is the list's flag: once it is down no further file starts. `total`
    // files are expected (for the job's progress; 0 when not known).
    ListRenders(SpeechEngine& engine, const ProfileCopy& profile, const std::atomic<bool>& running,
                std::uint64_t total, ListPlan plan);

    // Renders file `number` (or the chapter of that number, titled `chapter`), or hands
    // it over once a helper is free.
    void Render(std::int64_t number, std::u16string text, std::u16string outputPath,
                speech_service::FileTags tags, std::u16string chapter = {});
    // Waits for every file, completes the audiobook and, when the run is whole, lets
    // the journal (and the chapters kept for it) go. The failures, in file order.
    ListFailures Finish();

  private:
    struct Outcome {
        RenderResult result;
        bool stopped = false;  // Stop came while this file was rendered
        bool ready = false;
        std::int64_t number = 0;
        std::u16string chapter;
    };

    // Records file `index`'s result; the results now complete in order are counted
    // (and their chapters joined) by whichever thread gets there.
    void Record(std::size_t index, Outcome outcome);
    // Puts a whole file in its place and names it in the journal.
    RenderResult Place(std::int64_t number, const std::string& temporary, const std::string& target,
                       RenderResult result, bool stopped);
    // Joins a finished chapter to the book; the failure when it cannot be.
    RenderResult JoinChapter(const Outcome& outcome);
    void RemoveChapters();

    SpeechEngine& engine_;
    const ProfileCopy profile_;
    const render::VoiceChoice voice_;  // the profile's voice, as the helpers are told it
    const std::atomic<bool>& running_;
    ListPlan plan_;
    std::mutex mutex_;  // the helpers' reports come on another thread
    std::condition_variable changed_;
    std::deque<Outcome> pending_;  // from file `first_` on
    std::size_t first_ = 0;
    std::size_t next_ = 0;
    std::uint64_t completed_ = 0;
    bool counting_ = false;  // a thread counts (and joins) in order right now
    bool anyStopped_ = false;
    std::int64_t lastNumber_ = 0;
    ListFailures failures_;
    text::CueBuilder bookCues_;   // an audiobook's, as its chapters are joined
    progress::JobProgress* job_;  // the list's job; results come in on other threads
};

}  // namespace sonoleaf
