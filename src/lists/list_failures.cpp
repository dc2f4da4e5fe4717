#include "lists/list_failures.h"

#include <utility>

namespace sonoleaf {

void ListFailures::Count(const RenderResult& result, bool stopped) {
    if (result.kind == RenderResult::Kind::NothingToSay) return;
    ++attempted_;
    if (!result.IsFailed() || stopped) return;
    if (failed_++ == 0) firstReason_ = result.reason;
}

std::u16string ListFailures::Closing(std::u16string message, const std::u16string& folder) const {
    if (failed_ > 0) message += ListFailureLines(failed_, attempted_, folder, firstReason_);
    return message;
}

}  // namespace sonoleaf
