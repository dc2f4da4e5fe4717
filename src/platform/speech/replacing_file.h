#pragma once
// A file written under a temporary name in its destination's folder and renamed to
// its own name only once complete, so that no half-written file ever bears that
// name and a file already there is replaced only by a whole new one.

#include <memory>
#include <string>

#include "platform/speech/speech_service.h"

namespace sonoleaf::speech_service {

class ReplacingFile {
  public:
    // Creates the temporary file (a hidden name of its own beside `destination`).
    static HResult Create(const std::string& destination, std::unique_ptr<ReplacingFile>& file);
    // Without Commit, removes the temporary file: nothing is left behind.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Open for writing and seeking until Commit or destruction.
    int Descriptor() const { return descriptor_; }
    const std::string& TemporaryPath() const { return temporary_; }
    // Flushes the file to the disk, closes it and renames it into place.
    HResult Commit();

  private:
    ReplacingFile(std::string destination, std::string temporary, int descriptor);
    void Discard();

    std::string destination_;
    std::string temporary_;
    int descriptor_ = -1;
};

}  // namespace sonoleaf::speech_service
