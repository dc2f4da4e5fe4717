#pragma once
// The renders of one list run that failed, for its closing message: a list whose
// files could not be written must not end as if they had been.

#include <string>

#include "render/render_result.h"

namespace sonoleaf {

class ListFailures {
  public:
    // `stopped` tells that Stop ended the run during this render: a file cut short
    // by the user is what the user asked for, not a failure.
    void Count(const RenderResult& result, bool stopped);
    // The closing message, with the failures' lines after it when there were any.
    std::u16string Closing(std::u16string message, const std::u16string& folder) const;
    bool Any() const { return failed_ > 0; }

  private:
    int attempted_ = 0;
    int failed_ = 0;
    std::u16string firstReason_;
};

}  // namespace sonoleaf
