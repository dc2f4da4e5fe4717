#pragma once
// The journal that lets an interrupted list resume: a small hidden file in the
// destination folder naming the source (size, modification time, SHA-256), the
// settings that shape the result, and the files finished. Each list file is written
// under a temporary name and renamed when whole, then marked here, so the journal
// only ever names whole files; it goes when the list completes. A journal whose
// source or settings differ from the run's is no journal.
//
// Written to survive a SIGKILL or a power cut at any moment: the header appears whole
// (temporary file, fsync, rename, fsync of the folder) and each finished file is one
// appended line, synced before MarkFinished returns. A line cut short at the end (the
// power failed while it was written) is not counted; anything else odd about the file
// makes it unusable, never a crash.
//
// How a list run uses it:
//   RemoveLeftoverTemporaries(folder, stem);
//   auto id = IdentifySource(source);                 // nullopt: no journal for this run
//   auto done = ListJournal::FindUnfinished(folder, stem, *id, settings);
//   // offer to resume when `done` is set; files named in it are skipped (check they
//   // are still there: a user may have removed one since)
//   auto journal = ListJournal::Begin(folder, stem, *id, settings, resume);
//   for each file n not done: write TemporaryPathFor(path); CommitTemporary(temp, path);
//                             journal->MarkFinished(n);
//   journal->Complete();                              // only when every file was made

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
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

class ListJournal {
  public:
    // "<folder>/.<stem>.sonoleaf-list" (a name too long for the file system becomes
    // one made from the stem's SHA-256).
    static std::string PathFor(const std::string& folder, const std::string& stem);

    // The numbers of the files an unfinished run of this source and settings finished
    // (possibly none); nullopt when no journal matches.
    static std::optional<std::set<std::int64_t>> FindUnfinished(const std::string& folder,
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
    std::set<std::int64_t> Finished() const;

    // Records that file `number` is whole in its place; true once that is on disk.
    // Safe from several threads.
    bool MarkFinished(std::int64_t number);

    // The run is whole: the journal goes.
    void Complete();

  private:
    ListJournal(std::string folder, std::string path, int descriptor, std::size_t length,
                std::set<std::int64_t> finished);

    const std::string folder_;
    const std::string path_;
    mutable std::mutex mutex_;
    int descriptor_;      // appends to the journal; -1 once completed or broken
    std::size_t length_;  // bytes known to be whole
    std::set<std::int64_t> finished_;
};

// A temporary name for a file being written, hidden, in the same folder, unique: the
// empty file is made (with a new file's permissions), to be opened and filled by the
// writer. "" when it cannot be made.
std::string TemporaryPathFor(const std::string& finalPath);

// Renames a whole temporary into its place, the bytes and the folder synced; on failure
// the temporary is removed and false returned.
bool CommitTemporary(const std::string& temporaryPath, const std::string& finalPath);

// Removes the temporaries a killed run of this stem left in the folder: those of its
// list files ("<stem>.<ext>", "<stem>_<n>.<ext>") and of its journal. Call it before
// the run starts its writers: a temporary being written then would go too.
void RemoveLeftoverTemporaries(const std::string& folder, const std::string& stem);

}  // namespace sonoleaf
