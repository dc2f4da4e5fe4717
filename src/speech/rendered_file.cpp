#include "speech/rendered_file.h"

#include <unistd.h>

#include <array>
#include <filesystem>

#include "platform/speech/piece_notes.h"
#include "platform/text/durable_file.h"
#include "platform/text/subtitles.h"

namespace sonoleaf {
namespace {

std::array<std::string, 3> CompanionsOf(const std::string& path) {
    return {text::SubtitlePathFor(path, false), text::SubtitlePathFor(path, true),
            speech_service::CuesPathFor(path)};
}

}  // namespace

bool CommitRendered(const std::string& temporary, const std::string& target) {
    if (!text::CommitTemporaryFile(temporary, target)) {
        DiscardRendered(temporary);
        return false;
    }
    const auto from = CompanionsOf(temporary);
    const auto to = CompanionsOf(target);
    for (std::size_t i = 0; i < from.size(); ++i) {
        std::error_code missing;
        if (std::filesystem::exists(from[i], missing)) text::CommitTemporaryFile(from[i], to[i]);
    }
    return true;
}

void DiscardRendered(const std::string& temporary) {
    ::unlink(temporary.c_str());
    for (const std::string& companion : CompanionsOf(temporary)) ::unlink(companion.c_str());
}

}  // namespace sonoleaf
