#pragma once
// The segments of a long render made by the render helpers: each segment's samples
// come back through a scratch file of their own, which is read and removed in the
// render's order. The files are in a folder of this program's, removed with it (or,
// after a crash, by the next program that makes segments).

#include <memory>
#include <mutex>
#include <string>

#include "platform/speech/segment_synthesis.h"

namespace sonoleaf {

class SpeechEngine;

namespace render {

class HelperSegments final : public speech_service::SegmentSynthesis {
  public:
    explicit HelperSegments(SpeechEngine& engine) : engine_(&engine) {}
    ~HelperSegments() override;
    HelperSegments(const HelperSegments&) = delete;
    HelperSegments& operator=(const HelperSegments&) = delete;
    // The engine is going: no segment starts from now on.
    void Detach();

    int Slots() override;
    std::unique_ptr<Pending> Start(const speech_service::SegmentWork& work,
                                   const std::atomic<bool>& stop) override;

  private:
    // A new empty file for one segment's samples; empty when none can be made.
    std::string NewScratchFile();

    std::mutex mutex_;
    SpeechEngine* engine_;  // guarded by mutex_; null once detached
    std::string scratch_;   // guarded by mutex_; the folder, once made
};

}  // namespace render
}  // namespace sonoleaf
