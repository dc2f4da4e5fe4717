// Files written by the real service: their format, their headers, MP3, and what is
// left behind when binding or writing fails.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/speech/service_helpers.h"
#include "platform/speech/sound_file_stream.h"

namespace sonoleaf::testing {
namespace {

const std::u16string kSentence = u"The quick brown fox jumps over the lazy dog.";

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t Le32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
std::uint16_t Le16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}

// Checks the RIFF structure of a PCM 22,050 Hz 16-bit mono file whose header sizes
// match its data; returns the number of data bytes (or -1).
long CheckWaveHeader(const std::filesystem::path& path) {
    const std::string b = ReadBytes(path);
    EXPECT_GE(b.size(), 44u);
    if (b.size() < 44) return -1;
    EXPECT_EQ(b.substr(0, 4), "RIFF");
    EXPECT_EQ(Le32(b, 4), b.size() - 8);
    EXPECT_EQ(b.substr(8, 4), "WAVE");
    bool sawFormat = false;
    for (std::size_t at = 12; at + 8 <= b.size();) {
        const std::string id = b.substr(at, 4);
        const std::uint32_t size = Le32(b, at + 4);
        if (id == "fmt ") {
            sawFormat = true;
            EXPECT_EQ(Le16(b, at + 8), 1);   // PCM
            EXPECT_EQ(Le16(b, at + 10), 1);  // mono
            EXPECT_EQ(Le32(b, at + 12), 22050u);
            EXPECT_EQ(Le32(b, at + 16), 44100u);  // bytes per second
            EXPECT_EQ(Le16(b, at + 20), 2);       // block alignment
            EXPECT_EQ(Le16(b, at + 22), 16);
        } else if (id == "data") {
            EXPECT_TRUE(sawFormat);
            EXPECT_EQ(size, b.size() - at - 8) << "data size against file size";
            EXPECT_EQ(size % 2, 0u);
            return static_cast<long>(size);
        }
        at += 8 + size + (size & 1);
    }
    ADD_FAILURE() << "no data chunk";
    return -1;
}

std::string RunCommand(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    status = ::pclose(pipe);
    return out;
}

TEST(WaveFile, RenderIsPcm22050MonoWithMatchingHeaderThatSoxReads) {
    TempDir dir;
    const auto path = dir.Path() / "fox.wav";
    ASSERT_EQ(RenderToFile(kSentence, path), ss::kOk);
    const long dataBytes = CheckWaveHeader(path);
    // A sentence lasts one to five seconds.
    EXPECT_GT(dataBytes, 44100);
    EXPECT_LT(dataBytes, 5 * 44100);

    int status = -1;
    EXPECT_EQ(RunCommand("sox --i -r '" + path.string() + "'", status), "22050\n");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(RunCommand("sox --i -c '" + path.string() + "'", status), "1\n");
    EXPECT_EQ(RunCommand("sox --i -b '" + path.string() + "'", status), "16\n");
    const std::string stat = RunCommand("sox '" + path.string() + "' -n stat 2>&1", status);
    EXPECT_EQ(status, 0) << stat;
    double seconds = 0;
    const auto at = stat.find("Length (seconds):");
    ASSERT_NE(at, std::string::npos) << stat;
    seconds = std::stod(stat.substr(at + 17));
    EXPECT_NEAR(seconds, dataBytes / 44100.0, 0.001);
}

TEST(WaveFile, Mp3NameGivesMp3OfTheSameSpeech) {
    TempDir dir;
    Audio wave, mp3;
    for (const char* name : {"fox.mp3", "FOX.Mp3"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(RenderToFile(kSentence, dir.Path() / "fox.wav"), ss::kOk);
        ASSERT_EQ(RenderToFile(kSentence, dir.Path() / name), ss::kOk);
        ASSERT_TRUE(ReadAudioFile(dir.Path() / "fox.wav", wave));
        ASSERT_TRUE(ReadAudioFile(dir.Path() / name, mp3));
        EXPECT_EQ(mp3.format & SF_FORMAT_TYPEMASK, SF_FORMAT_MPEG);
        EXPECT_EQ(mp3.sampleRate, 22050);
        EXPECT_EQ(mp3.channels, 1);
        // The encoder adds at most a few frames of padding.
        EXPECT_NEAR(mp3.Seconds(), wave.Seconds(), 0.15);
        EXPECT_NEAR(Rms(mp3.samples), Rms(wave.samples), 0.1 * Rms(wave.samples));
        const auto mp3Span = LoudSpan(mp3.samples, 22050);
        const auto waveSpan = LoudSpan(wave.samples, 22050);
        EXPECT_NEAR(static_cast<double>(mp3Span.Length()), static_cast<double>(waveSpan.Length()),
                    0.1 * 22050);
        // A speech bit rate: 64 kbit/s.
        const double bytesPerSecond =
            static_cast<double>(std::filesystem::file_size(dir.Path() / name)) / wave.Seconds();
        EXPECT_NEAR(bytesPerSecond, 8000.0, 1200.0);
    }
}

TEST(WaveFile, BindingWhereNoFileCanBeMadeFailsAndLeavesNoFile) {
    TempDir dir;
    std::ofstream(dir.Path() / "plain.txt") << "not a folder";
    const std::filesystem::path cases[] = {
        dir.Path() / "missing" / "out.wav",
        dir.Path() / "missing" / "out.mp3",
        dir.Path() / "plain.txt" / "out.wav",
        "/proc/sonoleaf-out.wav",
        dir.Path(),  // a folder, not a file
    };
    for (const auto& path : cases) {
        SCOPED_TRACE(path.string());
        std::shared_ptr<ss::FileStream> stream;
        ASSERT_EQ(Service()->CreateFileStream(stream), ss::kOk);
        EXPECT_TRUE(ss::Failed(stream->BindToFile(path.u16string(), ss::kFileModeCreateAlways,
                                                  ss::StreamFormatId::WaveFormatEx, &kWaveFormat,
                                                  ss::kAllEvents)));
        EXPECT_TRUE(ss::Succeeded(stream->Close()));
        if (path != dir.Path()) {
            EXPECT_FALSE(std::filesystem::exists(path));
        }
        // A voice whose output is an unbound stream speaks nothing.
        auto voice = MakeVoice({});
        ASSERT_EQ(voice->SetOutput(stream, true), ss::kOk);
        EXPECT_TRUE(ss::Failed(voice->Speak(kSentence, 0, nullptr)));
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "missing"));
}

TEST(WaveFile, OnlyTheServicesFormatIsAccepted) {
    TempDir dir;
    const auto path = dir.Path() / "x.wav";
    ss::WaveFormat stereo;
    stereo.channels = 2;
    stereo.blockAlign = 4;
    stereo.avgBytesPerSec = 88200;
    std::shared_ptr<ss::FileStream> stream;
    ASSERT_EQ(Service()->CreateFileStream(stream), ss::kOk);
    EXPECT_EQ(stream->BindToFile(path.u16string(), ss::kFileModeCreateAlways,
                                 ss::StreamFormatId::WaveFormatEx, &stereo, ss::kAllEvents),
              ss::kInvalidArg);
    EXPECT_EQ(stream->BindToFile(path.u16string(), 1, ss::StreamFormatId::WaveFormatEx,
                                 &kWaveFormat, ss::kAllEvents),
              ss::kInvalidArg);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(WaveFile, ReplacesAnExistingFile) {
    TempDir dir;
    const auto path = dir.Path() / "old.wav";
    std::ofstream(path) << std::string(500000, 'x');
    ASSERT_EQ(RenderToFile(u"Hello.", path), ss::kOk);
    const long dataBytes = CheckWaveHeader(path);
    EXPECT_GT(dataBytes, 0);
    EXPECT_LT(std::filesystem::file_size(path), 500000u);
}

// The file is valid at every stop: after binding, after each Speak, and when the
// stream is dropped without Close.
TEST(WaveFile, HeaderIsValidWithoutClose) {
    TempDir dir;
    const auto path = dir.Path() / "open.wav";
    std::shared_ptr<ss::FileStream> stream;
    ASSERT_EQ(Service()->CreateFileStream(stream), ss::kOk);
    ASSERT_EQ(stream->BindToFile(path.u16string(), ss::kFileModeCreateAlways,
                                 ss::StreamFormatId::WaveFormatEx, &kWaveFormat, ss::kAllEvents),
              ss::kOk);
    EXPECT_EQ(CheckWaveHeader(path), 0);
    auto voice = MakeVoice({});
    ASSERT_EQ(voice->SetOutput(stream, true), ss::kOk);
    ASSERT_EQ(voice->Speak(u"One.", 0, nullptr), ss::kOk);
    const long afterOne = CheckWaveHeader(path);
    EXPECT_GT(afterOne, 0);
    ASSERT_EQ(voice->Speak(u"Two.", 0, nullptr), ss::kOk);
    const long afterTwo = CheckWaveHeader(path);
    EXPECT_GT(afterTwo, afterOne);
    voice.reset();
    stream.reset();
    EXPECT_EQ(CheckWaveHeader(path), afterTwo);
    Audio audio;
    ASSERT_TRUE(ReadAudioFile(path, audio));
    EXPECT_EQ(static_cast<long>(audio.samples.size()) * 2, afterTwo);
}

// Renders a long text while files may grow to `limit` bytes: 0 when Speak failed.
int RenderWithFileSizeLimit(const std::filesystem::path& path, rlim_t limit) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit bound{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &bound);
    std::u16string text;
    for (int i = 0; i < 20; ++i) text += kSentence + u" ";
    return ss::Failed(RenderToFile(text, path)) ? 0 : 1;
}

// A full disk (here a file size limit) makes Speak fail; the file left is a valid,
// shorter WAV.
TEST(WaveFileDeathTest, WriteFailureFailsSpeakAndLeavesValidFile) {
    // The child shares this process's state, its temporary folder among it.
    GTEST_FLAG_SET(death_test_style, "fast");
    TempDir dir;
    const auto path = dir.Path() / "full.wav";
    constexpr rlim_t kLimit = 100000;
    EXPECT_EXIT(std::_Exit(RenderWithFileSizeLimit(path, kLimit)), ::testing::ExitedWithCode(0),
                "");
    const long dataBytes = CheckWaveHeader(path);
    EXPECT_GT(dataBytes, 0);
    EXPECT_LE(std::filesystem::file_size(path), kLimit);
    Audio audio;
    EXPECT_TRUE(ReadAudioFile(path, audio));
}

}  // namespace
}  // namespace sonoleaf::testing

