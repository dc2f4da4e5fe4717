// The audio lists given what users give: awkward file and folder names, very long
// paths, text that is no clean text, a 100 MB line, and numbers of 10,000 digits.
// Each gets a clear outcome: the files named as the rules say, or the job's message;
// nothing crashes and no byte of the text is lost.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "lists/list_test_support.h"
#include "support/audio_file_check.h"
#include "support/awkward_names.h"
#include "support/job_table.h"

namespace sonoleaf {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

const Texts kLengthEnd = {"Text file to Audio List operation done",
                          "Text File to Audio List Operation Ended"};
const Texts kTitleEnd = {"Audio list by given <title>...</title> tag completed",
                         "Text File to Audio List By given Titles Operation Ended"};

// The closing messages of a list none of whose `count` files could be created in
// `folder` (the test service refuses such files as a folder it cannot write to).
Texts NoneSaved(const Texts& end, int count, const fs::path& folder) {
    const std::string number = std::to_string(count);
    return {end[0] + "\r\n" + number + " of " + number + " audio files could not be saved to: " +
                folder.string() + "\r\nThe folder cannot be written to.",
            end[1]};
}

class ListBadInput : public testing::ListJobTest {
  protected:
    ListBadInput() : ListJobTest(Job::LengthList) { host.Profile().audioType = Wav; }

    Texts RunLength(const fs::path& source, const fs::path& folder, const std::u16string& length) {
        alerts->Clear();
        service->ClearLog();
        SetFields(source.u16string(), folder.u16string());
        host.SetControlText(kCharLengthEdit, length);
        LengthListJob(host);
        EXPECT_EQ(host.BusyFlag(Job::LengthList), 0);
        return Shown();
    }
    Texts RunTitles(const fs::path& source, const fs::path& folder, const std::u16string& start) {
        alerts->Clear();
        service->ClearLog();
        SetFields(source.u16string(), folder.u16string());
        host.SetControlText(kStartNumberEdit, start);
        TitleListJob(host);
        EXPECT_EQ(host.BusyFlag(Job::TitleList), 0);
        return Shown();
    }
};

TEST_F(ListBadInput, AwkwardNamesNameTheFilesOrSayTheyFailed) {
    for (const auto& [label, stem] : testing::AwkwardNames()) {
        SCOPED_TRACE(label);
        const fs::path folder = dir.Path() / fs::path(stem);
        fs::create_directories(folder);
        const fs::path source = folder / fs::path(stem + ".txt");
        Source(fs::relative(source, dir.Path()).string(), "<title>abc</title>");
        // "_1.wav" after the longest stem makes a name too long for the file system:
        // binding fails, nothing is spoken or written, and the closing message says so.
        const bool fits = stem.size() + 6 <= 255;
        const std::string prefix = folder.string() + "//" + stem;
        const int binds = service->CallCount("BindToFile");

        EXPECT_EQ(RunLength(source, folder, u"9"),
                  fits ? kLengthEnd : NoneSaved(kLengthEnd, 2, folder));
        EXPECT_EQ(service->CallCount("BindToFile"), binds + 2);
        if (fits) {
            EXPECT_EQ(Renders(), (std::vector<testing::Render>{{prefix + "_1.wav", "<title>ab"},
                                                               {prefix + "_2.wav", "c</title>"}}));
        } else {
            EXPECT_TRUE(Renders().empty());
        }
        std::error_code tooLong;
        EXPECT_EQ(fs::exists(folder / fs::path(stem + "_2.wav"), tooLong), fits);

        EXPECT_EQ(RunTitles(source, folder, u"7"),
                  fits ? kTitleEnd : NoneSaved(kTitleEnd, 1, folder));
        EXPECT_EQ(service->CallCount("BindToFile"), binds + 3);
        if (fits) {
            EXPECT_EQ(Renders(), (std::vector<testing::Render>{{prefix + "_7.wav", "abc"}}));
        }
        EXPECT_EQ(fs::exists(folder / fs::path(stem + "_7.wav"), tooLong), fits);
    }
}

TEST_F(ListBadInput, PathsOfFourThousandBytes) {
    // The source's path is 4,000 bytes; the output names add a few more and still fit
    // the system's limit, one more folder level does not.
    const fs::path folder = testing::FolderOfPathLength(dir.Path(), 3991);
    const fs::path source = folder / "b.txt";
    ASSERT_EQ(source.string().size(), 3997u);
    Source(fs::relative(source, dir.Path()).string(), "0123456789");
    EXPECT_EQ(RunLength(source, folder, u"5"), kLengthEnd);
    EXPECT_TRUE(fs::exists(folder / "b_1.wav"));
    EXPECT_TRUE(fs::exists(folder / "b_2.wav"));

    const fs::path deeper = testing::FolderOfPathLength(dir.Path() / "x", 4090);
    const int binds = service->CallCount("BindToFile");
    EXPECT_EQ(RunLength(source, deeper, u"5"), NoneSaved(kLengthEnd, 2, deeper));
    EXPECT_EQ(service->CallCount("BindToFile"), binds + 2);  // tried, and failed
    EXPECT_TRUE(Renders().empty());
    EXPECT_TRUE(testing::AudioFilesIn(deeper).empty());
}

TEST_F(ListBadInput, TextThatIsNoCleanTextReachesTheFilesByteForByte) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"NUL bytes", std::string("a\0b\0\0c", 6)},
        {"invalid UTF-8", "\xff\xfe\xc3(\xe2\x82\xed\xa0\x80\xf8\x88\x80\x80\x80"},
        {"BOM alone", "\xef\xbb\xbf"},
        {"UTF-16 BOM alone", "\xff\xfe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path source = Source("odd.txt", c.bytes);
        EXPECT_EQ(RunLength(source, Out(), u"33554432"), kLengthEnd);
        ASSERT_EQ(Renders().size(), 1u);
        EXPECT_EQ(Renders()[0].bytes, c.bytes);

        Source("odd.txt", "<title>" + c.bytes + "</title>");
        EXPECT_EQ(RunTitles(source, Out(), u""), kTitleEnd);
        ASSERT_EQ(Renders().size(), 1u);
        EXPECT_EQ(Renders()[0].bytes, c.bytes);
    }
}

