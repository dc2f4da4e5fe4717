// Audiobook files (M4B) as players and FFmpeg's own tools read them back: chapters
// encoded apart and joined, tags, cover, chapter lists, what a stop leaves behind,
// and scratch chapters that arrive damaged.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <numeric>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "platform/speech/audiobook_file_stream.h"
#include "platform/speech/audiobook_writer.h"
#include "platform/speech/chapter_encoder.h"
#include "platform/text/text_convert.h"
#include "support/child_process.h"
#include "support/file_contents.h"
#include "support/media_probe.h"
#include "support/temp_dir.h"

namespace sonoleaf::testing {
namespace {

namespace fs = std::filesystem;
namespace ss = speech_service;
using Samples = std::vector<std::int16_t>;

const ss::WaveFormat kPcmFormat{};  // 22,050 Hz 16-bit mono

// Whether the box path (e.g. {"moov", "udta", "chpl"}) is in an MP4 file.
bool HasBox(const std::string& bytes, std::vector<std::string> path, std::size_t at = 0,
            std::size_t end = std::string::npos) {
    end = std::min(end, bytes.size());
    while (at + 8 <= end) {
        std::size_t size = 0;
        for (int i = 0; i < 4; ++i) size = size << 8 | static_cast<std::uint8_t>(bytes[at + i]);
        if (size < 8 || at + size > end) return false;
        if (bytes.compare(at + 4, 4, path.front()) == 0)
            return path.size() == 1 ||
                   HasBox(bytes, {path.begin() + 1, path.end()}, at + 8, at + size);
        at += size;
    }
    return false;
}

// A rising tone, or noise, running on across every join.
Samples Sound(bool noise, std::size_t count) {
    Samples sound(count);
    double phase = 0;
    std::uint32_t seed = 12345;
    for (std::size_t i = 0; i < count; ++i) {
        phase += 2 * M_PI * (200.0 + 2800.0 * static_cast<double>(i) / count) / 22050.0;
        seed = seed * 1664525u + 1013904223u;
        sound[i] = static_cast<std::int16_t>(noise ? static_cast<int>(seed >> 20) * 3 - 6144
                                                   : static_cast<int>(8000 * std::sin(phase)));
    }
    return sound;
}

// Encodes a chapter in a process of its own from a fresh encoder, and reads the
// scratch form it hands over, as the program's helper processes do.
ss::EncodedChapter Encode(std::span<const std::int16_t> sound, std::int64_t start) {
    const ChildOutcome encoded = RunInChild([&] {
        std::unique_ptr<ss::ChapterEncoder> encoder;
        ss::EncodedChapter chapter;
        const bool made = ss::Succeeded(ss::ChapterEncoder::Create(start, encoder)) &&
                          ss::Succeeded(encoder->Write(sound)) &&
                          ss::Succeeded(encoder->Finish(chapter));
        return made ? ss::SerializeChapter(chapter) : std::string();
    });
    ss::EncodedChapter read;
    EXPECT_TRUE(encoded.exited);
    EXPECT_EQ(ss::ParseChapter(encoded.output, read), ss::kOk);
    return read;
}

// The third chapter's title is longer than Nero's chapter list takes (255 bytes).
std::string Title(std::size_t k) {
    std::string title = "Chapter " + std::to_string(k + 1);
    if (k != 2) return title;
    title += ' ';
    for (int i = 0; i < 200; ++i) title += "é";
    return title;
}

ss::HResult WriteBook(const fs::path& path, const Samples& sound,
                      const std::vector<std::int64_t>& lengths, const ss::AudiobookTags& tags = {},
                      std::size_t stopAfter = SIZE_MAX) {
    std::unique_ptr<ss::AudiobookWriter> writer;
    if (const auto hr = ss::AudiobookWriter::Open(path.u16string(), tags, writer); ss::Failed(hr))
        return hr;
    for (std::size_t k = 0; k < lengths.size() && k < stopAfter; ++k) {
        const std::int64_t start = writer->SamplesWritten();
        const auto chapter = Encode(std::span(sound).subspan(start, lengths[k]), start);
        if (const auto hr = writer->AddChapter(text::ToWide(Title(k)), chapter); ss::Failed(hr))
            return hr;
    }
    return writer->Finish();
}

// The mean square of the coding error in each frame-long window.
std::vector<double> WindowErrors(const Samples& source, const Samples& decoded) {
    std::vector<double> errors;
    for (std::size_t at = 0; at + 1024 <= source.size(); at += 1024) {
        double sum = 0;
        for (std::size_t i = at; i < at + 1024; ++i) sum += std::pow(source[i] - decoded[i], 2);
        errors.push_back(sum / 1024);
    }
    return errors;
}

TEST(Audiobook, ChaptersJoinAsIfEncodedInOnePiece) {
    // Joins at all kinds of places within a frame (one on a frame's edge), between long
    // chapters (spliced into) and short ones (encoded anew whole).
    const std::vector<std::int64_t> lengths = {70001, 52000, 1500, 700, 67287, 30000, 60000};
    const auto total = std::accumulate(lengths.begin(), lengths.end(), std::int64_t{0});
    for (const bool noise : {false, true}) {
        SCOPED_TRACE(noise ? "noise" : "tone");
        TempDir dir;
        const Samples sound = Sound(noise, static_cast<std::size_t>(total));
        ASSERT_EQ(WriteBook(dir.Path() / "joined.m4b", sound, lengths), ss::kOk);
        ASSERT_EQ(WriteBook(dir.Path() / "whole.m4b", sound, {total}), ss::kOk);
        const Samples joined = DecodeSamples(dir.Path() / "joined.m4b");
        const Samples whole = DecodeSamples(dir.Path() / "whole.m4b");
        // FFmpeg cuts the priming but keeps the last frame's padding.
        ASSERT_GE(joined.size(), sound.size());
        EXPECT_LT(joined.size(), sound.size() + 1024);
        const auto joinedErrors = WindowErrors(sound, joined);
        const auto wholeErrors = WindowErrors(sound, whole);
        auto sorted = joinedErrors;
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
        const double typical = sorted[sorted.size() / 2];
        // Around each join (the frames encoded anew and the first of the next chapter's
        // own), no more error than one encoding throughout makes there, or elsewhere.
        std::int64_t join = 0;
        for (std::size_t k = 0; k + 1 < lengths.size(); ++k) {
            join += lengths[k];
            const auto from = static_cast<std::size_t>(std::max<std::int64_t>(0, join / 1024 - 24));
            const auto to =
                std::min(joinedErrors.size(), static_cast<std::size_t>(join / 1024 + 32));
            const double worst =
                *std::max_element(joinedErrors.begin() + from, joinedErrors.begin() + to);
            const double reference = std::max(
                typical, *std::max_element(wholeErrors.begin() + from, wholeErrors.begin() + to));
            EXPECT_LT(std::sqrt(worst), 1.5 * std::sqrt(reference))
                << "join at " << join << ", against " << std::sqrt(reference);
        }
    }
}

TEST(Audiobook, FileCarriesChaptersTagsAndCoverAsPlayersRead) {
    TempDir dir;
    const std::vector<std::int64_t> lengths = {60000, 45001, 2000, 50000};
    const Samples sound = Sound(false, 157001);
    for (const char* cover : {"cover.jpg", "cover.png"}) {
        SCOPED_TRACE(cover);
        CommandOutput("ffmpeg -v error -f lavfi -i color=red:s=40x30 -frames:v 1 -y '" +
                      (dir.Path() / cover).string() + "'");
        ss::AudiobookTags tags;
        tags.title = tags.album = u"Le Petit Été";
        tags.artist = u"A. Author";
        tags.comment = u"Read by slt";
        tags.coverPath = (dir.Path() / cover).string();
        const fs::path book = dir.Path() / "book.m4b";
        ASSERT_EQ(WriteBook(book, sound, lengths, tags), ss::kOk);
        auto probe = Probe(book);
        EXPECT_EQ(probe["format.tags.major_brand"], "M4B ");
        EXPECT_EQ(probe["format.tags.media_type"], "2");
        EXPECT_EQ(probe["format.tags.title"], "Le Petit Été");
        EXPECT_EQ(probe["format.tags.album"], "Le Petit Été");
        EXPECT_EQ(probe["format.tags.artist"], "A. Author");
        EXPECT_EQ(probe["format.tags.genre"], "Audiobook");
        EXPECT_EQ(probe["format.tags.comment"], "Read by slt");
        EXPECT_EQ(probe["streams.stream.0.codec_name"], "aac");
        EXPECT_EQ(probe["streams.stream.0.profile"], "LC");
        EXPECT_EQ(probe["streams.stream.0.sample_rate"], "22050");
        EXPECT_EQ(probe["streams.stream.0.channels"], "1");
        EXPECT_EQ(probe["streams.stream.0.duration_ts"], "157001");
        // The cover: an attached picture (MP4's "covr").
        bool coverFound = false;
        for (int i = 1; i < 3; ++i) {
            const std::string stream = "streams.stream." + std::to_string(i) + ".";
            if (probe[stream + "disposition.attached_pic"] != "1") continue;
            coverFound = true;
            EXPECT_EQ(probe[stream + "codec_name"], cover[6] == 'j' ? "mjpeg" : "png");
            EXPECT_EQ(probe[stream + "width"], "40");
        }
        EXPECT_TRUE(coverFound);
        std::int64_t start = 0;
        for (std::size_t k = 0; k < lengths.size(); ++k) {
            const std::string chapter = "chapters.chapter." + std::to_string(k) + ".";
            // Cut at a character's edge: "Chapter 3 " and 122 two-byte letters.
            EXPECT_EQ(probe[chapter + "tags.title"], Title(k).substr(0, k == 2 ? 254 : 255));
            EXPECT_NEAR(std::stod(probe[chapter + "start_time"]), start / 22050.0, 0.0005);
            start += lengths[k];
        }
        EXPECT_EQ(probe.count("chapters.chapter.4.start"), 0u);
        // Both chapter lists: the QuickTime track (a reference to it) and Nero's.
        const std::string bytes = FileBytes(book);
        EXPECT_TRUE(HasBox(bytes, {"moov", "udta", "chpl"}));
        EXPECT_TRUE(HasBox(bytes, {"moov", "trak", "tref", "chap"}));
    }
}

TEST(Audiobook, StreamWritesOneRenderAsAChapteredBook) {
    TempDir dir;
    const fs::path book = dir.Path() / "Render.M4B";
    EXPECT_TRUE(ss::AudiobookFileStream::IsM4bPath(book.string()));
    const Samples sound = Sound(false, 100000);
    ss::AudiobookFileStream stream;
    ASSERT_EQ(stream.BindToFile(book.u16string(), ss::kFileModeCreateAlways,
                                ss::StreamFormatId::WaveFormatEx, &kPcmFormat, 0),
              ss::kOk);
    ss::FileTags tags;
    tags.title = u"Story";
    ASSERT_EQ(stream.SetTags(tags), ss::kOk);
    ASSERT_EQ(stream.StartChapter(u"Opening"), ss::kOk);
    ASSERT_EQ(stream.StartChapter(u"Prologue"), ss::kOk);  // renames it: still no sample
    for (std::size_t at = 0; at < sound.size(); at += 7001) {
        if (at == 7001 * 4) {
            ASSERT_EQ(stream.StartChapter(u"Middle"), ss::kOk);
        }
        ASSERT_EQ(stream.Write(
                      std::span(sound).subspan(at, std::min<std::size_t>(7001, sound.size() - at))),
                  ss::kOk);
    }
    ASSERT_EQ(stream.Close(), ss::kOk);
    auto probe = Probe(book);
    EXPECT_EQ(probe["format.tags.title"], "Story");
    EXPECT_EQ(probe["format.tags.album"], "Story");
    EXPECT_EQ(probe["format.tags.genre"], "Audiobook");
    EXPECT_EQ(probe["streams.stream.0.duration_ts"], "100000");
    EXPECT_EQ(probe["chapters.chapter.0.tags.title"], "Prologue");
    EXPECT_EQ(probe["chapters.chapter.1.tags.title"], "Middle");
    EXPECT_NEAR(std::stod(probe["chapters.chapter.1.start_time"]), 28004 / 22050.0, 0.0005);
    EXPECT_EQ(probe.count("chapters.chapter.2.start"), 0u);
    // The sound itself, to the sample: a tone comes back with little coding error.
    const Samples decoded = DecodeSamples(book);
    ASSERT_GE(decoded.size(), sound.size());
    const auto errors = WindowErrors(sound, decoded);
    EXPECT_LT(std::sqrt(*std::max_element(errors.begin(), errors.end())), 8000 / 100.0);
}

TEST(Audiobook, PastTwoHundredFiftyFiveChaptersOnlyTheChapterTrackListsThem) {
    TempDir dir;
    const std::vector<std::int64_t> lengths(300, 2205);  // a tenth of a second each
    const Samples sound = Sound(false, 300 * 2205);
    ASSERT_EQ(WriteBook(dir.Path() / "many.m4b", sound, lengths), ss::kOk);
    auto probe = Probe(dir.Path() / "many.m4b");
    EXPECT_EQ(probe["chapters.chapter.299.tags.title"], "Chapter 300");
    EXPECT_NEAR(std::stod(probe["chapters.chapter.299.start_time"]), 29.9, 0.0005);
    const std::string bytes = FileBytes(dir.Path() / "many.m4b");
    EXPECT_FALSE(HasBox(bytes, {"moov", "udta", "chpl"}));
    EXPECT_TRUE(HasBox(bytes, {"moov", "trak", "tref", "chap"}));
}

TEST(Audiobook, StopsLeaveAWholeShorterBookOrNothing) {
    TempDir dir;
    const fs::path book = dir.Path() / "book.m4b";
    std::ofstream(book) << "old";
    const std::map<std::string, std::string> untouched = {{"book.m4b", "old"}};
    const Samples sound = Sound(true, 200000);
    const std::vector<std::int64_t> lengths = {60000, 70000, 70000};
    {  // abandoned mid-book: the old file stays until a whole new one replaces it
        std::unique_ptr<ss::AudiobookWriter> writer;
        ASSERT_EQ(ss::AudiobookWriter::Open(book.u16string(), {}, writer), ss::kOk);
        ASSERT_EQ(writer->AddChapter(u"One", Encode(std::span(sound).first(60000), 0)), ss::kOk);
        EXPECT_EQ(FileBytes(book), "old");
        // and the (hidden) temporary file beside it
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
    }
    EXPECT_EQ(FilesIn(dir.Path()), untouched);
    std::unique_ptr<ss::AudiobookWriter> empty;
    ASSERT_EQ(ss::AudiobookWriter::Open(book.u16string(), {}, empty), ss::kOk);
    EXPECT_EQ(empty->Finish(), ss::kFalse);
    EXPECT_EQ(FilesIn(dir.Path()), untouched);
    {  // a stream released before its first sample
        ss::AudiobookFileStream stream;
        ASSERT_EQ(stream.BindToFile(book.u16string(), ss::kFileModeCreateAlways,
                                    ss::StreamFormatId::WaveFormatEx, &kPcmFormat, 0),
                  ss::kOk);
    }
    EXPECT_EQ(FilesIn(dir.Path()), untouched);
    // Failures before any work: no folder, a cover that is no picture.
    std::unique_ptr<ss::AudiobookWriter> writer;
    EXPECT_EQ(ss::AudiobookWriter::Open((dir.Path() / "none" / "b.m4b").u16string(), {}, writer),
              ss::kFileNotFound);
    ss::AudiobookTags badCover;
    badCover.coverPath = book.string();
    EXPECT_EQ(ss::AudiobookWriter::Open(book.u16string(), badCover, writer), ss::kInvalidArg);
    EXPECT_EQ(FilesIn(dir.Path()), untouched);

    // A list stopped after two chapters is finished as a book of two.
    ASSERT_EQ(WriteBook(book, sound, lengths, {}, 2), ss::kOk);
    auto probe = Probe(book);
    EXPECT_EQ(probe["streams.stream.0.duration_ts"], "130000");
    EXPECT_EQ(probe["chapters.chapter.1.tags.title"], "Chapter 2");
    EXPECT_EQ(probe.count("chapters.chapter.2.start"), 0u);
    EXPECT_EQ(FilesIn(dir.Path()).size(), 1u);

    {  // a render stopped in its second chapter, its stream released without Close
        ss::AudiobookFileStream stream;
        ASSERT_EQ(stream.BindToFile(book.u16string(), ss::kFileModeCreateAlways,
                                    ss::StreamFormatId::WaveFormatEx, &kPcmFormat, 0),
                  ss::kOk);
        ss::FileTags tags;
        tags.artist = u"A. Author";
        ASSERT_EQ(stream.SetTags(tags), ss::kOk);
        ASSERT_EQ(stream.Write(std::span(sound).first(30000)), ss::kOk);
        ASSERT_EQ(stream.StartChapter(u"Two"), ss::kOk);
        ASSERT_EQ(stream.Write(std::span(sound).subspan(30000, 20000)), ss::kOk);
    }
    probe = Probe(book);
    EXPECT_EQ(probe["streams.stream.0.duration_ts"], "50000");
    EXPECT_EQ(probe["format.tags.title"], "book");
    EXPECT_EQ(probe["format.tags.artist"], "A. Author");
    EXPECT_EQ(probe["chapters.chapter.0.tags.title"], "book");
    EXPECT_EQ(probe["chapters.chapter.1.tags.title"], "Two");
    EXPECT_EQ(FilesIn(dir.Path()).size(), 1u);
}

TEST(Audiobook, FullDiskFailsTheBookAndKeepsTheOldFile) {
    TempDir dir;
    const fs::path book = dir.Path() / "book.m4b";
    std::ofstream(book) << "old";
    const Samples sound = Sound(true, 200000);  // some 70 KB of AAC
    for (const bool stream : {false, true}) {
        SCOPED_TRACE(stream ? "stream" : "writer");
        const ChildOutcome outcome = RunInChild([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{20000, 20000};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            if (!stream) return std::to_string(WriteBook(book, sound, {60000, 70000, 70000}));
            ss::AudiobookFileStream file;
            ss::HResult hr = file.BindToFile(book.u16string(), ss::kFileModeCreateAlways,
                                             ss::StreamFormatId::WaveFormatEx, &kPcmFormat, 0);
            if (ss::Succeeded(hr)) hr = file.Write(sound);
            const ss::HResult closed = file.Close();
            return std::to_string(ss::Failed(hr) ? hr : closed);
        });
        EXPECT_TRUE(outcome.exited);
        EXPECT_EQ(outcome.output, std::to_string(ss::kWriteFault));
        EXPECT_EQ(FilesIn(dir.Path()), (std::map<std::string, std::string>{{"book.m4b", "old"}}));
    }
}

TEST(Audiobook, DamagedScratchChapterIsRefusedWithAReason) {
    const Samples sound = Sound(true, 60000);
    const auto chapter = Encode(sound, 777);
    const std::string bytes = ss::SerializeChapter(chapter);
    auto patched = [&](std::size_t at, std::string with) {
        return bytes.substr(0, at) + with + bytes.substr(at + with.size());
    };
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"cut in the header", bytes.substr(0, 12)},
        {"cut in the tables", bytes.substr(0, 100)},
        {"cut in the frames", bytes.substr(0, bytes.size() - 200)},
        {"one byte short", bytes.substr(0, bytes.size() - 1)},
        {"one byte more", bytes + '\0'},
        {"huge sample count", patched(7, std::string(8, '\x7f'))},
        {"huge frame count", patched(15, "\xff\xff\xff\xff")},
        {"frame sizes summing past the end", patched(27, "\xff\x1f")},
        {"a changed frame byte", patched(bytes.size() - 100, "\x5a")},
        {"another format", patched(0, "RIFF")},
    };
    for (const auto& [name, damaged] : cases) {
        SCOPED_TRACE(name);
        ss::EncodedChapter read;
        std::string reason;
        EXPECT_EQ(ss::ParseChapter(damaged, read, &reason), ss::kInvalidArg);
        EXPECT_FALSE(reason.empty());
        EXPECT_EQ(read.frames.Count(), 0u);
    }
    // A whole chapter refused for the wrong place in the book leaves the writer going.
    TempDir dir;
    std::unique_ptr<ss::AudiobookWriter> writer;
    ASSERT_EQ(ss::AudiobookWriter::Open((dir.Path() / "b.m4b").u16string(), {}, writer), ss::kOk);
    EXPECT_EQ(writer->AddChapter(u"Misplaced", chapter), ss::kInvalidArg);
    EXPECT_EQ(writer->AddChapter(u"One", Encode(sound, 0)), ss::kOk);
    EXPECT_EQ(writer->Finish(), ss::kOk);
}

}  // namespace
}  // namespace sonoleaf::testing
