#include "render/child_render.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/speech/file_render.h"
#include "platform/speech/segment_synthesis.h"
#include "platform/speech/synthesis_engine.h"
#include "platform/text/regular_file.h"
#include "platform/text/text_convert.h"

namespace sonoleaf::render {
namespace {

namespace ss = speech_service;

// Pauses `voice` once `stop` is set: a signal handler may not take the voice's locks,
// this thread may. It looks every few milliseconds and ends at once when told, so that
// a file's process does not wait out a sleep after its work.
class StopWatcher {
  public:
    StopWatcher(ss::Voice& voice, const std::atomic<bool>& stop)
        : thread_([this, &voice, &stop] {
              std::unique_lock lock(mutex_);
              while (!finished_) {
                  if (stop.load()) voice.Pause();
                  finishing_.wait_for(lock, std::chrono::milliseconds(5));
              }
          }) {}
    ~StopWatcher() {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        finishing_.notify_all();
        thread_.join();
    }
    StopWatcher(const StopWatcher&) = delete;
    StopWatcher& operator=(const StopWatcher&) = delete;

  private:
    std::mutex mutex_;
    std::condition_variable finishing_;
    bool finished_ = false;  // guarded by mutex_
    std::thread thread_;     // last: starts once the members above exist
};

RenderResult RenderFile(const FileWork& work, const std::atomic<bool>& stop) {
    // Only the synthesizer of the file's voice is started: the others cost every file.
    const std::shared_ptr<ss::SpeechService> service =
        ss::CreateSystemSpeechServiceFor(work.voice.name);
    std::shared_ptr<ss::Voice> voice;
    ss::HResult hr = service->CreateVoice(voice);
    if (ss::Succeeded(hr) && !voice) hr = ss::kFail;
    if (ss::Failed(hr)) return RenderResult::Failure(RenderStep::Voice, hr);
    // Volume and speed first, then the voice, as the program prepares its own.
    voice->SetVolume(static_cast<std::uint16_t>(work.voice.volume));
    voice->SetRate(work.voice.rate);
    std::shared_ptr<ss::VoiceToken> token;
    ss::FileTags tags = work.tags;
    if (!work.voice.name.empty()) {
        if (ss::FindVoiceNamed(*service, work.voice.name, token) != ss::kOk)
            return RenderResult::Failure(u"The voice " + work.voice.name +
                                         u" is not installed here.");
        tags.comment = u"Read by " + work.voice.name;
    }
    hr = voice->SetVoice(token);
    if (ss::Failed(hr)) return RenderResult::Failure(RenderStep::Voice, hr);
    voice->UsePronunciations(work.pronunciations);  // the program has told their problems
    ss::FileRenderOutcome outcome;
    {
        const StopWatcher watcher(*voice, stop);
        outcome = ss::SpeakIntoFile(*service, *voice, work.text, ss::kSpeakDefault, work.outputPath,
                                    tags, work.subtitles);
    }
    voice.reset();  // releases the stream: a file that failed before any sound goes
    if (ss::Failed(outcome.result)) return RenderResult::Failure(outcome.step, outcome.result);
    if (!text::IsRegularFile(text::ToNarrow(work.outputPath))) return RenderResult::NothingKept();
    return RenderResult::Saved();
}

RenderResult RenderSegment(const FileWork& work, const std::atomic<bool>& stop) {
    const ss::SegmentWork& segment = *work.segment;
    const std::string path = text::ToNarrow(work.outputPath);
    const text::UniqueDescriptor file(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (!file) {
        return RenderResult::Failure(u"Its scratch file could not be opened: " +
                                     text::ToWide(std::strerror(errno)) + u".");
    }
    const std::shared_ptr<ss::SynthesisEngine> engine =
        ss::InstalledEngineWithVoice(segment.voiceId);
    if (!engine) {
        return RenderResult::Failure(u"No synthesizer here offers its voice " +
                                     text::ToWide(segment.voiceId) + u".");
    }
    int writeError = 0;
    std::vector<std::size_t> counts;
    const ss::HResult hr = ss::SynthesizeSegment(
        segment, *engine, stop,
        [&](const std::vector<std::int16_t>& samples) {
            const std::string_view bytes(reinterpret_cast<const char*>(samples.data()),
                                         samples.size() * sizeof(std::int16_t));
            if (WriteAll(file.Get(), bytes)) return true;
            writeError = errno;
            return false;
        },
        &counts);
    // Each piece's share of the samples, for the render's subtitles.
    std::ofstream(ss::PieceCountsPath(path), std::ios::binary)
        .write(reinterpret_cast<const char*>(counts.data()),
               static_cast<std::streamsize>(counts.size() * sizeof(std::size_t)));
    if (writeError != 0) {
        return RenderResult::Failure(u"Its samples could not be written to the scratch folder: " +
                                     text::ToWide(std::strerror(writeError)) + u".");
    }
    if (ss::Failed(hr)) return RenderResult::Failure(RenderStep::Speech, hr);
    return RenderResult::Saved();
}

}  // namespace

ChildRenders SystemChildRenders() {
    return {RenderFile, RenderSegment};
}

}  // namespace sonoleaf::render
