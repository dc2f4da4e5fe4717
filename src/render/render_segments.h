#pragma once
// The segments of a long render made by the render helpers: each segment's samples
// come back through a scratch file of their own, which is read and removed in the
// render's order. The files are in a folder of this program's own, made private to
// its user (mkdtemp, mode 0700), locked while the program lives and removed with it;
// after a crash the next program of the same user that makes segments removes it. A
// segment whose process died is made once more in a fresh one (by the pool) before
// the render fails.

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/speech/segment_synthesis.h"
#include "platform/text/regular_file.h"

namespace sonoleaf::render {

class RenderPool;

class HelperSegments final : public speech_service::SegmentSynthesis {
  public:
    // `helpers` gives the pool to use, started when first asked; null when none runs.
    explicit HelperSegments(std::function<RenderPool*()> helpers) : helpers_(std::move(helpers)) {}
    ~HelperSegments() override;
    HelperSegments(const HelperSegments&) = delete;
    HelperSegments& operator=(const HelperSegments&) = delete;
    // The pool's owner is going: no segment starts from now on.
    void Detach();

    int Slots() override;
    std::unique_ptr<Pending> Start(const speech_service::SegmentWork& work,
                                   const std::atomic<bool>& stop) override;

    // The scratch folder, once made (for tests); empty before.
    std::string ScratchFolder();

  private:
    RenderPool* Pool();
    // A new empty file for one segment's samples; empty when none can be made.
    std::string NewScratchFile();

    std::mutex mutex_;
    std::function<RenderPool*()> helpers_;  // guarded by mutex_; empty once detached
    std::string scratch_;                   // guarded by mutex_; the folder, once made
    text::UniqueDescriptor scratchLock_;    // guarded by mutex_; held while it lives
};

// The prefix of every scratch folder's name in the temporary folder.
inline constexpr char kScratchPrefix[] = "sonoleaf-segments-";

// Removes the scratch folders in `temp` that programs of this user left behind: the
// folder's owner is this user and no program holds its lock.
void RemoveStaleScratchFolders(const std::string& temp);

}  // namespace sonoleaf::render
