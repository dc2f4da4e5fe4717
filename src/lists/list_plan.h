#pragma once
// How one run of a list writes its results: the files in their folder, or the chapters
// of one audiobook; the journal that lets an interrupted run resume, and the files an
// earlier run of it finished.

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "lists/list_journal.h"
#include "platform/speech/audiobook_writer.h"

namespace sonoleaf {

// Marks a list run of a stem in a folder as under way in this program while it lives,
// so that another run of the same stem at the same time (both lists over one source and
// folder) does not take its files in the making for leftovers of a crash.
class ListRunMark {
  public:
    ListRunMark(std::string folder, std::string stem);
    ~ListRunMark();
    ListRunMark(const ListRunMark&) = delete;
    ListRunMark& operator=(const ListRunMark&) = delete;
    // Whether it is the only run of its stem and folder under way in this program.
    bool Alone() const { return alone_; }

  private:
    std::string key_;
    bool alone_ = true;
};

struct ListPlan {
    std::string folder;  // the destination folder, as the file system names it
    std::string stem;    // the source's stem: the list's files and journal are named by it
    std::unique_ptr<ListRunMark> mark;
    // Null when the run keeps no journal (its source could not be identified).
    std::unique_ptr<ListJournal> journal;
    // Files (or chapters) an earlier run finished; not made again.
    std::set<std::int64_t> finished;
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