namespace sonoleaf::testing {
namespace {

// A file that already holds `dataBytes` of samples (written sparse, so that no
// gigabytes are written), then one second of a ramp, read back by libsndfile.
struct LongFile {
    std::string header;  // the first 80 bytes
    sf_count_t frames = 0;
    int container = 0;  // SF_FORMAT_WAV or SF_FORMAT_RF64
    bool tailMatches = false;
};

std::string ReadHead(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string head(80, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head;
}

LongFile WriteLongFile(const std::filesystem::path& path, std::uint64_t dataBytes) {
    std::vector<std::int16_t> ramp(22050);
    for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::int16_t>(i % 30000);
    LongFile result;
    {
        ss::SoundFileStream stream;
        EXPECT_EQ(stream.BindToFile(path.u16string(), ss::kFileModeCreateAlways,
                                    ss::StreamFormatId::WaveFormatEx, &kWaveFormat, ss::kAllEvents),
                  ss::kOk);
        EXPECT_EQ(stream.SkipAhead(dataBytes), ss::kOk);
        EXPECT_EQ(stream.Write(ramp), ss::kOk);
        result.header = ReadHead(path);  // valid before the close, too
        EXPECT_EQ(stream.Close(), ss::kOk);
    }
    EXPECT_EQ(ReadHead(path), result.header);
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return result;
    result.frames = info.frames;
    result.container = info.format & SF_FORMAT_TYPEMASK;
    std::vector<std::int16_t> tail(ramp.size());
    sf_seek(file, static_cast<sf_count_t>(dataBytes / 2), SEEK_SET);
    result.tailMatches = sf_read_short(file, tail.data(), static_cast<sf_count_t>(tail.size())) ==
                             static_cast<sf_count_t>(tail.size()) &&
                         tail == ramp;
    sf_close(file);
    return result;
}

// Up to 4 GiB a plain WAV (a JUNK chunk keeps the room); past it RF64, and readers
// get every sample. The format chunk stays plain PCM either way.
TEST(WaveFile, PastFourGibibytesBecomesRf64AndKeepsEverySample) {
    constexpr std::uint64_t kLargestRiff = 0xFFFFFFFFull - 72 - 44100;  // RIFF size at the top
    const struct {
        const char* name;
        std::uint64_t dataBytes;
        bool rf64;
    } cases[] = {
        {"short", 0, false},
        {"RIFF size at its largest", kLargestRiff & ~1ull, false},
        {"one sample past", (kLargestRiff & ~1ull) + 2, true},
        {"30 hours of speech", 30ull * 3600 * 44100, true},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = dir.Path() / "book.wav";
        const LongFile file = WriteLongFile(path, c.dataBytes);
        EXPECT_EQ(file.header.substr(0, 4), c.rf64 ? "RF64" : "RIFF");
        EXPECT_EQ(file.header.substr(12, 4), c.rf64 ? "ds64" : "JUNK");
        EXPECT_EQ(file.header.substr(48, 4), "fmt ");
        EXPECT_EQ(Le32(file.header, 52), 16u);  // no extra format bytes
        EXPECT_EQ(Le16(file.header, 56), 1);    // PCM
        EXPECT_EQ(file.container, c.rf64 ? SF_FORMAT_RF64 : SF_FORMAT_WAV);
        EXPECT_EQ(file.frames, static_cast<sf_count_t>(c.dataBytes / 2 + 22050));
        EXPECT_TRUE(file.tailMatches);
        if (c.dataBytes == 0) {
            EXPECT_EQ(CheckWaveHeader(path), 44100);
        }
        std::filesystem::remove(path);
    }
}

// The same past 4 GiB for real, every byte written (4.1 GiB on disk for a minute or
// so): only when SONOLEAF_LONG_TESTS is set.
TEST(WaveFileLong, FourGibibytesWrittenForReal) {
    if (std::getenv("SONOLEAF_LONG_TESTS") == nullptr)
        GTEST_SKIP() << "SONOLEAF_LONG_TESTS not set";
    TempDir dir;
    const auto path = dir.Path() / "long.wav";
    constexpr std::uint64_t kSeconds = 27 * 3600 + 10 * 60;  // past 4 GiB of samples
    std::vector<std::int16_t> second(22050);
    for (std::size_t i = 0; i < second.size(); ++i)
        second[i] = static_cast<std::int16_t>(8000 * ((i / 50) % 2 == 0 ? 1 : -1));
    {
        ss::SoundFileStream stream;
        ASSERT_EQ(stream.BindToFile(path.u16string(), ss::kFileModeCreateAlways,
                                    ss::StreamFormatId::WaveFormatEx, &kWaveFormat, ss::kAllEvents),
                  ss::kOk);
        for (std::uint64_t s = 0; s < kSeconds; ++s) ASSERT_EQ(stream.Write(second), ss::kOk);
        ASSERT_EQ(stream.Close(), ss::kOk);
    }
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    sf_close(file);
    EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_RF64);
    EXPECT_EQ(info.frames, static_cast<sf_count_t>(kSeconds * 22050));
    std::printf("long WAV: %.2f hours read back from %.2f GiB\n", info.frames / 22050.0 / 3600,
                std::filesystem::file_size(path) / 1073741824.0);
}

}  // namespace
}  // namespace sonoleaf::testing
