#include "platform/text/subtitles.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "platform/text/durable_file.h"
#include "platform/text/markup_scan.h"
#include "platform/text/unicode.h"

namespace sonoleaf::text {
namespace {

// A run of characters printed together: a word, or a line-long part of a longer one.
struct Token {
    std::string text;
    std::size_t characters = 0;
    bool blankBefore = false;  // false inside a split word, where a line may break too
};

// The words of `text`, white space and control characters as separators, bytes that
// are not UTF-8 as U+FFFD; words longer than a line cut into line-long parts.
std::vector<Token> Tokens(std::string_view text) {
    std::vector<Token> tokens;
    bool blank = true;
    for (std::size_t pos = 0; pos < text.size();) {
        const Utf8Step step = ReadUtf8(text, pos);
        const char32_t c = step.valid ? step.codePoint : kReplacementChar;
        pos += step.length;
        if (c <= 0x20 || c == 0x7F) {
            blank = true;
            continue;
        }
        if (blank || tokens.back().characters == kCueLineCharacters)
            tokens.push_back({{}, 0, blank && !tokens.empty()});
        AppendUtf8(tokens.back().text, c);
        ++tokens.back().characters;
        blank = false;
    }
    return tokens;
}

std::size_t Width(std::span<const Token> tokens) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i)
        width += tokens[i].characters + (i > 0 && tokens[i].blankBefore ? 1 : 0);
    return width;
}

std::string Join(std::span<const Token> tokens) {
    std::string line;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (i > 0 && tokens[i].blankBefore) line += ' ';
        line += tokens[i].text;
    }
    return line;
}

// One line, or two as even as possible (the second the longer on a tie).
std::string Wrap(std::span<const Token> tokens) {
    if (Width(tokens) <= kCueLineCharacters) return Join(tokens);
    std::size_t bestBreak = 1;
    std::size_t bestLonger = SIZE_MAX;
    bool bestBottomHeavy = false;
    for (std::size_t at = 1; at < tokens.size(); ++at) {
        const std::size_t first = Width(tokens.first(at));
        const std::size_t second = Width(tokens.subspan(at));
        const std::size_t longer = std::max(first, second);
        const bool bottomHeavy = second >= first;
        if (longer < bestLonger || (longer == bestLonger && bottomHeavy && !bestBottomHeavy)) {
            bestBreak = at;
            bestLonger = longer;
            bestBottomHeavy = bottomHeavy;
        }
    }
    return Join(tokens.first(bestBreak)) + "\n" + Join(tokens.subspan(bestBreak));
}

struct CueText {
    std::string text;
    std::size_t characters = 0;
};

// The text in cues of at most two lines: lines filled word by word, taken two by two,
// each pair wrapped again evenly.
std::vector<CueText> SplitIntoCues(std::string_view text) {
    const std::vector<Token> tokens = Tokens(text);
    std::vector<std::size_t> lineStarts;
    std::size_t width = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::size_t added = tokens[i].characters + (tokens[i].blankBefore ? 1 : 0);
        if (lineStarts.empty() || width + added > kCueLineCharacters) {
            lineStarts.push_back(i);
            width = tokens[i].characters;
        } else {
            width += added;
        }
    }
    std::vector<CueText> cues;
    const std::span<const Token> all(tokens);
    for (std::size_t line = 0; line < lineStarts.size(); line += 2) {
        const std::size_t begin = lineStarts[line];
        const std::size_t end = line + 2 < lineStarts.size() ? lineStarts[line + 2] : tokens.size();
        const std::span<const Token> part = all.subspan(begin, end - begin);
        cues.push_back({Wrap(part), Width(part)});
    }
    return cues;
}

std::string Timestamp(std::int64_t ms, char fractionMark) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld%c%03lld",
                  static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                  static_cast<long long>(ms / 1000 % 60), fractionMark,
                  static_cast<long long>(ms % 1000));
    return buffer;
}

}  // namespace

