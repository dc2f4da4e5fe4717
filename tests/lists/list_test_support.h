#pragma once
// What the audio list tests share: a host with the recording service, captured alerts
// watching the job's busy flag, a scratch folder, and the renders the service saw.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "jobs/job_host.h"
#include "platform/text/byte_text.h"
#include "platform/text/text_convert.h"
#include "support/fake_job_host.h"
#include "support/recording_alerts.h"
#include "support/recording_speech_service.h"
#include "support/temp_dir.h"

namespace sonoleaf::testing {

// One render as the service saw it: where it went and the text it got, as the bytes
// of the source those characters stand for.
struct Render {
    std::string path;
    std::string bytes;
    bool operator==(const Render&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Render& render) {
    return out << render.path << " <- \"" << render.bytes << "\"";
}

class ListJobTest : public ::testing::Test {
  protected:
    explicit ListJobTest(Job job)
        : service(std::make_shared<RecordingSpeechService>()), host(service), job_(job) {
        alerts->WatchBusyFlag(&host.BusyFlag(job));
        std::filesystem::create_directory(Out());
    }

    std::filesystem::path Out() const { return dir.Path() / "out"; }
    // The output folder as the user would type it.
    std::u16string OutText() const { return Out().u16string(); }
    std::string OutNarrow() const { return Out().string(); }

    std::filesystem::path Source(const std::string& name, const std::string& bytes) const {
        const std::filesystem::path path = dir.Path() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    void SetFields(const std::u16string& source, const std::u16string& folder) {
        host.SetControlText(kTextSourceBrowse, source);
        host.SetControlText(kAudioFolderBrowse, folder);
    }

    std::vector<Render> Renders() const {
        std::vector<Render> renders;
        for (const auto& speak : service->Speaks()) {
            if (!speak.toFile) continue;
            renders.push_back({text::ToNarrow(speak.outputPath), text::TextToBytes(speak.text)});
        }
        return renders;
    }

    std::vector<std::string> Shown() const { return alerts->Texts(); }
    std::vector<std::int32_t> BusyAtAlerts() const {
        std::vector<std::int32_t> flags;
        for (const auto& alert : alerts->Alerts()) flags.push_back(alert.busyFlag);
        return flags;
    }
    std::int32_t Busy() { return host.BusyFlag(job_); }

    TempDir dir;
    AlertCapture alerts;
    std::shared_ptr<RecordingSpeechService> service;
    FakeJobHost host;

  private:
    Job job_;
};

}  // namespace sonoleaf::testing
