#pragma once
// A rendering's file is made under a temporary name beside its own and takes its name,
// with the subtitles (or a chapter's cue notes) made beside it, only when it is whole:
// a render that fails or dies leaves nothing under the name, nor a file that was there
// spoiled, and never follows a link planted at the name.

#include <string>

namespace sonoleaf {

// Puts the rendered `temporary` and its companions in place of `target`'s, synced;
// false, with every temporary removed, when the file cannot take its name.
bool CommitRendered(const std::string& temporary, const std::string& target);

// Removes a rendered temporary and the companions made beside it.
void DiscardRendered(const std::string& temporary);

}  // namespace sonoleaf
