#include "lists/list_renders.h"

#include <utility>

#include "render/render_pool.h"

namespace sonoleaf {

ListRenders::ListRenders(SpeechEngine& engine, const ProfileCopy& profile,
                         const std::atomic<bool>& running, std::uint64_t total)
    : engine_(engine),
      profile_(profile),
      voice_(engine.RenderHelpers() != nullptr ? engine.ChooseVoice(profile)
                                               : render::VoiceChoice{}),
      running_(running),
      job_(progress::Current()) {
    if (job_ != nullptr) job_->SetTotal(total, progress::Unit::Files);
}

void ListRenders::Render(std::u16string text, std::u16string outputPath,
                         speech_service::FileTags tags) {
    std::size_t index = 0;
    {
        std::lock_guard lock(mutex_);
        index = next_++;
        pending_.emplace_back();
    }
    // An empty text makes no file and counts for nothing, as in RenderTextToFile.
    render::RenderPool* helpers = text.empty() ? nullptr : engine_.RenderHelpers();
    if (helpers != nullptr) {
        render::FileWork work;
        work.voice = voice_;
        work.text = std::move(text);
        work.outputPath = std::move(outputPath);
        work.tags = std::move(tags);
        if (helpers->Submit(
                std::move(work), [this] { return running_.load(); },
                [this, index](const RenderResult& result) {
                    Record(index, {result, !running_.load(), true});
                }))
            return;
        if (!running_.load()) {  // Stop came while it waited for a helper: no file
            Record(index, {RenderResult{}, false, true});
            return;
        }
        // The helper has gone: this file, and those after it, are rendered here.
        text = std::move(work.text);
        outputPath = std::move(work.outputPath);
        tags = std::move(work.tags);
    }
    RenderResult result =
        engine_.RenderFileWork(profile_, std::move(text), std::move(outputPath), std::move(tags));
    Record(index, {std::move(result), !running_.load(), true});
}

void ListRenders::Record(std::size_t index, Outcome outcome) {
    std::lock_guard lock(mutex_);
    pending_[index - first_] = std::move(outcome);
    if (job_ != nullptr) job_->SetDone(++completed_, progress::Unit::Files);
    while (!pending_.empty() && pending_.front().ready) {
        failures_.Count(pending_.front().result, pending_.front().stopped);
        pending_.pop_front();
        ++first_;
    }
    changed_.notify_all();
}

ListFailures ListRenders::Finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return pending_.empty(); });
    return failures_;
}

}  // namespace sonoleaf
