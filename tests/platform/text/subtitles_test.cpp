#include "platform/text/subtitles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/file_contents.h"
#include "support/srt_reader.h"
#include "support/temp_dir.h"

namespace sonoleaf::text {
namespace {

std::int64_t Ms(std::int64_t samples) {
    return (samples * 1000 + kSubtitleSampleRate / 2) / kSubtitleSampleRate;
}

std::size_t Characters(const std::string& line) {
    std::size_t count = 0;
    for (const char c : line) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

// The cue start times ffprobe reads from a subtitle file, in milliseconds.
std::vector<std::int64_t> StartsReadByFfprobe(const std::string& path) {
    const std::string command =
        "ffprobe -v error -show_entries packet=pts_time -of csv=p=0 '" + path + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::vector<std::int64_t> starts;
    char line[256];
    while (pipe && std::fgets(line, sizeof line, pipe.get()) != nullptr)
        starts.push_back(static_cast<std::int64_t>(std::stod(line) * 1000 + 0.5));
    return starts;
}

TEST(Subtitles, CuesFollowTheSoundOfEachPieceAndEndWhereTheFileEnds) {
    struct Piece {
        std::string text;
        int lead, sound, tail;  // samples of quiet, tone, quiet
    };
    const std::string longSentence =
        "Nobody in the village could remember when the bridge had last been repaired, "
        "and the oldest of them said it had stood like that since their grandfathers' days.";
    const std::vector<Piece> pieces = {
        {"The old house stood at the end of the lane.", 2205, 30000, 4000},
        {"  \n ", 100, 5000, 100},  // sound but nothing to read: no cue
        {"She opened   the letter\nslowly.", 3000, 22050, 6000},
        {"Silence.", 8000, 0, 0},  // nothing heard: no cue
        {longSentence, 1000, 90000, 5000},
        {"Cut short by Stop.", 1500, 20000, 3000},
    };
    std::vector<std::int16_t> audio;
    std::vector<std::pair<std::int64_t, std::int64_t>> sounds;  // where each tone lies
    CueBuilder builder;
    for (const Piece& piece : pieces) {
        const auto start = static_cast<std::int64_t>(audio.size());
        for (int i = 0; i < piece.lead; ++i)
            audio.push_back(static_cast<std::int16_t>(i % 7 * 30 - 90));
        for (int i = 0; i < piece.sound; ++i) audio.push_back(i % 2 == 0 ? 8000 : -8000);
        for (int i = 0; i < piece.tail; ++i) audio.push_back(static_cast<std::int16_t>(i % 5 * 20));
        const SoundSpan span = FindSound(
            std::span<const std::int16_t>(audio).subspan(static_cast<std::size_t>(start)));
        if (piece.sound > 0) {
            EXPECT_EQ(span.first, piece.lead);
            EXPECT_EQ(span.end, piece.lead + piece.sound);
            sounds.emplace_back(start + piece.lead, start + piece.lead + piece.sound);
        }
        EXPECT_EQ(span.silent, piece.sound == 0);
        builder.Add(piece.text, start, span);
    }
    const std::int64_t stop = sounds.back().first + 11025;  // half a second into the last
    builder.TruncateAt(stop);

    testing::TempDir dir;
    const std::string audioPath = (dir.Path() / "book.mp3").string();
    const std::string srtPath = SubtitlePathFor(audioPath, false);
    const std::string vttPath = SubtitlePathFor(audioPath, true);
    EXPECT_EQ(srtPath, (dir.Path() / "book.srt").string());
    ASSERT_TRUE(WriteSubtitleFile(srtPath, FormatSrt(builder.Cues())));
    ASSERT_TRUE(WriteSubtitleFile(vttPath, FormatVtt(builder.Cues())));
    EXPECT_EQ(testing::FilesIn(dir.Path()).size(), 2u);  // no temporary left behind

    std::vector<testing::SrtCue> cues;
    std::string error;
    ASSERT_TRUE(testing::ReadSrt(testing::FileBytes(srtPath), cues, error)) << error;
    ASSERT_EQ(cues.size(), 5u);  // 1 + 1 + the long sentence in 2 + the cut one
    EXPECT_EQ(cues[0].text, "The old house stood at\nthe end of the lane.");
    EXPECT_EQ(cues[1].text, "She opened the letter slowly.");
    EXPECT_EQ(cues[4].text, "Cut short by Stop.");
    std::string rejoined;
    for (const auto& cue : cues) {
        const std::size_t lineEnd = cue.text.find('\n');
        EXPECT_EQ(cue.text.find('\n', lineEnd + (lineEnd != std::string::npos)), std::string::npos);
        std::istringstream lines(cue.text);
        for (std::string line; std::getline(lines, line);) {
            EXPECT_LE(Characters(line), kCueLineCharacters) << line;
            rejoined += (rejoined.empty() ? "" : " ") + line;
        }
    }
    EXPECT_NE(rejoined.find(longSentence), std::string::npos);
    // Each cue lies inside the sound of its piece, so every pause falls between cues;
    // a piece's cues together cover its sound, to the millisecond.
    const std::vector<std::pair<std::size_t, std::size_t>> cuesOfSound = {
        {0, 1}, {1, 1}, {1, 2}, {2, 4}, {4, 5}};
    for (std::size_t s = 0; s < sounds.size(); ++s) {
        const auto [first, end] = cuesOfSound[s];
        if (first == end) continue;  // the blank piece
        EXPECT_EQ(cues[first].startMs, Ms(sounds[s].first)) << s;
        EXPECT_EQ(cues[end - 1].endMs, Ms(s + 1 == sounds.size() ? stop : sounds[s].second)) << s;
        for (std::size_t c = first + 1; c < end; ++c) EXPECT_EQ(cues[c].startMs, cues[c - 1].endMs);
    }

    // Another program reads both files to the same cues.
    std::vector<std::int64_t> starts;
    for (const auto& cue : cues) starts.push_back(cue.startMs);
    EXPECT_EQ(StartsReadByFfprobe(srtPath), starts);
    EXPECT_EQ(StartsReadByFfprobe(vttPath), starts);
}

TEST(Subtitles, CueTextWrapsIntoTwoEvenLines) {
    const std::string e30 = [] {
        std::string s;
        for (int i = 0; i < 30; ++i) s += "\xC3\xA9";
        return s;
    }();
    const std::pair<std::string, std::string> cases[] = {
        {"  Short \t text.\n", "Short text."},
        {"The old house stood at the end of the lane, its windows dark.",
         "The old house stood at the end\nof the lane, its windows dark."},
        {std::string(50, 'x'), std::string(42, 'x') + "\n" + std::string(8, 'x')},
        {e30 + " " + e30, e30 + "\n" + e30},  // characters, not bytes
        {"Bad \xff byte", "Bad \xEF\xBF\xBD byte"},
        {MarkupToPlainText("<speak><s>Caf&#xE9; &amp; tea.</s><s>Next &bogus;</s></speak>"),
         "Café & tea. Next &bogus;"},
    };
    for (const auto& [text, wrapped] : cases) EXPECT_EQ(WrapCueText(text), wrapped) << text;
}

TEST(Subtitles, FormatsTimesAndEscapes) {
    const std::vector<Cue> cues = {{1234, 3456, "a <b> & c\nx --> y"}, {3723004, 360000000, "z"}};
    EXPECT_EQ(FormatSrt(cues),
              "1\n00:00:01,234 --> 00:00:03,456\na <b> & c\nx -> y\n\n"
              "2\n01:02:03,004 --> 100:00:00,000\nz\n\n");
    EXPECT_EQ(FormatVtt(cues),
              "WEBVTT\n\n00:00:01.234 --> 00:00:03.456\na &lt;b&gt; &amp; c\nx --&gt; y\n\n"
              "01:02:03.004 --> 100:00:00.000\nz\n\n");
    EXPECT_EQ(SubtitlePathFor("/a.b/book.tar.mp3", true), "/a.b/book.tar.vtt");
    EXPECT_EQ(SubtitlePathFor("/a.b/book", false), "/a.b/book.srt");
}

}  // namespace
}  // namespace sonoleaf::text