TEST_F(ListBadInput, HundredMegabyteLineIsCutAtTheLengthAndLosesNothing) {
    constexpr std::size_t kBytes = 100'000'000;
    constexpr std::size_t kLength = 33'554'432;
    service->SetRecording(false);
    service->SetSamplesPerCharacter(0);
    const fs::path source = Source("line.txt", std::string(kBytes, 'w'));
    EXPECT_EQ(RunLength(source, Out(), u"33554432"), kLengthEnd);
    EXPECT_EQ(service->SpeakCount(), 3);  // two whole chunks and the rest
    for (int k = 1; k <= 3; ++k)
        EXPECT_TRUE(fs::exists(Out() / ("line_" + std::to_string(k) + ".wav")));
    EXPECT_FALSE(fs::exists(Out() / "line_4.wav"));
    static_assert(2 * kLength < kBytes && kBytes < 3 * kLength);

    std::string tagged = "<title>";
    tagged.append(kBytes, 'w');
    tagged += "</title>";
    Source("line.txt", tagged);
    tagged = std::string();
    EXPECT_EQ(RunTitles(source, Out(), u""), kTitleEnd);
    EXPECT_EQ(service->SpeakCount(), 4);
}

TEST_F(ListBadInput, NumbersOfTenThousandDigits) {
    const std::string nines(10000, '9');
    const std::string leadingZeros = std::string(9999, '0') + "7";
    const std::string tenThousandDigitsPastTheLimit = "1" + std::string(9999, '0');
    const fs::path source = Source("book.txt", "<title>abcdefghij</title>");
    struct Case {
        std::string number;
        bool accepted;
    };
    const Case cases[] = {{nines, false},
                          {tenThousandDigitsPastTheLimit, false},
                          {leadingZeros, true},
                          {nines + "x", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number.substr(0, 12) + "... (" + std::to_string(c.number.size()) + ")");
        const std::u16string number(c.number.begin(), c.number.end());
        EXPECT_EQ(
            RunLength(source, Out(), number),
            c.accepted ? kLengthEnd : Texts{"Invalid Input, Value Must be between 1 and 2^25"});
        EXPECT_EQ(Renders().size(), c.accepted ? 4u : 0u);  // 25 bytes at 7
        EXPECT_EQ(
            RunTitles(source, Out(), number),
            c.accepted ? kTitleEnd : Texts{"You have given invalid file name starting number"});
        if (c.accepted) {
            EXPECT_EQ(Renders().at(0).path, OutNarrow() + "//book_7.wav");
        }
    }
}

}  // namespace
}  // namespace sonoleaf
