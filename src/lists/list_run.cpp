#include "lists/list_run.h"

#include <filesystem>
#include <mutex>
#include <set>

#include "platform/speech/synthesis_engine.h"
#include "platform/text/output_names.h"
#include "platform/text/text_convert.h"
#include "speech/job_pronunciations.h"
#include "speech/source_book.h"

namespace sonoleaf {
namespace {

namespace ss = speech_service;

// About a second between the chapters of a title list.
constexpr std::int64_t kChapterPause = ss::kSampleRate;

ss::AudiobookTags BookTags(const std::u16string& textPath, const std::u16string& stem,
                           const std::u16string& voice) {
    ss::AudiobookTags tags;
    const SourceBook book = ReadSourceBook(textPath);
    tags.title = book.title.empty() ? stem : book.title;
    tags.artist = book.authors;
    tags.coverPath = book.coverPath;
    tags.album = tags.title;
    if (!voice.empty()) tags.comment = u"Read by " + voice;
    return tags;
}

std::mutex runsMutex;
std::multiset<std::string>& RunsUnderWay() {
    static std::multiset<std::string> runs;
    return runs;
}

}  // namespace

ListRunMark::ListRunMark(std::string folder, std::string stem) {
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(folder, error);
    key_ = (error ? folder : canonical.string()) + "\n" + stem;
    std::lock_guard lock(runsMutex);
    alone_ = RunsUnderWay().count(key_) == 0;
    RunsUnderWay().insert(key_);
}

ListRunMark::~ListRunMark() {
    std::lock_guard lock(runsMutex);
    RunsUnderWay().erase(RunsUnderWay().find(key_));
}

ListKey ListKeyFor(SpeechEngine& engine, const ProfileCopy& profile, const std::u16string& textPath,
                   const std::u16string& folder, const std::string& numbers) {
    ListKey key;
    key.folder = text::ToNarrow(folder);
    key.stem = text::ToNarrow(text::FileStem(textPath));
    key.source = IdentifySource(text::ToNarrow(textPath));
    const render::VoiceChoice voice = engine.ChooseVoice(profile);
    key.settings =
        "voice=" + text::ToNarrow(voice.name) + ";gender=" + std::to_string(profile.voiceGender) +
        ";type=" + std::to_string(profile.audioType) + ";volume=" + std::to_string(profile.volume) +
        ";speed=" + std::to_string(profile.speed) + ";" + numbers +
        PronunciationsFingerprint(profile.pronunciations.get());
    return key;
}

bool HasUnfinishedRun(const ListKey& key) {
    return key.source &&
           ListJournal::FindUnfinished(key.folder, key.stem, *key.source, key.settings).has_value();
}

bool OfferToResume(SpeechJobHost& host, const std::u16string& textPath,
                   const std::u16string& folder, const std::string& numbers) {
    SpeechEngine& engine = host.Engine();
    // The profile the list will run with: read in its book's language.
    ProfileCopy profile = engine.TakeProfile();
    profile.language = ReadSourceBook(textPath).language;
    return HasUnfinishedRun(ListKeyFor(engine, profile, textPath, folder, numbers)) &&
           host.Ask(kResumeQuestion);
}

ListPlan PrepareListPlan(SpeechEngine& engine, const ProfileCopy& profile, const ListKey& key,
                         const std::u16string& textPath, bool resume, bool titlePauses) {
    ListPlan plan;
    plan.folder = key.folder;
    plan.stem = key.stem;
    plan.mark = std::make_unique<ListRunMark>(plan.folder, plan.stem);
    if (plan.mark->Alone()) RemoveLeftoverTemporaries(plan.folder, plan.stem);
    if (key.source) {
        plan.journal =
            ListJournal::Begin(plan.folder, plan.stem, *key.source, key.settings, resume);
        if (plan.journal && resume) plan.finished = plan.journal->Finished();
    }
    if (profile.audioType == M4b) {
        plan.audiobook = true;
        plan.chapterPause = titlePauses ? kChapterPause : 0;
        const std::u16string stem = text::ToWide(plan.stem);
        const std::u16string path = text::ToWide(plan.folder) + u"//" + stem + u".m4b";
        std::string problem;
        if (ss::Failed(ss::AudiobookWriter::Open(
                path, BookTags(textPath, stem, engine.ChooseVoice(profile).name), plan.book,
                &problem)))
            plan.bookProblem = text::ToWide(problem);
    }
    return plan;
}

}  // namespace sonoleaf
