#include "support/srt_reader.h"

#include <QString>

namespace sonoleaf::testing {
namespace {

bool Digits(std::string_view text, std::size_t count) {
    if (text.size() != count) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

std::int64_t Number(std::string_view digits) {
    std::int64_t value = 0;
    for (const char c : digits) value = value * 10 + (c - '0');
    return value;
}

// "HH:MM:SS,mmm", hours of two digits or more.
bool Time(std::string_view text, std::int64_t& ms) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon < 2 || colon > 6 ||
        !Digits(text.substr(0, colon), colon))
        return false;
    const std::string_view rest = text.substr(colon);
    if (rest.size() != 10 || rest[0] != ':' || rest[3] != ':' || rest[6] != ',' ||
        !Digits(rest.substr(1, 2), 2) || !Digits(rest.substr(4, 2), 2) ||
        !Digits(rest.substr(7, 3), 3))
        return false;
    const std::int64_t minutes = Number(rest.substr(1, 2));
    const std::int64_t seconds = Number(rest.substr(4, 2));
    if (minutes > 59 || seconds > 59) return false;
    ms = ((Number(text.substr(0, colon)) * 60 + minutes) * 60 + seconds) * 1000 +
         Number(rest.substr(7, 3));
    return true;
}

}  // namespace

bool ReadSrt(std::string_view contents, std::vector<SrtCue>& cues, std::string& error) {
    cues.clear();
    if (QString::fromUtf8(contents.data(), static_cast<qsizetype>(contents.size())).toUtf8() !=
        QByteArray(contents.data(), static_cast<qsizetype>(contents.size()))) {
        error = "not UTF-8";
        return false;
    }
    std::vector<std::string_view> lines;
    while (!contents.empty()) {
        const std::size_t end = contents.find('\n');
        if (end == std::string_view::npos) {
            error = "the last line has no line end";
            return false;
        }
        lines.push_back(contents.substr(0, end));
        contents.remove_prefix(end + 1);
    }
    std::size_t at = 0;
    const auto fail = [&](const std::string& what) {
        error = "line " + std::to_string(at + 1) + ": " + what;
        return false;
    };
    while (at < lines.size()) {
        SrtCue cue;
        const std::string expected = std::to_string(cues.size() + 1);
        if (lines[at] != expected) return fail("cue number " + expected + " expected");
        if (++at >= lines.size()) return fail("no timing line");
        const std::string_view timing = lines[at];
        const std::size_t arrow = timing.find(" --> ");
        if (arrow == std::string_view::npos || !Time(timing.substr(0, arrow), cue.startMs) ||
            !Time(timing.substr(arrow + 5), cue.endMs))
            return fail("bad timing line");
        if (cue.endMs <= cue.startMs) return fail("the cue ends before it starts");
        if (!cues.empty() && cue.startMs < cues.back().endMs)
            return fail("the cue starts before the previous one ends");
        for (++at; at < lines.size() && !lines[at].empty(); ++at) {
            if (!cue.text.empty()) cue.text += '\n';
            cue.text += lines[at];
        }
        if (cue.text.empty()) return fail("a cue without text");
        if (at >= lines.size()) return fail("no blank line after the cue");
        ++at;
        cues.push_back(std::move(cue));
    }
    return true;
}

}  // namespace sonoleaf::testing
