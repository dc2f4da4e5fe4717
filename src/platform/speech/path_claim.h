#pragma once
// One writer at a time per output file within the process. Two renders into the
// same path at once (the two audio lists over one source and folder, say) would
// interleave their bytes into one broken file; with a claim the later one waits
// until the earlier has closed its file, then replaces it with a whole one.

#include <string>

namespace sonoleaf::speech_service {

class PathClaim {
  public:
    // Waits until no other claim on the same file (by absolute, normalised path) is
    // held, then holds it until destroyed.
    explicit PathClaim(const std::string& path);
    ~PathClaim();
    PathClaim(const PathClaim&) = delete;
    PathClaim& operator=(const PathClaim&) = delete;

  private:
    std::string key_;
};

}  // namespace sonoleaf::speech_service
