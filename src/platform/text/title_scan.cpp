#include "platform/text/title_scan.h"

namespace sonoleaf::text {

std::optional<TitlePair> FindTitlePair(std::string_view bytes, std::size_t from) {
    const std::size_t opening = bytes.find(kOpeningTitleTag, from);
    if (opening == std::string_view::npos) return std::nullopt;
    // The closing tag is searched from just after the opening tag's first byte; as the
    // tag holds no other "<", it can only be found past the opening tag's end.
    const std::size_t closing = bytes.find(kClosingTitleTag, opening + 1);
    if (closing == std::string_view::npos) return std::nullopt;
    // Resuming just past the closing tag's first byte: its rest holds no "<", so the
    // next opening tag can only lie after it.
    return TitlePair{opening + kOpeningTitleTag.size(), closing, closing + 1};
}

std::int64_t CountTitlePairs(std::string_view bytes) {
    std::int64_t count = 0;
    for (auto pair = FindTitlePair(bytes, 0); pair; pair = FindTitlePair(bytes, pair->next))
        ++count;
    return count;
}

std::vector<TitlePair> ScanTitlePairs(std::string_view bytes) {
    std::vector<TitlePair> pairs;
    std::size_t position = 0;
    while (const std::optional<TitlePair> pair = FindTitlePair(bytes, position)) {
        pairs.push_back(*pair);
        position = pair->next;
    }
    return pairs;
}

}  // namespace sonoleaf::text
