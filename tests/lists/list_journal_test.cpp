#include "lists/list_journal.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "lists/list_plan.h"
#include "platform/text/file_digest.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"

namespace sonoleaf {
namespace {

namespace fs = std::filesystem;
using Numbers = std::set<std::int64_t>;

// The record of a file `size` bytes long, standing in for one made.
FinishedFile Made(std::uint64_t size) {
    return {size, text::Sha256OfBytes(std::string(size, 'm'))};
}

// What the sha256sum program says of a file.
std::string Sha256sum(const std::string& path) {
    const std::string command = "sha256sum '" + path + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    char digest[65] = {};
    return pipe && std::fread(digest, 1, 64, pipe.get()) == 64 ? digest : "";
}

class ListJournalTest : public ::testing::Test {
  protected:
    ListJournalTest() {
        WriteSource("Chapter one.\nChapter two.\n");
        source = *IdentifySource(SourcePath());
    }
    std::string SourcePath() const { return (dir.Path() / "book.txt").string(); }
    std::string Folder() const { return dir.Path().string(); }
    void WriteSource(const std::string& text) const {
        std::ofstream(SourcePath(), std::ios::binary | std::ios::trunc) << text;
    }
    std::optional<Numbers> Find(const std::string& settings = "male mp3 80 -2 20000") const {
        const auto files = ListJournal::FindUnfinished(Folder(), "book", source, settings);
        if (!files) return std::nullopt;
        Numbers numbers;
        for (const auto& entry : *files) numbers.insert(entry.first);
        return numbers;
    }
    std::unique_ptr<ListJournal> Begin(bool resume,
                                       const std::string& settings = "male mp3 80 -2 20000") const {
        return ListJournal::Begin(Folder(), "book", source, settings, resume);
    }

    testing::TempDir dir;
    SourceIdentity source;
};

TEST_F(ListJournalTest, AnInterruptedRunResumesAndACompleteOneLeavesNothing) {
    EXPECT_EQ(Find(), std::nullopt);
    EXPECT_EQ(source.size, 26u);
    EXPECT_EQ(source.sha256, Sha256sum(SourcePath()));
    {
        const auto journal = Begin(false);
        ASSERT_TRUE(journal);
        EXPECT_EQ(Find(), Numbers{});
        EXPECT_TRUE(journal->MarkFinished(1, Made(1)) && journal->MarkFinished(3, Made(3)) &&
                    journal->MarkFinished(3, Made(3)));
    }  // interrupted
    EXPECT_EQ(fs::path(ListJournal::PathFor(Folder(), "book")).filename().string()[0], '.');
    EXPECT_EQ(Find(), (Numbers{1, 3}));
    EXPECT_EQ(Find("female mp3 80 -2 20000"), std::nullopt);  // other settings
    const auto resumed = Begin(true);
    ASSERT_TRUE(resumed);
    EXPECT_EQ(resumed->Finished().size(), 2u);
    EXPECT_TRUE(resumed->MarkFinished(2, Made(2)));
    EXPECT_EQ(Find(), (Numbers{1, 2, 3}));
    resumed->Complete();
    EXPECT_EQ(Find(), std::nullopt);
    EXPECT_EQ(testing::FilesIn(dir.Path()).size(), 1u);  // the source alone
}

TEST_F(ListJournalTest, AChangedSourceOrFolderIsNotResumed) {
    Begin(false)->MarkFinished(1, Made(1));
    const fs::path text = SourcePath();
    const auto mtime = fs::last_write_time(text);
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"bytes, same size and time",
         [&] {
             WriteSource("Chapter one.\nChapter 2wo.\n");
             fs::last_write_time(text, mtime);
         }},
        {"size", [&] { WriteSource("Chapter one.\nChapter two!!\n"); }},
        {"time", [&] { fs::last_write_time(text, mtime + std::chrono::seconds(5)); }},
    };
    for (const auto& [what, change] : changes) {
        WriteSource("Chapter one.\nChapter two.\n");
        fs::last_write_time(text, mtime);
        ASSERT_EQ(IdentifySource(SourcePath()), source);
        change();
        const std::optional<SourceIdentity> changed = IdentifySource(SourcePath());
        ASSERT_TRUE(changed) << what;
        EXPECT_EQ(ListJournal::FindUnfinished(Folder(), "book", *changed, "male mp3 80 -2 20000"),
                  std::nullopt)
            << what;
    }
    testing::TempDir other;
    EXPECT_EQ(
        ListJournal::FindUnfinished(other.Path().string(), "book", source, "male mp3 80 -2 20000"),
        std::nullopt);
    EXPECT_EQ(IdentifySource(Folder()), std::nullopt);
    // A new run with new settings replaces the journal.
    Begin(false, "female wav")->MarkFinished(7, Made(7));
    EXPECT_EQ(Find(), std::nullopt);
    EXPECT_EQ(Find("female wav"), Numbers{7});
}

