// The render pool against helpers that misbehave: every piece of work handed out ends
// with a result within a bound, a helper of another build is refused at its start, a
// frame the helper cannot read is answered, and segment scratch folders are the
// program's own.
#include "render/render_pool.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "platform/text/text_convert.h"
#include "render/child_render.h"
#include "render/render_helper.h"
#include "render/render_segments.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace sonoleaf::render {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::TempDir;

constexpr PoolTimeouts kShort{500ms, 500ms, 1000ms};

std::string TestHelper(const char* mode) {
    ::setenv("SONOLEAF_TEST_HELPER_MODE", mode, 1);
    return (fs::read_symlink("/proc/self/exe").parent_path() / "test_render_helper").string();
}

// Hands one file over and waits for its result.
std::future<RenderResult> Render(RenderPool& pool, const std::u16string& text,
                                 const fs::path& out) {
    auto promise = std::make_shared<std::promise<RenderResult>>();
    FileWork work;
    work.text = text;
    work.outputPath = out.u16string();
    pool.Submit(
        std::move(work), [] { return true; },
        [promise](const RenderResult& result) { promise->set_value(result); });
    return promise->get_future();
}

std::string FileText(const fs::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Reason(std::future<RenderResult>& result) {
    EXPECT_EQ(result.wait_for(20s), std::future_status::ready);
    return text::ToNarrow(result.get().reason);
}

TEST(RenderPool, RefusesAHelperOfAnotherBuildOrOneThatDoesNotAnswer) {
    for (const auto& [mode, problem] :
         {std::pair{"other-build", "is of another build"}, std::pair{"silent", "did not answer"}}) {
        std::string why;
        EXPECT_EQ(RenderPool::Start(2, TestHelper(mode), why, kShort), nullptr);
        EXPECT_NE(why.find(problem), std::string::npos) << why;
    }
}

TEST(RenderPool, EveryFileEndsWithAResultWithinABound) {
    TempDir dir;
    std::string why;
    // Work the helper never starts fails once its start is overdue.
    auto deaf = RenderPool::Start(2, TestHelper("ignore-work"), why, kShort);
    ASSERT_NE(deaf, nullptr) << why;
    auto never = Render(*deaf, u"never", dir.Path() / "never.wav");
    EXPECT_NE(Reason(never).find("did not start"), std::string::npos);

    // One file that hangs among others that keep reporting is still caught, and a
    // crash is told as one.
    auto pool = RenderPool::Start(3, TestHelper("serve"), why, kShort);
    ASSERT_NE(pool, nullptr) << why;
    auto hung = Render(*pool, u"hang here", dir.Path() / "hung.wav");
    auto crashed = Render(*pool, u"crash here", dir.Path() / "crashed.wav");
    std::atomic<bool> busy{true};
    std::thread others([&] {
        for (int i = 0; busy.load(); ++i) {
            auto done = Render(*pool, u"quick", dir.Path() / ("q" + std::to_string(i % 4)));
            EXPECT_TRUE(done.get().kind == RenderResult::Kind::Saved);
            std::this_thread::sleep_for(20ms);
        }
    });
    EXPECT_NE(Reason(crashed).find("crashed on this text"), std::string::npos);
    EXPECT_NE(Reason(hung).find("stopped responding"), std::string::npos);
    busy = false;
    others.join();
    EXPECT_FALSE(fs::exists(dir.Path() / "hung.wav"));
}

// The helper killed under a file (as the memory killer kills the biggest): the file is
// made once more in a fresh helper, not reported whole when cut short; killed under it
// twice, it fails and leaves nothing. A text longer than a frame holds arrives whole.
TEST(RenderPool, AFileWhoseHelperDiesIsMadeOnceMoreThenFails) {
    TempDir dir;
    std::string why;
    auto pool = RenderPool::Start(2, TestHelper("serve"), why, kShort);
    ASSERT_NE(pool, nullptr) << why;
    const auto killHelperUnderIt = [&] {
        const pid_t helper = pool->HelperPid();
        while (testing::ChildrenOf(helper).empty()) std::this_thread::sleep_for(1ms);
        ::kill(helper, SIGKILL);
        while (pool->HelperPid() == helper || pool->HelperPid() == 0)
            std::this_thread::sleep_for(1ms);
    };
    auto once = Render(*pool, u"slow once", dir.Path() / "once.wav");
    killHelperUnderIt();
    ASSERT_EQ(once.wait_for(20s), std::future_status::ready);
    EXPECT_EQ(once.get().kind, RenderResult::Kind::Saved);
    EXPECT_EQ(FileText(dir.Path() / "once.wav"), "sound of 9");

    auto twice = Render(*pool, u"slow twice", dir.Path() / "twice.wav");
    killHelperUnderIt();
    killHelperUnderIt();
    EXPECT_NE(Reason(twice).find("render helper ended before"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.Path() / "twice.wav"));

    const std::u16string longText(70'000'000, u'a');        // 140 MB as it travels
    pool = RenderPool::Start(1, TestHelper("serve"), why);  // time to take it all in
    auto whole = Render(*pool, longText, dir.Path() / "long.wav");
    ASSERT_EQ(whole.wait_for(60s), std::future_status::ready);
    const RenderResult longResult = whole.get();
    EXPECT_EQ(longResult.kind, RenderResult::Kind::Saved) << text::ToNarrow(longResult.reason);
    EXPECT_EQ(FileText(dir.Path() / "long.wav"), "sound of 70000000");
}

TEST(RenderHelper, AnswersWorkItCannotRead) {
    int toHelper[2];
    int fromHelper[2];
    ASSERT_EQ(::pipe(toHelper), 0);
    ASSERT_EQ(::pipe(fromHelper), 0);
    std::thread helper([&] {
        RunRenderHelper(toHelper[0], fromHelper[1], {});
        ::close(fromHelper[1]);
    });
    ASSERT_EQ(ReadFrame(fromHelper[0])->kind, kHello);
    WriteAll(toHelper[1], Writer().U32(77).Raw("garbage").Frame(kWork));
    const std::optional<Frame> answer = ReadFrame(fromHelper[0]);
    ::close(toHelper[1]);
    helper.join();
    ::close(toHelper[0]);
    ::close(fromHelper[0]);
    ASSERT_TRUE(answer.has_value());
    std::uint32_t id = 0;
    RenderResult result;
    ASSERT_TRUE(DecodeResult(answer->body, id, result));
    EXPECT_EQ(id, 77u);
    EXPECT_TRUE(result.IsFailed());
}

// The scratch folder is made anew (mode 0700) whatever another user put in its place,
// and only this user's folders of programs that are gone are removed.
TEST(HelperSegments, ScratchFoldersAreThisUsersOwn) {
    TempDir temp;
    const char* previous = std::getenv("TMPDIR");
    const std::string saved = previous != nullptr ? previous : "";
    ::setenv("TMPDIR", temp.Path().c_str(), 1);
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string prefix = kScratchPrefix;
    const fs::path planted = temp.Path() / (prefix + std::to_string(::getpid()));
    const fs::path stale = temp.Path() / (prefix + std::to_string(gone) + "-AAAAAA");
    const fs::path others = temp.Path() / (prefix + std::to_string(gone) + "-BBBBBB");
    // A pid the system gave out again tells nothing: the folder is no live program's.
    const fs::path reused = temp.Path() / (prefix + "1-CCCCCC");
    for (const fs::path& folder : {planted, stale, others, reused}) fs::create_directory(folder);
    fs::permissions(planted, fs::perms::all);
    const bool asRoot = ::getuid() == 0;
    if (asRoot) {
        ASSERT_EQ(::chown(others.c_str(), 65534, 65534), 0);  // nobody's
    }

    std::string why;
    auto pool = RenderPool::Start(1, TestHelper("serve"), why, kShort);
    ASSERT_NE(pool, nullptr) << why;
    {
        HelperSegments segments([&] { return pool.get(); });
        std::atomic<bool> stop{false};
        auto pending = segments.Start({"voice", 0, {{"Some text.", true}}}, stop);
        ASSERT_NE(pending, nullptr);
        std::vector<std::int16_t> samples;
        EXPECT_EQ(pending->Take(samples, stop), speech_service::kOk);
        EXPECT_EQ(samples.size(), 1000u);
        struct stat info {};
        ASSERT_EQ(::stat(segments.ScratchFolder().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
        EXPECT_EQ(info.st_uid, ::getuid());
        EXPECT_NE(fs::path(segments.ScratchFolder()), planted);
    }
    EXPECT_TRUE(fs::exists(planted));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_FALSE(fs::exists(reused));
    EXPECT_EQ(fs::exists(others), asRoot);
    if (previous != nullptr) {
        ::setenv("TMPDIR", saved.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
}

// What a helper's process tells when it cannot do its work: the true reason.
TEST(ChildRenders, TellTheTrueReason) {
    const ChildRenders renders = SystemChildRenders();
    const std::atomic<bool> stop{false};
    TempDir dir;
    FileWork noVoice;
    noVoice.text = u"Hello.";
    noVoice.voice.name = u"Nobody Here";
    noVoice.outputPath = (dir.Path() / "a.wav").u16string();
    FileWork unknownVoice;
    unknownVoice.outputPath = (dir.Path() / "segment").u16string();
    std::ofstream(dir.Path() / "segment").flush();
    unknownVoice.segment = speech_service::SegmentWork{"cmu_us_nobody", 0, {{"Hello.", true}}};
    FileWork fullDisk;
    fullDisk.outputPath = u"/dev/full";
    fullDisk.segment = speech_service::SegmentWork{"cmu_us_slt", 0, {{"Hello there.", true}}};
    const std::pair<RenderResult, std::string> cases[] = {
        {renders.file(noVoice, stop), "The voice Nobody Here is not installed here."},
        {renders.segment(unknownVoice, stop),
         "No synthesizer here offers its voice cmu_us_nobody."},
        {renders.segment(fullDisk, stop), "could not be written to the scratch folder: No space"},
    };
    for (const auto& [result, reason] : cases) {
        EXPECT_TRUE(result.IsFailed());
        EXPECT_NE(text::ToNarrow(result.reason).find(reason), std::string::npos)
            << text::ToNarrow(result.reason);
    }
}

}  // namespace
}  // namespace sonoleaf::render
