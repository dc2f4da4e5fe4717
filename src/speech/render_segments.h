#pragma once
// The segments of a long render made by the render helpers: each segment's samples
// come back through a scratch file of their own, which is read and removed in the
// render's order.

#include <memory>
#include <mutex>

#include "platform/speech/segment_synthesis.h"

namespace sonoleaf {

class SpeechEngine;

namespace render {

class HelperSegments final : public speech_service::SegmentSynthesis {
  public:
    explicit HelperSegments(SpeechEngine& engine) : engine_(&engine) {}
    // The engine is going: no segment starts from now on.
    void Detach();

    int Slots() override;
    std::unique_ptr<Pending> Start(const speech_service::SegmentWork& work,
                                   const std::atomic<bool>& stop) override;

  private:
    std::mutex mutex_;
    SpeechEngine* engine_;  // guarded by mutex_; null once detached
};

}  // namespace render
}  // namespace sonoleaf