TEST_F(ListJournalTest, ADamagedJournalIsIgnored) {
    const std::string path = ListJournal::PathFor(Folder(), "book");
    {
        const auto journal = Begin(false);
        journal->MarkFinished(1, Made(1));
        journal->MarkFinished(2, Made(2));
    }
    const std::string sha1 = Made(1).sha256;
    const std::string done1 = "done 1 1 " + sha1 + "\n";
    const std::string good = testing::FileBytes(path);
    const auto replace = [&](std::string from, std::string to) {
        std::string damaged = good;
        return damaged.replace(damaged.find(from), from.size(), to);
    };
    const std::vector<std::pair<std::string, std::optional<Numbers>>> damages = {
        {good, Numbers{1, 2}},
        {good + "done 3 3", Numbers{1, 2}},  // the last line cut short: not counted
        {good + std::string(12, '\0'), Numbers{1, 2}},
        {"", std::nullopt},
        {good.substr(0, good.find("sha256")), std::nullopt},
        {replace("journal 2", "journal 1"), std::nullopt},  // numbers alone: not trusted
        {replace("size 26", "size 026"), std::nullopt},
        {replace("size 26", "size +26"), std::nullopt},
        {replace("size 26", "size 99999999999999999999999"), std::nullopt},
        {replace("sha256 ", "sha256 A"), std::nullopt},
        {replace("begun\n", "begun\r\n"), std::nullopt},
        {replace("done 2 2 ", "done 1 2 "), std::nullopt},
        {replace("done 2 ", "done 02 "), std::nullopt},
        {replace("done 1 ", "dome 1 "), std::nullopt},
        {replace(done1, "done 1\n"), std::nullopt},
        {good + "drop 1\n", Numbers{2}},  // made again: gone, and may come back
        {replace("settings ", "settings 0"), std::nullopt},
        {replace("begun\n", ""), std::nullopt},
    };
    for (const auto& [bytes, expected] : damages) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        EXPECT_EQ(Find(), expected) << bytes;
    }
    // Too large, or not a regular file at all.
    fs::resize_file(path, std::uintmax_t{40} << 20);
    EXPECT_EQ(Find(), std::nullopt);
    fs::remove(path);
    fs::create_symlink(dir.Path() / "elsewhere", path);
    std::ofstream(dir.Path() / "elsewhere") << good;
    EXPECT_EQ(Find(), std::nullopt);
    fs::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(Find(), std::nullopt);  // and no hang
}

