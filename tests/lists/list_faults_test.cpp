// The source text file changes under a running list job: deleted, or truncated,
// while its chunks or passages are being rendered. The job still ends with both of
// its messages, and what it rendered is exactly text that the file held, in order.

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

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;
constexpr auto kWait = std::chrono::seconds(10);

// What happens to the file once the first render has begun.
enum class Change { Deleted, TruncatedToNothing, TruncatedMidway };

struct ChangeCase {
    const char* name;
    Change change;
};
const ChangeCase kChanges[] = {
    {"deleted", Change::Deleted},
    {"truncated to nothing", Change::TruncatedToNothing},
    {"truncated midway", Change::TruncatedMidway},
};

void Apply(Change change, const fs::path& source, std::uintmax_t midway) {
    switch (change) {
        case Change::Deleted:
            fs::remove(source);
            break;
        case Change::TruncatedToNothing:
            fs::resize_file(source, 0);
            break;
        case Change::TruncatedMidway:
            fs::resize_file(source, midway);
            break;
    }
}

// A list job's fixture that can change the source under a running job.
class ChangingSourceTest : public testing::ListJobTest {
  protected:
    explicit ChangingSourceTest(Job job) : ListJobTest(job) {}

    // Lets the job's first render begin, changes the file, lets everything go, and
    // joins the job before anything is asserted.
    bool RunChangingTheSource(void (*procedure)(SpeechJobHost&), Change change,
                              const fs::path& source, std::uintmax_t midway) {
        service->SetSpeakBlocks(true);
        std::thread thread([&] { procedure(host); });
        const bool blocked = service->WaitForBlockedSpeaks(1, kWait);
        Apply(change, source, midway);
        service->SetSpeakBlocks(false);
        const bool ended = alerts->WaitForAlerts(2, kWait);
        thread.join();
        return blocked && ended;
    }
};

class LengthListFaults : public ChangingSourceTest {
  protected:
    LengthListFaults() : ChangingSourceTest(Job::LengthList) {}
};

TEST_F(LengthListFaults, SourceChangedWhileReadRendersAPrefixOfItAndEnds) {
    // Several read blocks long, each byte telling its place.
    std::string original;
    for (int i = 0; original.size() < 300000; ++i) original += std::to_string(i) + ' ';
    constexpr std::uintmax_t kMidway = 150000;
    for (const ChangeCase& c : kChanges) {
        SCOPED_TRACE(c.name);
        alerts->Clear();
        service->ClearLog();
        const fs::path source = Source("book.txt", original);
        SetFields(source.u16string(), OutText());
        host.SetControlText(kCharLengthEdit, u"1000");
        ASSERT_TRUE(RunChangingTheSource(&LengthListJob, c.change, source, kMidway));
        EXPECT_EQ(Shown(), (Texts{"Text file to Audio List operation done",
                                  "Text File to Audio List Operation Ended"}));
        EXPECT_EQ(Busy(), 0);

        std::string rendered;
        for (const auto& render : Renders()) rendered += render.bytes;
        EXPECT_EQ(rendered, original.substr(0, rendered.size())) << "text out of order";
        switch (c.change) {
            case Change::Deleted:  // still open: nothing is lost
                EXPECT_EQ(rendered.size(), original.size());
                break;
            case Change::TruncatedToNothing:
                EXPECT_GE(rendered.size(), 1000u);
                EXPECT_LT(rendered.size(), original.size());
                break;
            case Change::TruncatedMidway:
                EXPECT_GE(rendered.size(), 1000u);
                EXPECT_LE(rendered.size(), kMidway);
                break;
        }
        for (const auto& render : Renders()) EXPECT_TRUE(fs::exists(render.path)) << render.path;
    }
}

class TitleListFaults : public ChangingSourceTest {
  protected:
    TitleListFaults() : ChangingSourceTest(Job::TitleList) {}
};

TEST_F(TitleListFaults, SourceChangedAfterItWasReadStillRendersEveryPair) {
    const std::string original =
        "<title>First passage</title> between <title>Second</title><title>Third</title>";
    for (const ChangeCase& c : kChanges) {
        SCOPED_TRACE(c.name);
        alerts->Clear();
        service->ClearLog();
        const fs::path source = Source("book.txt", original);
        SetFields(source.u16string(), OutText());
        ASSERT_TRUE(RunChangingTheSource(&TitleListJob, c.change, source, 20));
        EXPECT_EQ(Shown(), (Texts{"Audio list by given <title>...</title> tag completed",
                                  "Text File to Audio List By given Titles Operation Ended"}));
        const auto renders = Renders();
        ASSERT_EQ(renders.size(), 3u);
        EXPECT_EQ(renders[0].bytes, "First passage");
        EXPECT_EQ(renders[1].bytes, "Second");
        EXPECT_EQ(renders[2].bytes, "Third");
        EXPECT_EQ(Busy(), 0);
    }
}

}  // namespace
}  // namespace sonoleaf
