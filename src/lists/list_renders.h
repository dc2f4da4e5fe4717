#pragma once
// The renders of one list run: each file in a helper process of its own when the
// engine has them, several at once, otherwise one after another in this process.
// Either way the files are handed over in order, Stop starts no further one, and
// the results are counted in file order for the closing message, each as soon as
// those before it are in, so that a run of a million files holds only those in
// flight.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "lists/list_failures.h"
#include "platform/speech/speech_service.h"
#include "platform/text/progress.h"
#include "render/render_result.h"
#include "speech/speech_engine.h"

namespace sonoleaf {

class ListRenders {
  public:
    // `running` is the list's flag: once it is down no further file starts. `total`
    // files are expected (for the job's progress; 0 when not known).
    ListRenders(SpeechEngine& engine, const ProfileCopy& profile, const std::atomic<bool>& running,
                std::uint64_t total);

    // Renders one file, or hands it over once a helper is free.
    void Render(std::u16string text, std::u16string outputPath, speech_service::FileTags tags);
    // Waits for every file; the failures, counted in file order.
    ListFailures Finish();

  private:
    struct Outcome {
        RenderResult result;
        bool stopped = false;  // Stop came while this file was rendered
        bool ready = false;
    };

    // Records file `index`'s result and counts every result now complete in order.
    void Record(std::size_t index, Outcome outcome);

    SpeechEngine& engine_;
    const ProfileCopy profile_;
    const render::VoiceChoice voice_;  // the profile's voice, as the helpers are told it
    const std::atomic<bool>& running_;
    std::mutex mutex_;  // the helpers' reports come on another thread
    std::condition_variable changed_;
    std::deque<Outcome> pending_;  // from file `first_` on
    std::size_t first_ = 0;
    std::size_t next_ = 0;
    std::uint64_t completed_ = 0;
    ListFailures failures_;
    progress::JobProgress* job_;  // the list's job; results come in on other threads
};

}  // namespace sonoleaf
