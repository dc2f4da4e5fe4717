#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "lists/list_test_support.h"
#include "speech/speech_engine.h"
#include "support/job_table.h"

namespace sonoleaf {
namespace {

using testing::Render;
using Renders_ = std::vector<Render>;
using Texts = std::vector<std::string>;
using Flags = std::vector<std::int32_t>;

constexpr char kInvalid[] = "You have given invalid file name starting number";
constexpr char kBothPaths[] = "You Have to select both Text file and Output Folder path";
constexpr char kCompleted[] = "Audio list by given <title>...</title> tag completed";
constexpr char kNoTag[] = "There is no <title>...</title> tag found";
constexpr char kEnded[] = "Text File to Audio List By given Titles Operation Ended";
constexpr auto kWait = std::chrono::seconds(10);

class TitleListTest : public testing::ListJobTest {
  protected:
    TitleListTest() : ListJobTest(Job::TitleList) { host.Profile().audioType = Wav; }

    void Run(const std::filesystem::path& source, const std::u16string& start = u"") {
        SetFields(source.u16string(), OutText());
        host.SetControlText(kStartNumberEdit, start);
        TitleListJob(host);
    }
    std::string File(const std::string& name) const { return OutNarrow() + "//" + name; }

    void ExpectClosingMessages(const std::string& engineMessage) {
        EXPECT_EQ(Shown(), (Texts{engineMessage, kEnded}));
        EXPECT_EQ(BusyAtAlerts(), (Flags{1, 0}));
        EXPECT_EQ(Busy(), 0);
    }
};

TEST_F(TitleListTest, OnlyTaggedPassagesAreSpoken) {
    Run(Source("book.txt", "Intro<title>One</title>middle<title>Two</title>end"));
    EXPECT_EQ(Renders(), (Renders_{{File("book_1.wav"), "One"}, {File("book_2.wav"), "Two"}}));
    EXPECT_TRUE(std::filesystem::exists(Out() / "book_1.wav"));
    EXPECT_TRUE(std::filesystem::exists(Out() / "book_2.wav"));
    ExpectClosingMessages(kCompleted);
}

TEST_F(TitleListTest, ScanCasesThroughTheJob) {
    struct Case {
        const char* name;
        std::string bytes;
        Renders_ renders;  // file names without the folder
        const char* message;
    };
    const Case cases[] = {
        {"empty first pair uses up its number",
         "<title></title><title>Text</title>",
         {{"b_2.wav", "Text"}},
         kCompleted},
        {"only an empty pair still counts as found", "<title></title>", {}, kCompleted},
        {"nested opening tag is text",
         "<title>a<title>b</title>",
         {{"b_1.wav", "a<title>b"}},
         kCompleted},
        {"pair, then unclosed tag", "<title>a</title><title>b", {{"b_1.wav", "a"}}, kCompleted},
        {"unclosed tag only", "text <title>never closed", {}, kNoTag},
        {"closing tag first", "</title><title>x</title>", {{"b_1.wav", "x"}}, kCompleted},
        {"other letter cases and blanks",
         "<TITLE>a</TITLE><Title>b</Title>< title>c</title>",
         {},
         kNoTag},
        {"attribute", "<title lang=\"en\">a</title>", {}, kNoTag},
        {"passage over several lines",
         "<title>line one\r\nline two\n</title>",
         {{"b_1.wav", "line one\r\nline two\n"}},
         kCompleted},
        {"bytes above ASCII",
         "<title>caf\xc3\xa9 \xff</title>",
         {{"b_1.wav", "caf\xc3\xa9 \xff"}},
         kCompleted},
        {"empty file", "", {}, kNoTag},
        {"binary without tags", std::string("\0\x01\xfe\xff<\0title>", 10), {}, kNoTag},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        alerts->Clear();
        const std::size_t before = Renders().size();
        Run(Source("b.txt", c.bytes));
        const Renders_ all = Renders();
        Renders_ renders(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        Renders_ expected;
        for (const Render& r : c.renders) expected.push_back({File(r.path), r.bytes});
        EXPECT_EQ(renders, expected);
        ExpectClosingMessages(c.message);
    }
}

TEST_F(TitleListTest, StartingNumbers) {
    const std::string twoPairs = "<title>a</title><title>b</title>";
    struct Case {
        std::u16string start;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {u"", {"book_1.wav", "book_2.wav"}},
        {u"5", {"book_5.wav", "book_6.wav"}},
        {u"007", {"book_7.wav", "book_8.wav"}},
        {u"33554432", {"book_33554432.wav", "book_33554433.wav"}},
    };
    const auto source = Source("book.txt", twoPairs);
    for (const Case& c : cases) {
        alerts->Clear();
        const std::size_t before = Renders().size();
        Run(source, c.start);
        const Renders_ renders = Renders();
        ASSERT_EQ(renders.size(), before + 2);
        EXPECT_EQ(renders[before].path, File(c.names[0]));
        EXPECT_EQ(renders[before + 1].path, File(c.names[1]));
        ExpectClosingMessages(kCompleted);
    }
}

TEST_F(TitleListTest, BadStartingNumberComesFirst) {
    const std::u16string rejected[] = {u"0",        u"-1",
                                       u"+5",       u"12a",
                                       u" 5",       u"5 ",
                                       u"33554433", u"99999999999999999999",
                                       u"1e3",      std::u16string(10000, u'9')};
    const auto source = Source("book.txt", "<title>a</title>");
    for (const std::u16string& start : rejected) {
        alerts->Clear();
        Run(source, start);
        EXPECT_EQ(Shown(), Texts{kInvalid});
        EXPECT_EQ(BusyAtAlerts(), Flags{1});
        EXPECT_EQ(Busy(), 0);
    }
    alerts->Clear();
    SetFields(u"", u"");
    host.SetControlText(kStartNumberEdit, u"0");
    TitleListJob(host);
    EXPECT_EQ(Shown(), Texts{kInvalid});

    // An empty number is fine: then the paths are complained about.
    const std::pair<std::u16string, std::u16string> fields[] = {
        {u"", u""}, {source.u16string(), u""}, {u"", OutText()}};
    for (const auto& [path, folder] : fields) {
        alerts->Clear();
        SetFields(path, folder);
        host.SetControlText(kStartNumberEdit, u"");
        TitleListJob(host);
        EXPECT_EQ(Shown(), Texts{kBothPaths});
        EXPECT_EQ(BusyAtAlerts(), Flags{1});
        EXPECT_EQ(Busy(), 0);
    }
    EXPECT_EQ(service->SpeakCount(), 0);
    EXPECT_EQ(host.Engine().audioType, 0) << "the profile is not copied";
}

TEST_F(TitleListTest, NamesWithoutFullStopAndUnreadableSources) {
    Run(Source("notes", "<title>a</title><title>b</title>"));
    EXPECT_EQ(Renders(), (Renders_{{File("_1.wav"), "a"}, {File("_2.wav"), "b"}}));

    std::filesystem::create_directory(dir.Path() / "folder.txt");
    const std::filesystem::path sources[] = {dir.Path() / "missing.txt", dir.Path() / "folder.txt"};
    for (const auto& source : sources) {
        alerts->Clear();
        Run(source);
        ExpectClosingMessages(kNoTag);
    }
    EXPECT_EQ(service->SpeakCount(), 2);
}

TEST_F(TitleListTest, MissingFolderStillCountsThePairsAndSaysSo) {
    const auto folder = dir.Path() / "no such folder";
    SetFields(Source("book.txt", "<title>a</title><title></title><title>b</title>").u16string(),
              folder.u16string());
    TitleListJob(host);
    EXPECT_EQ(service->CallCount("BindToFile"), 2);
    EXPECT_FALSE(std::filesystem::exists(folder));
    // The empty passage had nothing to say, so it is no file that failed.
    ExpectClosingMessages(std::string(kCompleted) +
                          "\r\n2 of 2 audio files could not be saved to: " + folder.string() +
                          "\r\nThe folder cannot be written to.");
}

TEST_F(TitleListTest, StopAfterTheCurrentPair) {
    const auto source = Source("book.txt", "<title>a</title><title>b</title><title>c</title>");
    service->SetSpeakBlocks(true);
    std::thread job([&] { Run(source); });
    // Whatever happens, the job is let go and joined before anything is asserted.
    const bool blocked = service->WaitForBlockedSpeaks(1, kWait);
    if (blocked) StopTtsProcess(host);
    const bool ended = alerts->WaitForAlerts(2, kWait);
    service->SetSpeakBlocks(false);
    job.join();
    ASSERT_TRUE(blocked);
    ASSERT_TRUE(ended);
    EXPECT_EQ(service->SpeakCount(), 1);
    ExpectClosingMessages(kCompleted);
    EXPECT_FALSE(host.Engine().titleListRunning) << "only Stop clears it, and it did";

    // The next run sets the flag again and renders every pair.
    alerts->Clear();
    Run(source);
    EXPECT_EQ(service->SpeakCount(), 4);
    ExpectClosingMessages(kCompleted);
    EXPECT_TRUE(host.Engine().titleListRunning) << "stays set after the run";
}

TEST_F(TitleListTest, StoppedBeforeTheScanFindsNothing) {
    // The engine operation on its own, with the flag down as after an early Stop.
    host.Engine().CopyProfile(host.Profile());
    host.Engine().titleListRunning = false;
    host.Engine().MakeAudioListByTitles(Source("book.txt", "<title>a</title>").u16string(),
                                        OutText(), 1);
    EXPECT_EQ(Shown(), Texts{kNoTag});
    EXPECT_EQ(service->CallCount("CreateVoice"), 0);
}

TEST_F(TitleListTest, HundredThousandPairsFinish) {
    service->SetRecording(false);
    service->SetSamplesPerCharacter(0);
    std::string text;
    text.reserve(100000 * 32);
    for (int i = 0; i < 100000; ++i) text += "x <title>pair " + std::to_string(i) + "</title>\n";
    // Into a folder that does not exist, so that no 100,000 files are written.
    SetFields(Source("big.txt", text).u16string(), (dir.Path() / "nowhere").u16string());
    host.SetControlText(kStartNumberEdit, u"");
    TitleListJob(host);
    EXPECT_EQ(service->CallCount("BindToFile"), 100000);
    ExpectClosingMessages(
        std::string(kCompleted) + "\r\n100000 of 100000 audio files could not be saved to: " +
        (dir.Path() / "nowhere").string() + "\r\nThe folder cannot be written to.");
}

}  // namespace
}  // namespace sonoleaf