TEST_F(ListJournalTest, AKilledRunLeavesExactlyTheFilesItMarked) {
    // Bystanders: another book's temporary and a user's file stay.
    std::ofstream(dir.Path() / ".book2_1.mp3.part-AbC123") << "x";
    std::ofstream(dir.Path() / "notes.txt") << "x";
    int reports[2];
    ASSERT_EQ(::pipe(reports), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(reports[0]);
        const auto journal = Begin(false);
        for (std::int64_t n = 1; journal; ++n) {
            const std::string final = Folder() + "/book_" + std::to_string(n) + ".mp3";
            const std::string temporary = TemporaryPathFor(final);
            std::ofstream(temporary, std::ios::binary) << std::string(4096, 'a');
            if (!CommitTemporary(temporary, final)) break;
            const std::optional<FinishedFile> file = RecordFile(final);
            if (!file || !journal->MarkFinished(n, *file)) break;
            if (::write(reports[1], &n, sizeof n) != sizeof n) break;
            // The next file's temporary is there before the kill, as it would be.
            (void)TemporaryPathFor(Folder() + "/book_" + std::to_string(n + 1) + ".mp3");
        }
        ::_exit(1);
    }
    ::close(reports[1]);
    Numbers reported;
    std::int64_t n = 0;
    while (reported.size() < 30 && ::read(reports[0], &n, sizeof n) == sizeof n) reported.insert(n);
    ::kill(child, SIGKILL);
    while (::read(reports[0], &n, sizeof n) == sizeof n) reported.insert(n);
    ::close(reports[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_GE(reported.size(), 30u);

    // Marked before the kill, and at most the one being marked when it came.
    const std::optional<Numbers> found = Find();
    ASSERT_TRUE(found);
    Numbers withNext = reported;
    withNext.insert(*reported.rbegin() + 1);
    EXPECT_TRUE(*found == reported || *found == withNext) << found->size();
    RemoveLeftoverTemporaries(Folder(), "book");
    std::size_t whole = 0;
    for (const auto& [name, bytes] : testing::FilesIn(dir.Path())) {
        if (name.starts_with("book_")) {
            EXPECT_EQ(bytes.size(), 4096u) << name;
            ++whole;
        } else {
            EXPECT_TRUE(name == "book.txt" || name == "notes.txt" ||
                        name == ".book2_1.mp3.part-AbC123" ||
                        name == fs::path(ListJournal::PathFor(Folder(), "book")).filename())
                << name;
        }
    }
    EXPECT_GE(whole, found->size());
    EXPECT_LE(whole, found->size() + 1);  // renamed into place, not yet marked
}

// A resume took a finished file for whole by its name: one cut short or changed since
// was kept (see the command line's tests). A file is finished while it is the one
// recorded, and a number made again is no longer finished until it is whole.
TEST_F(ListJournalTest, AFinishedFileIsTheOneRecordedUntilMadeAgain) {
    const std::string path = Folder() + "/book_1.mp3";
    std::ofstream(path) << "mmmmmm";
    EXPECT_TRUE(RecordFile(path) == Made(6) && IsSameFile(Made(6), path));
    EXPECT_FALSE(IsSameFile(Made(5), path) || IsSameFile({6, Made(5).sha256}, path));
    Begin(false)->MarkFinished(2, Made(2));
    const auto resumed = Begin(true);
    EXPECT_TRUE(resumed->Forget(2) && resumed->Forget(9) && !resumed->MarkFinished(3, {3, "x"}));
    EXPECT_EQ(Find(), Numbers{});  // stopped now, file 2 would be made again
    EXPECT_TRUE(resumed->MarkFinished(2, Made(2)) && resumed->MarkFinished(2, Made(20)));
    EXPECT_EQ(ListJournal::FindUnfinished(Folder(), "book", source, "male mp3 80 -2 20000"),
              (FinishedFiles{{2, Made(20)}}));
}

// Stem "vol" cleared "vol_2_1.mp3" (file 1 of "vol_2") and "vol_2.m4b" (that list's
// book) as its own leftovers: it clears the temporaries of its exact names only.
TEST_F(ListJournalTest, LeftoverTemporariesAreClearedForTheExactStemOnly) {
    const std::pair<const char*, bool> cases[] = {
        {".vol_1.mp3.part-AbC123.mp3", true},    {".vol_1.mp3.part-AbC124.srt", true},
        {".vol_12.wav.part-AbC125.wav", true},   {"..vol_3.chapter.part-AbC126.cues", true},
        {".vol.m4b.part-AbC127.m4b", true},      {"..vol.sonoleaf-list.part-AbC129", true},
        {".vol_2_1.mp3.part-AbC130.mp3", false}, {".vol_2.m4b.part-AbC131.m4b", false},
        {".vol_2.srt.part-AbC132.srt", false},   {".vol_1a.mp3.part-AbC134.mp3", false},
    };
    for (const auto& [name, cleared] : cases) std::ofstream(dir.Path() / name) << "x";
    RemoveLeftoverTemporaries(Folder(), "vol");
    for (const auto& [name, cleared] : cases)
        EXPECT_EQ(fs::exists(dir.Path() / name), !cleared) << name;
}

// Two runs of one stem and folder at once are one too many, in one process as in two
// (see the command line's tests); the stem is free again once the run ends.
TEST_F(ListJournalTest, OneRunOfAStemHoldsItsFolder) {
    using State = ListRunLock::State;
    auto first = std::make_unique<ListRunLock>(Folder(), "book");
    EXPECT_TRUE(first->state() == State::Held && ListRunUnderWay(Folder(), "book"));
    EXPECT_EQ(ListRunLock(Folder(), "book").state(), State::Busy);
    EXPECT_EQ(ListRunLock(Folder(), "book_2").state(), State::Held);
    EXPECT_EQ(ListRunLock(Folder() + "/nowhere", "book").state(), State::Unavailable);
    first.reset();
    EXPECT_FALSE(ListRunUnderWay(Folder(), "book") || fs::exists(LockPathFor(Folder(), "book")));
}

}  // namespace
}  // namespace sonoleaf