SoundSpan FindSound(std::span<const std::int16_t> samples) {
    const auto loud = [](std::int16_t sample) {
        return sample > kSoundThreshold || sample < -kSoundThreshold;
    };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    if (first == samples.end()) return {};
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud);
    return {first - samples.begin(), samples.rend() - last, false};
}

CueBuilder::CueBuilder(int sampleRate) : sampleRate_(std::max(sampleRate, 1)) {}

void CueBuilder::Add(std::string_view pieceText, std::int64_t startSample, SoundSpan span) {
    if (span.silent || span.end <= span.first || span.first < 0) return;
    std::int64_t start = startSample + span.first;
    const std::int64_t end = startSample + span.end;
    if (!times_.empty()) start = std::max(start, times_.back().end);
    if (end <= start) return;
    const std::vector<CueText> parts = SplitIntoCues(pieceText);
    std::int64_t total = 0;
    for (const CueText& part : parts) total += static_cast<std::int64_t>(part.characters);
    std::int64_t before = 0;
    for (const CueText& part : parts) {
        const std::int64_t after = before + static_cast<std::int64_t>(part.characters);
        Push(part.text, start + (end - start) * before / total,
             start + (end - start) * after / total);
        before = after;
    }
}

void CueBuilder::TruncateAt(std::int64_t endSample) {
    while (!times_.empty() && times_.back().start >= endSample) {
        times_.pop_back();
        cues_.pop_back();
    }
    if (times_.empty() || times_.back().end <= endSample) return;
    times_.back().end = endSample;
    cues_.back().endMs = Milliseconds(endSample);
    if (cues_.back().endMs <= cues_.back().startMs) {
        times_.pop_back();
        cues_.pop_back();
    }
}

void CueBuilder::Push(std::string text, std::int64_t start, std::int64_t end) {
    const std::int64_t startMs = Milliseconds(start);
    const std::int64_t endMs = Milliseconds(end);
    if (endMs <= startMs) return;
    times_.push_back({start, end});
    cues_.push_back({startMs, endMs, std::move(text)});
}

std::int64_t CueBuilder::Milliseconds(std::int64_t samples) const {
    return (samples * 1000 + sampleRate_ / 2) / sampleRate_;
}

std::string WrapCueText(std::string_view text) {
    const std::vector<Token> tokens = Tokens(text);
    return Wrap(tokens);
}

std::string FormatSrt(const std::vector<Cue>& cues) {
    std::string srt;
    for (std::size_t i = 0; i < cues.size(); ++i) {
        std::string text = cues[i].text;
        // An arrow in the text could be taken for a timing line by lenient readers.
        for (std::size_t at; (at = text.find("-->")) != std::string::npos;)
            text.replace(at, 3, "->");
        srt += std::to_string(i + 1) + "\n" + Timestamp(cues[i].startMs, ',') + " --> " +
               Timestamp(cues[i].endMs, ',') + "\n" + text + "\n\n";
    }
    return srt;
}

std::string FormatVtt(const std::vector<Cue>& cues) {
    std::string vtt = "WEBVTT\n\n";
    for (const Cue& cue : cues) {
        vtt += Timestamp(cue.startMs, '.') + " --> " + Timestamp(cue.endMs, '.') + "\n";
        for (const char c : cue.text) {
            if (c == '&') {
                vtt += "&amp;";
            } else if (c == '<') {
                vtt += "&lt;";
            } else if (c == '>') {
                vtt += "&gt;";
            } else {
                vtt += c;
            }
        }
        vtt += "\n\n";
    }
    return vtt;
}

std::string SubtitlePathFor(const std::string& audioPath, bool vtt) {
    std::filesystem::path path(audioPath);
    path.replace_extension(vtt ? ".vtt" : ".srt");
    return path.string();
}

bool WriteSubtitleFile(const std::string& path, const std::string& contents) {
    return WriteFileWhole(path, contents);
}

}  // namespace sonoleaf::text
