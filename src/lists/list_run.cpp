#include "lists/list_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "jobs/alert.h"
#include "platform/speech/synthesis_engine.h"
#include "platform/text/file_digest.h"
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

// What the book's metadata beside the text puts in the files' tags (the cover's
// bytes included), as a digest; "" for a text without metadata.
std::string BookFingerprint(const std::u16string& textPath) {
    const SourceBook book = ReadSourceBook(textPath);
    if (book.title.empty() && book.authors.empty() && book.language.empty() &&
        book.coverPath.empty())
        return {};
    std::string cover;
    if (!book.coverPath.empty()) {
        const std::optional<SourceIdentity> identity = IdentifySource(book.coverPath);
        cover = identity ? identity->sha256 : "unreadable";
    }
    return text::Sha256OfBytes(text::ToNarrow(book.title) + '\n' + text::ToNarrow(book.authors) +
                               '\n' + text::ToNarrow(book.language) + '\n' + book.coverPath + '\n' +
                               cover);
}

// An OFD lock over the whole file, for writing.
struct flock WholeFileLock() {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return lock;
}

}  // namespace

ListRunLock::ListRunLock(const std::string& folder, const std::string& stem)
    : path_(LockPathFor(folder, stem)) {
    // A last holder removes the file before it lets go, so a lock won on a file that has
    // meanwhile left its name guards nothing: then try again on the name's new file.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const int fd =
            ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
        if (fd < 0) return;
        struct flock lock = WholeFileLock();
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            return;
        }
        if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EAGAIN || error == EACCES) state_ = State::Busy;
            return;
        }
        if (::lstat(path_.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
            named.st_ino == opened.st_ino) {
            descriptor_ = fd;
            state_ = State::Held;
            return;
        }
        ::close(fd);
    }
}

ListRunLock::~ListRunLock() {
    if (descriptor_ < 0) return;
    ::unlink(path_.c_str());
    ::close(descriptor_);
}

bool ListRunUnderWay(const std::string& folder, const std::string& stem) {
    const int fd =
        ::open(LockPathFor(folder, stem).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return false;  // no run has the file, so none holds it
    struct flock lock = WholeFileLock();
    const bool held = ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

bool RefusedAsUnderWay(const std::u16string& textPath, const std::u16string& folder) {
    if (!ListRunUnderWay(text::ToNarrow(folder), text::ToNarrow(text::FileStem(textPath))))
        return false;
    ShowAlert(kListUnderWayMessage, AlertKind::Failure);
    return true;
}

std::unique_ptr<ListRunLock> TakeListRunLock(const ListKey& key) {
    auto lock = std::make_unique<ListRunLock>(key.folder, key.stem);
    if (lock->state() != ListRunLock::State::Busy) return lock;
    ShowAlert(kListUnderWayMessage, AlertKind::Failure);
    return nullptr;
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
        ";speed=" + std::to_string(profile.speed) +
        ";subtitles=" + std::to_string(profile.subtitles) + ";" + numbers +
        PronunciationsFingerprint(profile.pronunciations.get());
    if (const std::string book = BookFingerprint(textPath); !book.empty())
        key.settings += ";book=" + book;
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
                         const std::u16string& textPath, bool resume, bool titlePauses,
                         std::unique_ptr<ListRunLock> lock) {
    ListPlan plan;
    plan.folder = key.folder;
    plan.stem = key.stem;
    plan.lock = std::move(lock);
    // Only the holder of the stem's lock knows that no living run writes them.
    if (plan.lock && plan.lock->state() == ListRunLock::State::Held)
        RemoveLeftoverTemporaries(plan.folder, plan.stem);
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
