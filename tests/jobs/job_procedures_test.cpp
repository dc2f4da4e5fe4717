#include "support/job_table.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "jobs/job_runner.h"
#include "support/fake_job_host.h"
#include "support/recording_alerts.h"
#include "support/recording_speech_service.h"
#include "support/temp_dir.h"

namespace sonoleaf {
namespace {

using testing::AlertCapture;
using testing::FakeJobHost;
using testing::RecordingSpeechService;

TEST(VoiceSettingJob, IsBusyWhileTheDialogIsOpenAndShowsNoMessage) {
    AlertCapture alerts;
    FakeJobHost host(std::make_shared<RecordingSpeechService>());
    JobRunner runner;
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    bool close = false;
    host.SetVoiceSettingDialog([&](VoiceProfile& profile) {
        std::unique_lock lock(mutex);
        open = true;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(10), [&] { return close; });
        profile.volume = 55;  // as OK would
    });
    auto launch = [&] {
        return runner.Launch(host.BusyFlag(Job::VoiceSetting), [&] { VoiceSettingJob(host); });
    };
    ASSERT_TRUE(launch());
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return open; }));
    }
    EXPECT_EQ(host.BusyFlag(Job::VoiceSetting), 1);
    EXPECT_FALSE(launch());
    {
        std::lock_guard lock(mutex);
        close = true;
        changed.notify_all();
    }
    runner.JoinAll();
    EXPECT_EQ(host.BusyFlag(Job::VoiceSetting), 0);
    EXPECT_EQ(host.VoiceSettingDialogCalls(), 1);
    EXPECT_EQ(host.Profile().volume, 55);
    EXPECT_EQ(host.Engine().volume, 0);  // applied only when a speech job copies it
    EXPECT_TRUE(alerts->Alerts().empty());
}

TEST(StopTtsProcess, ClearsTheListFlagsAndTouchesNoBusyFlag) {
    const auto service = std::make_shared<RecordingSpeechService>();
    FakeJobHost host(service);
    host.Engine().lengthListRunning = true;
    host.Engine().titleListRunning = true;
    host.BusyFlag(Job::LengthList) = 1;
    StopTtsProcess(host);
    EXPECT_FALSE(host.Engine().lengthListRunning);
    EXPECT_FALSE(host.Engine().titleListRunning);
    EXPECT_EQ(host.BusyFlag(Job::LengthList), 1);
    EXPECT_TRUE(service->Log().empty());  // no voice exists to pause
}

TEST(StopTtsProcess, PausesEveryLiveVoiceAndTellsTheEngineWhetherTheLengthListRuns) {
    // The render voice is paused three times, or twice while the length list runs;
    // Speak Now's voice once.
    struct Case {
        std::int32_t lengthListBusy;
        int pauses;
    };
    for (const Case c : {Case{0, 4}, Case{1, 3}}) {
        const auto service = std::make_shared<RecordingSpeechService>();
        FakeJobHost host(service);
        host.BusyFlag(Job::LengthList) = c.lengthListBusy;
        // Voices held in their sets for the whole Stop: a render that released its
        // voice between two pauses would make the count depend on timing.
        std::shared_ptr<speech_service::Voice> render;
        std::shared_ptr<speech_service::Voice> speakNow;
        ASSERT_EQ(service->CreateVoice(render), speech_service::kOk);
        ASSERT_EQ(service->CreateVoice(speakNow), speech_service::kOk);
        {
            const LiveVoiceRegistration rendering(host.Engine().renderVoice, render);
            const LiveVoiceRegistration speaking(host.Engine().liveVoice, speakNow);
            StopTtsProcess(host);
        }
        EXPECT_EQ(service->CallCount("Pause"), c.pauses) << c.lengthListBusy;
        EXPECT_EQ(host.BusyFlag(Job::LengthList), c.lengthListBusy);
        render.reset();
        speakNow.reset();
        EXPECT_EQ(service->LiveVoices(), 0);
    }
}

}  // namespace
}  // namespace sonoleaf
