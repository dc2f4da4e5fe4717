#pragma once
// How one run of a list writes its results: the files in their folder, or the chapters
// of one audiobook; the journal that lets an interrupted run resume, and the files an
// earlier run of it finished.

#include <cstdint>
#include <memory>
#include <string>

#include "lists/list_journal.h"
#include "platform/speech/audiobook_writer.h"

namespace sonoleaf {

inline constexpr char kListUnderWayMessage[] =
    "Another audio list of this file is being made in this folder. Try again when it has "
    "ended.";

// Holds a run of a list of a stem in a folder as the only one, against runs in other
// processes (another window, the command line) and in this one alike: an OFD lock on
// the stem's lock file (LockPathFor), which conflicts between any two opens of the file
// and which the kernel lets go when the process dies, so that a crashed run never
// keeps the stem. While it is held, the stem's temporaries in the folder are its run's
// or a dead run's, never those of a run under way.
class ListRunLock {
  public:
    enum class State {
        Held,
        Busy,         // another run of the stem and folder holds it
        Unavailable,  // the lock file cannot be made or locked (no folder, read-only)
    };
    ListRunLock(const std::string& folder, const std::string& stem);
    // Removes the lock file while still holding it, then lets go.
    ~ListRunLock();
    ListRunLock(const ListRunLock&) = delete;
    ListRunLock& operator=(const ListRunLock&) = delete;

    State state() const { return state_; }

  private:
    std::string path_;
    int descriptor_ = -1;
    State state_ = State::Unavailable;
};

// Whether a run of the stem is under way in the folder now, told without taking the
// lock or making anything: for a refusal before the user is asked anything.
bool ListRunUnderWay(const std::string& folder, const std::string& stem);

struct ListPlan {
    std::string folder;  // the destination folder, as the file system names it
    std::string stem;    // the source's stem: the list's files and journal are named by it
    // Held for the run's whole life (null or not Held: the run goes on unguarded, as
    // where no lock file can be made, and then clears no leftovers).
    std::unique_ptr<ListRunLock> lock;
    // Null when the run keeps no journal (its source could not be identified).
    std::unique_ptr<ListJournal> journal;
    // Files (or chapters) an earlier run finished; not made again while they are still
    // as recorded.
    FinishedFiles finished;
    // An audiobook: every file of the list becomes one of its chapters, in order,
    // written by `book` (null, with `bookProblem` telling why, when it cannot be).
    bool audiobook = false;
    std::unique_ptr<speech_service::AudiobookWriter> book;
    std::u16string bookProblem;
    // Silence after each chapter (a title list's pause between chapters), in samples.
    std::int64_t chapterPause = 0;
};

// Where a chapter waits for its book: a hidden file in the destination folder, kept
// until the list is whole so that an interrupted run can resume.
std::string ChapterFilePath(const std::string& folder, const std::string& stem,
                            std::int64_t number);

}  // namespace sonoleaf
