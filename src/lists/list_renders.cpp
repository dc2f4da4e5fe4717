#include "lists/list_renders.h"

#include <filesystem>
#include <optional>
#include <utility>

#include "platform/speech/audiobook_codec.h"
#include "platform/speech/chapter_file.h"
#include "platform/speech/encoded_chapter.h"
#include "platform/speech/piece_notes.h"
#include "platform/speech/stream_checks.h"
#include "platform/text/subtitles.h"
#include "platform/text/text_convert.h"
#include "render/render_pool.h"
#include "speech/rendered_file.h"

namespace sonoleaf {
namespace {

namespace fs = std::filesystem;
namespace ss = speech_service;

void RemoveFile(const std::string& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

// Whether the file system takes the file name of `path` at all.
bool NameFits(const std::string& path) {
    constexpr std::size_t kMaxNameBytes = 255;
    return path.size() - path.rfind('/') - 1 <= kMaxNameBytes;
}

// A chapter waiting in the folder holds at most a day of speech; its cues, a little of
// that. Anything larger is no file of this list's.
constexpr std::uintmax_t kMaxChapterFileBytes = 1u << 30;
constexpr std::uintmax_t kMaxCuesFileBytes = 64u << 20;

}  // namespace

std::string ChapterFilePath(const std::string& folder, const std::string& stem,
                            std::int64_t number) {
    return folder + "/." + stem + "_" + std::to_string(number) + ss::kChapterFileExtension;
}

ListRenders::ListRenders(SpeechEngine& engine, const ProfileCopy& profile,
                         const std::atomic<bool>& running, std::uint64_t total, ListPlan plan)
    : engine_(engine),
      profile_(profile),
      voice_(engine.RenderHelpers() != nullptr ? engine.ChooseVoice(profile)
                                               : render::VoiceChoice{}),
      running_(running),
      plan_(std::move(plan)),
      job_(progress::Current()) {
    if (job_ != nullptr) job_->SetTotal(total, progress::Unit::Files);
}

void ListRenders::Render(std::int64_t number, std::u16string text, std::u16string outputPath,
                         ss::FileTags tags, std::u16string chapter) {
    std::size_t index = 0;
    {
        std::lock_guard lock(mutex_);
        index = next_++;
        pending_.emplace_back();
        lastNumber_ = number;
    }
    Outcome outcome;
    outcome.number = number;
    outcome.chapter = std::move(chapter);
    outcome.ready = true;
    const std::string target = plan_.audiobook ? ChapterFilePath(plan_.folder, plan_.stem, number)
                                               : text::ToNarrow(outputPath);
    // Made by an earlier run of this list, and still as it was then: not made again.
    // One changed or gone since is no longer finished before it is made again, so that
    // a remaking cut short is not taken for it by the next resume.
    if (const auto made = plan_.finished.find(number); made != plan_.finished.end()) {
        if (IsSameFile(made->second, target)) {
            outcome.result = RenderResult::Saved();
            Record(index, std::move(outcome));
            return;
        }
        if (plan_.journal) plan_.journal->Forget(number);
    }
    // An empty text makes no file and counts for nothing, as in RenderTextToFile.
    if (text.empty()) {
        Record(index, std::move(outcome));
        return;
    }
    // Where none can be made (or the name itself cannot be), the render tries the
    // file's own name and tells what failed.
    std::string temporary = NameFits(target) ? TemporaryPathFor(target) : std::string();
    if (temporary.empty()) temporary = target;
    render::RenderPool* helpers = engine_.RenderHelpers();
    if (helpers != nullptr) {
        render::FileWork work;
        work.voice = voice_;
        work.text = std::move(text);
        work.outputPath = text::ToWide(temporary);
        work.tags = std::move(tags);
        work.subtitles = static_cast<ss::SubtitleFormat>(profile_.subtitles);
        if (profile_.pronunciations) work.pronunciations = profile_.pronunciations->Source();
        auto done = [this, index, outcome, temporary, target](const RenderResult& result) mutable {
            outcome.stopped = !running_.load();
            outcome.result = Place(outcome.number, temporary, target, result, outcome.stopped);
            Record(index, std::move(outcome));
        };
        if (helpers->Submit(
                std::move(work), [this] { return running_.load(); }, done))
            return;
        if (!running_.load()) {  // Stop came while it waited for a helper: no file
            if (temporary != target) RemoveFile(temporary);
            Record(index, std::move(outcome));
            return;
        }
        // The helper has gone: this file, and those after it, are rendered here.
        text = std::move(work.text);
        tags = std::move(work.tags);
    }
    RenderResult result =
        engine_.RenderFileWork(profile_, std::move(text), text::ToWide(temporary), std::move(tags));
    outcome.stopped = !running_.load();
    outcome.result = Place(number, temporary, target, std::move(result), outcome.stopped);
    Record(index, std::move(outcome));
}

RenderResult ListRenders::Place(std::int64_t number, const std::string& temporary,
                                const std::string& target, RenderResult result, bool stopped) {
    const bool saved = result.kind == RenderResult::Kind::Saved;
    // A chapter cut short by Stop is left out of the book; a file that failed (its
    // process died, the disk filled) is cut anywhere and never takes its name. Its
    // subtitles (or a chapter's notes for them) go with it either way.
    std::error_code error;
    const bool kept = fs::is_regular_file(temporary, error) && fs::file_size(temporary, error) > 0;
    if (!saved || (plan_.audiobook && stopped) || !kept || error) {
        if (temporary != target) DiscardRendered(temporary);
        return result;
    }
    if (temporary != target && !CommitRendered(temporary, target))
        return RenderResult::Failure(u"It could not take its name in the folder.");
    // Only a whole file is one an interrupted run need not make again; it is recorded
    // as it now is, to be known again (committed, so synced, before it is named).
    if (saved && !stopped && plan_.journal) {
        if (const std::optional<FinishedFile> file = RecordFile(target))
            plan_.journal->MarkFinished(number, *file);
    }
    return result;
}

void ListRenders::Record(std::size_t index, Outcome outcome) {
    {
        std::lock_guard lock(mutex_);
        anyStopped_ = anyStopped_ || outcome.stopped;
        pending_[index - first_] = std::move(outcome);
        if (job_ != nullptr) job_->SetDone(++completed_, progress::Unit::Files);
        if (counting_) {
            changed_.notify_all();
            return;  // the thread counting now takes this one in its turn
        }
        counting_ = true;
    }
    for (;;) {
        Outcome front;
        {
            std::lock_guard lock(mutex_);
            if (pending_.empty() || !pending_.front().ready) {
                counting_ = false;
                changed_.notify_all();
                return;
            }
            front = std::move(pending_.front());
            pending_.pop_front();
            ++first_;
        }
        // Chapters are joined in their order, outside the lock: a join encodes.
        if (plan_.audiobook && front.result.kind == RenderResult::Kind::Saved && !front.stopped) {
            if (RenderResult joined = JoinChapter(front); joined.IsFailed())
                front.result = std::move(joined);
        }
        std::lock_guard lock(mutex_);
        failures_.Count(front.result, front.stopped);
    }
}

RenderResult ListRenders::JoinChapter(const Outcome& outcome) {
    if (!plan_.book)
        return RenderResult::Failure(u"The audiobook could not be made: " + plan_.bookProblem);
    std::string bytes;
    ss::EncodedChapter chapter;
    std::string why = "it could not be read";
    if (ss::Failed(ss::ReadWholeFile(ChapterFilePath(plan_.folder, plan_.stem, outcome.number),
                                     kMaxChapterFileBytes, bytes)) ||
        ss::Failed(ss::ParseChapter(bytes, chapter, &why)))
        return RenderResult::Failure(u"Its chapter was lost: " + text::ToWide(why) + u".");
    ss::AudiobookWriter& book = *plan_.book;
    const std::int64_t start = book.SamplesWritten();
    if (ss::Failed(book.AddChapter(outcome.chapter, chapter))) {
        return RenderResult::Failure(u"It could not be joined to the audiobook: " +
                                     text::ToWide(book.Problem()) + u".");
    }
    // A pause after it, and the next chapter on the frame grid, where its encoding
    // (made apart, in another process) expects it.
    const std::int64_t end = book.SamplesWritten() + plan_.chapterPause;
    const std::int64_t pad =
        (ss::kAacFrameSamples - end % ss::kAacFrameSamples) % ss::kAacFrameSamples;
    if (ss::Failed(book.AddSilence(plan_.chapterPause + pad))) {
        return RenderResult::Failure(u"It could not be joined to the audiobook: " +
                                     text::ToWide(book.Problem()) + u".");
    }
    // Its cues, moved to where it starts in the book.
    std::string notes;
    if (profile_.subtitles != 0 &&
        ss::Succeeded(ss::ReadWholeFile(
            ss::CuesPathFor(ChapterFilePath(plan_.folder, plan_.stem, outcome.number)),
            kMaxCuesFileBytes, notes))) {
        for (const ss::PieceNote& note :
             ss::ParsePieceNotes(notes).value_or(std::vector<ss::PieceNote>{}))
            bookCues_.Add(note.text, start + note.start, note.span);
    }
    return RenderResult::Saved();
}

void ListRenders::RemoveChapters() {
    for (std::int64_t number = 1; number <= lastNumber_; ++number) {
        RemoveFile(ChapterFilePath(plan_.folder, plan_.stem, number));
        RemoveFile(ss::CuesPathFor(ChapterFilePath(plan_.folder, plan_.stem, number)));
    }
}

ListFailures ListRenders::Finish() {
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return pending_.empty() && !counting_; });
    }
    if (plan_.book) {
        // A stopped list still gets its book, with the chapters finished.
        const ss::HResult hr = plan_.book->Finish();
        if (ss::Failed(hr)) {
            failures_.Count(RenderResult::Failure(u"The audiobook could not be written: " +
                                                  text::ToWide(plan_.book->Problem()) + u"."),
                            false);
        } else if (hr == ss::kOk && profile_.subtitles != 0) {
            // One subtitle file for the whole book.
            const bool vtt =
                profile_.subtitles == static_cast<std::int32_t>(ss::SubtitleFormat::Vtt);
            const std::string path =
                text::SubtitlePathFor(plan_.folder + "/" + plan_.stem + ".m4b", vtt);
            text::WriteSubtitleFile(
                path, vtt ? text::FormatVtt(bookCues_.Cues()) : text::FormatSrt(bookCues_.Cues()));
        }
    }
    const bool whole = !anyStopped_ && running_.load() && !failures_.Any();
    if (whole) {
        if (plan_.journal) plan_.journal->Complete();
        if (plan_.audiobook) RemoveChapters();
    }
    return failures_;
}

}  // namespace sonoleaf
