#pragma once
// The journal that lets an interrupted list resume: a small hidden file in the
// destination folder naming the source (size, modification time, SHA-256), the
// settings that shape the result, and the files finished, each with the size and
// SHA-256 it had when it took its name. Each list file is written under a temporary
// name and renamed when whole, then marked here, so the journal only ever names whole
// files; a finished file that no longer matches its record is made again, and a
// number being made again leaves the journal first. It goes when the list completes.
// A journal whose source or settings differ from the run's is no journal.
//
// Written to survive a SIGKILL or a power cut at any moment: the header appears whole
// (temporary file, fsync, rename, fsync of the folder) and each finished file is one
// appended line, synced before MarkFinished returns. A line cut short at the end (the
// power failed while it was written) is not counted; anything else odd about the file
// makes it unusable, never a crash.
//
// How a list run uses it, holding the stem's ListRunLock throughout:
//   RemoveLeftoverTemporaries(folder, stem);
//   auto id = IdentifySource(source);                 // nullopt: no journal for this run
//   auto done = ListJournal::FindUnfinished(folder, stem, *id, settings);
//   // offer to resume when `done` is set
//   auto journal = ListJournal::Begin(folder, stem, *id, settings, resume);
//   for each file n: skip it when journal->Finished() has it and IsSameFile says so;
//                    otherwise journal->Forget(n); write TemporaryPathFor(path);
//                    CommitTemporary(temp, path); journal->MarkFinished(n, *RecordFile(path));
//   journal->Complete();                              // only when every file was made

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace sonoleaf {

struct SourceIdentity {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;  // since the epoch
    std::string sha256;           // 64 lower-case hexadecimal digits
    bool operator==(const SourceIdentity&) const = default;
};

// The identity of the regular file at `path`, its bytes read in blocks; nullopt when it
// cannot be read or changed while it was read.
std::optional<SourceIdentity> IdentifySource(const std::string& path);

// A finished list file as it was when it took its name.
struct FinishedFile {
    std::uint64_t size = 0;
    std::string sha256;  // 64 lower-case hexadecimal digits
    bool operator==(const FinishedFile&) const = default;
};
using FinishedFiles = std::map<std::int64_t, FinishedFile>;

// The record of the regular file at `path`; nullopt when it cannot be read whole.
std::optional<FinishedFile> RecordFile(const std::string& path);

// Whether the file at `path` is still the one recorded: same size, same bytes.
bool IsSameFile(const FinishedFile& record, const std::string& path);

class ListJournal {
  public:
    // "<folder>/.<stem>.sonoleaf-list" (a name too long for the file system becomes
    // one made from the stem's SHA-256).
    static std::string PathFor(const std::string& folder, const std::string& stem);

    // The files an unfinished run of this source and settings finished, by number
    // (possibly none); nullopt when no journal matches.
    static std::optional<FinishedFiles> FindUnfinished(const std::string& folder,
                                                       const std::string& stem,
                                                       const SourceIdentity& source,
                                                       const std::string& settings);

    // Starts journaling a run, replacing any journal of the stem: a new one, or with
    // `resume` one that keeps the finished files of the matching journal (none when no
    // journal matches). nullptr when the journal cannot be written (the run then goes
    // on without one) or the settings pass 64 KiB.
    static std::unique_ptr<ListJournal> Begin(const std::string& folder, const std::string& stem,
                                              const SourceIdentity& source,
                                              const std::string& settings, bool resume);

    ~ListJournal();  // an interrupted run: the journal stays
    ListJournal(const ListJournal&) = delete;
    ListJournal& operator=(const ListJournal&) = delete;

    // The files finished so far, those of the resumed run included.
    FinishedFiles Finished() const;

    // Records that file `number` is whole in its place, as `file` (see RecordFile);
    // true once that is on disk. Safe from several threads.
    bool MarkFinished(std::int64_t number, const FinishedFile& file);

    // File `number` is about to be made again (or is gone): it is no longer finished,
    // so that a remaking cut short is never taken for the whole file. True once that
    // is on disk (or it was not finished). Safe from several threads.
    bool Forget(std::int64_t number);

    // The run is whole: the journal goes.
    void Complete();

  private:
    ListJournal(std::string folder, std::string path, int descriptor, std::size_t length,
                FinishedFiles finished);
    // Appends `line` and syncs it; on failure the journal is cut back to its whole
    // lines (or no longer written). Called with mutex_ held.
    bool AppendLocked(const std::string& line);

    const std::string folder_;
    const std::string path_;
    mutable std::mutex mutex_;
    int descriptor_;      // appends to the journal; -1 once completed or broken
    std::size_t length_;  // bytes known to be whole
    FinishedFiles finished_;
};

// A temporary name for a file being written, hidden, in the same folder, unique: the
// empty file is made (with a new file's permissions), to be opened and filled by the
// writer. "" when it cannot be made.
std::string TemporaryPathFor(const std::string& finalPath);

// Renames a whole temporary into its place, the bytes and the folder synced; on failure
// the temporary is removed and false returned.
bool CommitTemporary(const std::string& temporaryPath, const std::string& finalPath);

// Removes the temporaries a killed run of this stem left in the folder: those of its
// numbered files ("<stem>_<n>.mp3", ".wav", and an audiobook's ".<stem>_<n>.chapter"),
// of its audiobook ("<stem>.m4b", ".srt", ".vtt") and of its journal, with whatever
// was written beside them; no other stem's. Call it holding the stem's ListRunLock and
// before the run starts its writers: a temporary being written then would go too.
void RemoveLeftoverTemporaries(const std::string& folder, const std::string& stem);

// "<folder>/.<stem>.sonoleaf-lock": the file a run of the stem locks while it lives
// (shortened like the journal's name).
std::string LockPathFor(const std::string& folder, const std::string& stem);

}  // namespace sonoleaf
