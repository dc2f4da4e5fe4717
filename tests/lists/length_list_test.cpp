#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "lists/list_test_support.h"
#include "speech/speech_engine.h"
#include "support/job_table.h"

namespace sonoleaf {
namespace {

using testing::Render;
using Texts = std::vector<std::string>;
using Flags = std::vector<std::int32_t>;

constexpr char kInvalid[] = "Invalid Input, Value Must be between 1 and 2^25";
constexpr char kBothPaths[] = "You Have to select both Text file and Output Folder path";
constexpr char kDone[] = "Text file to Audio List operation done";
constexpr char kEnded[] = "Text File to Audio List Operation Ended";
constexpr auto kWait = std::chrono::seconds(10);

class LengthListTest : public testing::ListJobTest {
  protected:
    LengthListTest() : ListJobTest(Job::LengthList) {}

    void Run(const std::filesystem::path& source, const std::u16string& length) {
        SetFields(source.u16string(), OutText());
        host.SetControlText(kCharLengthEdit, length);
        LengthListJob(host);
    }
    std::string File(const std::string& name) const { return OutNarrow() + "//" + name; }

    // A normal run: the engine's message while busy, the job's after it is idle.
    void ExpectClosingMessages(const std::string& done = kDone) {
        EXPECT_EQ(Shown(), (Texts{done, kEnded}));
        EXPECT_EQ(BusyAtAlerts(), (Flags{1, 0}));
        EXPECT_EQ(Busy(), 0);
        EXPECT_FALSE(host.Engine().lengthListRunning);
    }
};

TEST_F(LengthListTest, TwentyBytesAtTenMakeTwoFiles) {
    host.Profile().audioType = Wav;
    Run(Source("book.txt", "0123456789abcdefghij"), u"10");
    EXPECT_EQ(Renders(), (std::vector<Render>{{File("book_1.wav"), "0123456789"},
                                              {File("book_2.wav"), "abcdefghij"}}));
    EXPECT_TRUE(std::filesystem::exists(Out() / "book_1.wav"));
    EXPECT_TRUE(std::filesystem::exists(Out() / "book_2.wav"));
    ExpectClosingMessages();
}

TEST_F(LengthListTest, CutsByBytesAndKeepsTheRemainder) {
    struct Case {
        const char* name;
        std::string bytes;
        const char16_t* length;
        std::vector<std::string> chunks;
    };
    const Case cases[] = {
        {"remainder is one more file",
         "0123456789abcdefghijKLMNO",
         u"10",
         {"0123456789", "abcdefghij", "KLMNO"}},
        {"shorter than the length", "short", u"10", {"short"}},
        {"exactly the length", "0123456789", u"10", {"0123456789"}},
        {"empty file", "", u"10", {}},
        {"length 1 counts CR and LF", "a\r\nb", u"1", {"a", "\r", "\n", "b"}},
        {"leading zeros", "abcdefghijklmn", u"007", {"abcdefg", "hijklmn"}},
        {"cut inside a UTF-8 character", "\xc3\xa9\xc3\xa9", u"3", {"\xc3\xa9\xc3", "\xa9"}},
        {"NUL and high bytes",
         std::string("\0\x80\xff\0", 4),
         u"2",
         {std::string("\0\x80", 2), std::string("\xff\0", 2)}},
        {"largest length", "whole", u"33554432", {"whole"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        service->ClearLog();
        alerts->Clear();
        const auto before = service->Speaks().size();
        Run(Source("b.txt", c.bytes), c.length);
        std::vector<std::string> chunks;
        const std::vector<Render> renders = Renders();
        for (std::size_t i = before; i < renders.size(); ++i) {
            EXPECT_EQ(renders[i].path, File("b_" + std::to_string(i - before + 1) + ".mp3"));
            chunks.push_back(renders[i].bytes);
        }
        EXPECT_EQ(chunks, c.chunks);
        ExpectClosingMessages();
    }
}

TEST_F(LengthListTest, BytesAboveAsciiBecomeByteCharacters) {
    Run(Source("b.txt", "\xc3\xa9\xff"), u"10");
    const auto speaks = service->Speaks();
    ASSERT_EQ(speaks.size(), 1u);
    EXPECT_EQ(speaks[0].text, (std::u16string{u'\xDCC3', u'\xDCA9', u'\xDCFF'}));
    EXPECT_EQ(speaks[0].flags, 0u);
}

TEST_F(LengthListTest, NumberCheckComesFirst) {
    const std::u16string rejected[] = {u"0",
                                       u"",
                                       u"-5",
                                       u"+5",
                                       u" 5",
                                       u"5 ",
                                       u"1e3",
                                       u"12a",
                                       u"33554433",
                                       u"99999999999999999999",
                                       std::u16string(10000, u'9')};
    const auto source = Source("book.txt", "some text");
    for (const std::u16string& length : rejected) {
        alerts->Clear();
        Run(source, length);
        EXPECT_EQ(Shown(), Texts{kInvalid});
        EXPECT_EQ(BusyAtAlerts(), Flags{1}) << "shown while busy";
        EXPECT_EQ(Busy(), 0);
    }
    // With empty paths as well, only the number is complained about.
    alerts->Clear();
    SetFields(u"", u"");
    host.SetControlText(kCharLengthEdit, u"0");
    LengthListJob(host);
    EXPECT_EQ(Shown(), Texts{kInvalid});
    EXPECT_EQ(service->SpeakCount(), 0);
    EXPECT_EQ(host.Engine().audioType, 0) << "the profile is not copied";
}

TEST_F(LengthListTest, GoodNumberWithMissingPath) {
    const std::pair<std::u16string, std::u16string> fields[] = {
        {u"", u""}, {u"/docs/book.txt", u""}, {u"", u"/out"}};
    for (const auto& [source, folder] : fields) {
        alerts->Clear();
        SetFields(source, folder);
        host.SetControlText(kCharLengthEdit, u"10");
        LengthListJob(host);
        EXPECT_EQ(Shown(), Texts{kBothPaths});
        EXPECT_EQ(BusyAtAlerts(), Flags{1});
        EXPECT_EQ(Busy(), 0);
        EXPECT_FALSE(host.Engine().lengthListRunning);
    }
    EXPECT_EQ(service->SpeakCount(), 0);
}

TEST_F(LengthListTest, NamesFollowTheStemWithoutFallback) {
    struct Case {
        std::string sourceName;
        std::int32_t audioType;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"archive.tar.gz", Mp3, {"archive.tar_1.mp3", "archive.tar_2.mp3"}},
        {"book.txt", Wav, {"book_1.wav", "book_2.wav"}},
        {"README", Mp3, {"_1.mp3", "_2.mp3"}},
        {"notes", Wav, {"_1.wav", "_2.wav"}},
    };
    for (const Case& c : cases) {
        const auto before = service->Speaks().size();
        host.Profile().audioType = c.audioType;
        Run(Source(c.sourceName, "abcd"), u"2");
        const std::vector<Render> renders = Renders();
        ASSERT_EQ(renders.size(), before + c.names.size()) << c.sourceName;
        for (std::size_t i = 0; i < c.names.size(); ++i) {
            EXPECT_EQ(renders[before + i].path, File(c.names[i]));
        }
    }
    // A full stop in a folder name and no extension: the stem is empty.
    std::filesystem::create_directory(dir.Path() / "my.docs");
    const auto before = service->Speaks().size();
    host.Profile().audioType = Mp3;
    Run(Source("my.docs/README", "ab"), u"2");
    ASSERT_EQ(Renders().size(), before + 1);
    EXPECT_EQ(Renders().back().path, File("_1.mp3"));

    // A bare name with neither separator nor full stop keeps its first character.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    SetFields(u"notes", OutText());
    LengthListJob(host);
    std::filesystem::current_path(previous);
    ASSERT_EQ(Renders().size(), before + 3);
    EXPECT_EQ(Renders().back(), (Render{File("n_2.mp3"), "cd"}));
}

TEST_F(LengthListTest, NumbersGrowWithoutPadding) {
    host.Profile().audioType = Wav;
    Run(Source("book.txt", "abcdefghijk"), u"1");
    const std::vector<Render> renders = Renders();
    ASSERT_EQ(renders.size(), 11u);
    EXPECT_EQ(renders[8].path, File("book_9.wav"));
    EXPECT_EQ(renders[9].path, File("book_10.wav"));
    EXPECT_EQ(renders[10], (Render{File("book_11.wav"), "k"}));
}

TEST_F(LengthListTest, UnreadableSourcesGiveNoFileButBothMessages) {
    std::filesystem::create_directory(dir.Path() / "folder.txt");
    const std::filesystem::path sources[] = {dir.Path() / "missing.txt", dir.Path() / "folder.txt",
                                             "/dev/zero"};
    for (const auto& source : sources) {
        alerts->Clear();
        Run(source, u"10");
        EXPECT_EQ(service->SpeakCount(), 0) << source;
        ExpectClosingMessages();
    }
}

TEST_F(LengthListTest, SourceNamedBeyondAsciiOpens) {
    host.Profile().audioType = Wav;
    Run(Source("\u00dcbersicht \u0142.txt", "abc"), u"10");
    EXPECT_EQ(Renders(), (std::vector<Render>{{File("\u00dcbersicht \u0142_1.wav"), "abc"}}));
    EXPECT_TRUE(std::filesystem::exists(Out() / "\u00dcbersicht \u0142_1.wav"));
}

TEST_F(LengthListTest, FilesThatCouldNotBeSavedAreCountedInTheClosingMessage) {
    const std::string missing = (dir.Path() / "no such folder").string();
    struct Case {
        const char* name;
        std::string folder;
        std::string failCall;
        int occurrence;
        speech_service::HResult result;
        std::string done;
    };
    const Case cases[] = {
        {"missing folder", missing, "", 0, 0,
         std::string(kDone) + "\r\n2 of 2 audio files could not be saved to: " + missing +
             "\r\nThe folder cannot be written to."},
        {"disk full in the second file", OutNarrow(), "Speak", 2, speech_service::kWriteFault,
         std::string(kDone) + "\r\n1 of 2 audio files could not be saved to: " + OutNarrow() +
             "\r\nThe file could not be written to its end: the disk may be full."},
        {"first file not created", OutNarrow(), "BindToFile", 1, speech_service::kFail,
         std::string(kDone) + "\r\n1 of 2 audio files could not be saved to: " + OutNarrow() +
             "\r\nThe file could not be created."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        alerts->Clear();
        service->ClearFailures();
        service->ClearLog();
        if (!c.failCall.empty()) service->FailCall(c.failCall, c.occurrence, c.result);
        SetFields(Source("book.txt", "0123456789abc").u16string(), text::ToWide(c.folder));
        host.SetControlText(kCharLengthEdit, u"10");
        const int bindsBefore = service->CallCount("BindToFile");
        LengthListJob(host);
        EXPECT_EQ(service->CallCount("BindToFile") - bindsBefore, 2);
        ExpectClosingMessages(c.done);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "no such folder"));
}

TEST_F(LengthListTest, StopInTheMiddleRendersNoFurtherFile) {
    host.Profile().audioType = Wav;
    const auto source = Source("book.txt", std::string(50, 'x'));
    service->SetSpeakBlocks(true);
    std::thread job([&] { Run(source, u"10"); });
    // Whatever happens, the job is let go and joined before anything is asserted.
    const bool blocked = service->WaitForBlockedSpeaks(1, kWait);
    if (blocked) StopTtsProcess(host);  // pauses the voice, so its Speak returns
    const bool ended = alerts->WaitForAlerts(2, kWait);
    service->SetSpeakBlocks(false);
    job.join();
    ASSERT_TRUE(blocked);
    ASSERT_TRUE(ended);
    EXPECT_EQ(service->SpeakCount(), 1);
    EXPECT_EQ(service->CallCount("BindToFile"), 1);
    EXPECT_TRUE(std::filesystem::exists(Out() / "book_1.wav"));
    EXPECT_FALSE(std::filesystem::exists(Out() / "book_2.wav"));
    ExpectClosingMessages();

    // The next run starts afresh, numbering from 1 and replacing the files.
    alerts->Clear();
    Run(source, u"25");
    EXPECT_EQ(service->SpeakCount(), 3);
    ExpectClosingMessages();
}

TEST_F(LengthListTest, ClosingMessageOpenLeavesTheJobBusy) {
    alerts->SetBlocking(true);
    std::thread job([&] { Run(Source("book.txt", "abc"), u"10"); });
    const bool firstOpen = alerts->WaitForOpen(1, kWait);
    EXPECT_EQ(Busy(), 1);
    EXPECT_TRUE(host.Engine().lengthListRunning);
    alerts->ReleaseAlerts();
    const bool secondOpen = alerts->WaitForAlerts(2, kWait) && alerts->WaitForOpen(1, kWait);
    EXPECT_EQ(Busy(), 0) << "idle again while the last message is open";
    alerts->SetBlocking(false);
    job.join();
    ASSERT_TRUE(firstOpen);
    ASSERT_TRUE(secondOpen);
    ExpectClosingMessages();
}

}  // namespace
}  // namespace sonoleaf
