#pragma once
// Finding the "<title>" ... "</title>" pairs of a text, byte for byte.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace sonoleaf::text {

inline constexpr std::string_view kOpeningTitleTag = "<title>";
inline constexpr std::string_view kClosingTitleTag = "</title>";

// One pair: its passage is the bytes [passageBegin, passageEnd), tags excluded; the
// search for the next pair goes on at `next`.
struct TitlePair {
    std::size_t passageBegin = 0;
    std::size_t passageEnd = 0;
    std::size_t next = 0;

    bool operator==(const TitlePair&) const = default;
};

// The first pair at or after `from`: the first opening tag there, and the first closing
// tag after it. Tags do not nest (an opening tag inside a passage is text), a closing
// tag before any opening one is skipped, and an opening tag with no closing tag after it
// ends the scan (no later one can have one either). Empty when there is no pair.
std::optional<TitlePair> FindTitlePair(std::string_view bytes, std::size_t from);

// How many pairs `bytes` holds, without holding them.
std::int64_t CountTitlePairs(std::string_view bytes);

// Every pair of `bytes` in order, as FindTitlePair finds them one after another.
std::vector<TitlePair> ScanTitlePairs(std::string_view bytes);

}  // namespace sonoleaf::text
