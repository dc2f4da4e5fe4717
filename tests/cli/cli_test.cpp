// sonoleaf-cli as its users run it: a child process with no display and no sound
// server, judged by its output, exit status and files, which must be those the
// window's jobs make with the same settings.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "book/outline_pdf.h"
#include "pdf/minimal_pdf.h"
#include "platform/text/book_metadata.h"
#include "platform/text/text_convert.h"
#include "speech/speech_engine.h"
#include "support/audio_file_check.h"
#include "support/cli_process.h"
#include "support/recording_alerts.h"
#include "support/temp_dir.h"

namespace sonoleaf::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kSentence[] = "The quick brown fox jumps over the lazy dog near the river bank. ";

std::string Sentences(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += kSentence;
    return text;
}

std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Every file of a folder, by name, with its bytes.
std::map<std::string, std::string> FilesIn(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = Bytes(entry.path());
    return files;
}

// Where two folders' files differ, by name, or empty when they are the same.
std::string Difference(const std::map<std::string, std::string>& made,
                       const std::map<std::string, std::string>& expected) {
    std::string report;
    for (const auto& [name, bytes] : made) {
        const auto other = expected.find(name);
        if (other == expected.end()) {
            report += name + " is extra; ";
        } else if (other->second != bytes) {
            report += name + " differs (" + std::to_string(bytes.size()) + " against " +
                      std::to_string(other->second.size()) + " bytes); ";
        }
    }
    for (const auto& [name, bytes] : expected)
        if (!made.contains(name)) report += name + " is missing; ";
    return report;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class CliTest : public ::testing::Test {
  protected:
    fs::path Write(const std::string& name, const std::string& bytes) const {
        const fs::path path = dir.Path() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    fs::path Folder(const std::string& name) const {
        const fs::path path = dir.Path() / name;
        fs::create_directories(path);
        return path;
    }

    // The window's engine in this process, with the CLI's defaults but for `type`,
    // rendering one file at a time; its messages are swallowed.
    std::unique_ptr<SpeechEngine> WindowEngine(AudioType type) {
        auto engine = std::make_unique<SpeechEngine>(speech_service::CreateSystemSpeechService());
        VoiceProfile profile;
        profile.audioType = type;
        engine->CopyProfile(profile);
        return engine;
    }

    TempDir dir;
    AlertCapture alerts;
};

struct UsageCase {
    std::vector<std::string> arguments;  // "IN" and "OUT" stand for a text file and a folder
    int status;
    std::string stream;  // "out" or "err": where `expected` must appear
    std::string expected;
};

TEST_F(CliTest, UsageErrorsHelpAndVersion) {
    const std::string in = Write("book.txt", Sentences(2)).string();
    const std::string out = (dir.Path() / "out").string();
    const std::vector<UsageCase> cases = {
        {{}, 2, "err", "no command given"},
        {{"frobnicate"}, 2, "err", "unknown command 'frobnicate'"},
        {{"render", "IN"}, 2, "err", "render needs TEXTFILE FOLDER"},
        {{"list", "--length", "10", "IN"}, 2, "err", "list needs TEXTFILE FOLDER"},
        {{"pdf", "IN"}, 2, "err", "pdf needs PDFFILE FOLDER"},
        {{"voices", "IN"}, 2, "err", "voices takes no files"},
        {{"speak", "IN", "IN"}, 2, "err", "speak takes one text file"},
        {{"render", "--volume", "101", "IN", "OUT"}, 2, "err", "--volume must be"},
        {{"render", "--volume=-1", "IN", "OUT"}, 2, "err", "--volume must be"},
        {{"render", "--speed", "11", "IN", "OUT"}, 2, "err", "--speed must be"},
        {{"render", "--speed", "1x", "IN", "OUT"}, 2, "err", "--speed must be"},
        {{"render", "--format", "ogg", "IN", "OUT"}, 2, "err", "--format must be mp3, wav or m4b"},
        {{"render", "--jobs", "0", "IN", "OUT"}, 2, "err", "--jobs must be"},
        {{"render", "--voice", "Nobody Here", "IN", "OUT"}, 2, "err", "no voice named"},
        {{"render", "--voice"}, 2, "err", "Missing value after '--voice'"},
        {{"render", "--loud", "IN", "OUT"}, 2, "err", "Unknown option 'loud'"},
        {{"render", "--length", "5", "IN", "OUT"}, 2, "err", "go with list only"},
        {{"render", "--chapters", "IN", "OUT"}, 2, "err", "--chapters goes with pdf"},
        {{"list", "IN", "OUT"}, 2, "err", "either --length N or --titles"},
        {{"list", "--length", "5", "--titles", "IN", "OUT"}, 2, "err", "either --length"},
        {{"list", "--length", "5", "--start", "2", "IN", "OUT"}, 2, "err", "--titles only"},
        {{"list", "--length", "0", "IN", "OUT"},
         2,
         "err",
         "Invalid Input, Value Must be between 1 and 2^25"},
        {{"list", "--length", "33554433", "IN", "OUT"},
         2,
         "err",
         "Invalid Input, Value Must be between 1 and 2^25"},
        {{"list", "--length", "+5", "IN", "OUT"},
         2,
         "err",
         "Invalid Input, Value Must be between 1 and 2^25"},
        {{"list", "--titles", "--start", "0", "IN", "OUT"},
         2,
         "err",
         "You have given invalid file name starting number"},
        {{"render", "MISSING", "OUT"}, 1, "err", "cannot read"},
        {{"render", "--pronunciations", "MISSING", "IN", "OUT"}, 1, "err", "missing.txt': No such"},
        {{"render", "--pronunciations=", "IN", "OUT"}, 2, "err", "--pronunciations needs a file"},
        {{"render", "IN/x", "OUT"}, 1, "err", "x': Not a directory"},
        {{"list", "--length", "9", "OUT", "OUT"}, 1, "err", "not a file"},
        {{"--help"}, 0, "out", "usage: sonoleaf-cli"},
        {{"render", "--help"}, 0, "out", "sonoleaf-cli list   [OPTIONS] --titles"},
        {{"--version"}, 0, "out", "sonoleaf-cli 1.0\n"},
    };
    for (const UsageCase& c : cases) {
        std::vector<std::string> arguments;
        for (const std::string& a : c.arguments) {
            arguments.push_back(a == "IN/x"      ? in + "/x"
                                : a == "IN"      ? in
                                : a == "OUT"     ? out
                                : a == "MISSING" ? (dir.Path() / "missing.txt").string()
                                                 : a);
        }
        fs::create_directories(out);
        const CliResult result = RunCli(arguments);
        const std::string where = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(result.status, c.status) << where << "\n" << result.err;
        EXPECT_NE((c.stream == "out" ? result.out : result.err).find(c.expected), std::string::npos)
            << where << "\nout: " << result.out << "\nerr: " << result.err;
        if (c.status == 2) {
            EXPECT_NE(result.err.find("usage:"), std::string::npos) << where;
        }
        EXPECT_TRUE(fs::is_empty(out)) << where << ": nothing may be made";
    }
}

TEST_F(CliTest, VoicesListsFliteAndEspeakVoicesInRanking) {
    const CliResult result = RunCli({"voices"});
    ASSERT_EQ(result.status, 0) << result.err;
    bool flite = false;
    bool espeak = false;
    for (const std::string& line : Lines(result.out)) {
        const std::size_t first = line.find('\t');
        const std::size_t second = line.find('\t', first + 1);
        ASSERT_NE(second, std::string::npos) << line;
        const std::string gender = line.substr(first + 1, second - first - 1);
        EXPECT_TRUE(gender == "Male" || gender == "Female") << line;
        flite = flite || line.starts_with("Flite ");
        espeak = espeak || line.starts_with("eSpeak NG ");
    }
    EXPECT_TRUE(flite) << result.out;
    EXPECT_TRUE(espeak) << result.out;
}

// With no synthesizer that works there is nothing to list, and the command says why.
TEST_F(CliTest, VoicesWithoutASynthesizerSayWhy) {
    ::setenv("SONOLEAF_ENGINES", "flight", 1);
    const CliResult result = RunCli({"voices"});
    ::unsetenv("SONOLEAF_ENGINES");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("SONOLEAF_ENGINES names no synthesizer known here: 'flight'"),
              std::string::npos)
        << result.err;
}

struct RenderCase {
    std::string format;
    AudioType type;
    std::string extension;
};

TEST_F(CliTest, RenderMakesTheWindowsFileByteForByte) {
    for (const RenderCase& c : {RenderCase{"wav", Wav, ".wav"}, RenderCase{"mp3", Mp3, ".mp3"}}) {
        const fs::path source = Write("chapter one.txt", Sentences(3));
        const fs::path cliOut = Folder("cli-" + c.format);
        const fs::path windowOut = Folder("window-" + c.format);
        const CliResult result =
            RunCli({"render", "--format", c.format, source.string(), cliOut.string()});
        ASSERT_EQ(result.status, 0) << result.err;
        WindowEngine(c.type)->MakeAudioFromTextFile(source.u16string(), windowOut.u16string());

        const auto made = FilesIn(cliOut);
        EXPECT_EQ(Difference(made, FilesIn(windowOut)), "");
        ASSERT_EQ(made.size(), 1u);
        EXPECT_EQ(made.begin()->first, "chapter one" + c.extension);
        EXPECT_TRUE(CheckAudioFile(cliOut / made.begin()->first).valid);
        EXPECT_NE(result.out.find("File is saved to: "), std::string::npos) << result.out;
        EXPECT_NE(result.out.find("Text File to Audio Operation Ended"), std::string::npos);
        EXPECT_NE(result.err.find("1/1 files"), std::string::npos) << result.err;
    }
}

struct ListCase {
    std::vector<std::string> options;
    AudioType type;
    bool byTitles;
    std::int32_t number;  // the length, or the first title's number
    std::vector<std::string> names;
};

// Lists rendered on two helpers equal the window's engine rendering one file at a time.
TEST_F(CliTest, ListsMakeTheWindowsFilesByteForByte) {
    const std::string titled = "<title>One. " + Sentences(1) + "</title>junk<title>Two. " +
                               Sentences(1) + "</title><title>Three.</title>";
    const std::vector<ListCase> cases = {
        {{"--length", "150", "--format", "wav"},
         Wav,
         false,
         150,
         {"book_1.wav", "book_2.wav", "book_3.wav"}},
        {{"--length=200"}, Mp3, false, 200, {"book_1.mp3", "book_2.mp3"}},
        {{"--titles", "--start", "7", "--format", "wav"},
         Wav,
         true,
         7,
         {"book_7.wav", "book_8.wav", "book_9.wav"}},
    };
    int run = 0;
    for (const ListCase& c : cases) {
        const fs::path source = Write("book.txt", c.byTitles ? titled : Sentences(6));
        const fs::path cliOut = Folder("cli" + std::to_string(run));
        const fs::path windowOut = Folder("window" + std::to_string(run++));
        std::vector<std::string> arguments = {"list", "--jobs", "2"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        arguments.push_back(source.string());
        arguments.push_back(cliOut.string());
        const CliResult result = RunCli(arguments);
        ASSERT_EQ(result.status, 0) << result.err;

        const auto engine = WindowEngine(c.type);
        if (c.byTitles) {
            engine->titleListRunning = true;
            engine->MakeAudioListByTitles(source.u16string(), windowOut.u16string(), c.number);
        } else {
            engine->lengthListRunning = true;
            engine->MakeAudioListByLength(source.u16string(), windowOut.u16string(), c.number);
        }
        const auto made = FilesIn(cliOut);
        EXPECT_EQ(Difference(made, FilesIn(windowOut)), "") << ::testing::PrintToString(c.options);
        std::vector<std::string> names;
        for (const auto& [name, bytes] : made) names.push_back(name);
        EXPECT_EQ(names, c.names);
        const std::string total = std::to_string(c.names.size());
        EXPECT_NE(result.err.find(total + "/" + total + " files"), std::string::npos) << result.err;
        EXPECT_NE(
            result.out.find(c.byTitles ? "Audio list by given <title>...</title> tag completed"
                                       : "Text file to Audio List operation done"),
            std::string::npos)
            << result.out;
    }
}

// The Name of the first voice of `gender` in the ranking whose Name begins with `prefix`.
std::string RankedVoice(const std::string& gender, const std::string& prefix) {
    for (const std::string& line : Lines(RunCli({"voices"}).out)) {
        if (line.starts_with(prefix) && line.find("\t" + gender + "\t") != std::string::npos)
            return line.substr(0, line.find('\t'));
    }
    return {};
}

// A voice picked by its Name reads every file, also those rendered by the helpers.
TEST_F(CliTest, VoiceByNameReadsEveryFile) {
    const std::string chosen = RankedVoice("Female", "eSpeak NG ");
    ASSERT_FALSE(chosen.empty());
    const fs::path source = Write("named.txt", Sentences(4));
    const fs::path listOut = Folder("list");
    const CliResult list = RunCli({"list", "--jobs", "2", "--length", "150", "--voice", chosen,
                                   source.string(), listOut.string()});
    ASSERT_EQ(list.status, 0) << list.err;
    const auto files = AudioFilesIn(listOut);
    ASSERT_EQ(files.size(), 2u);
    for (const fs::path& file : files)
        EXPECT_EQ(ReadId3Texts(file)["COMM"], "Read by " + chosen) << file;

    // The first female voice named is the very voice --voice female reads with.
    const std::string first = RankedVoice("Female", "");
    const fs::path byName = Folder("by-name");
    const fs::path byGender = Folder("by-gender");
    ASSERT_EQ(RunCli({"render", "--voice", first, source.string(), byName.string()}).status, 0);
    ASSERT_EQ(RunCli({"render", "--voice", "female", source.string(), byGender.string()}).status,
              0);
    EXPECT_EQ(Difference(FilesIn(byName), FilesIn(byGender)), "");
    EXPECT_EQ(ReadId3Texts(byName / "named.mp3")["COMM"], "Read by " + first);
}

// The user's list, its third line bad: the message names it, the other rules apply.
constexpr char kRules[] = "Sonoleaf = sonno leaf\n/(\\d+) ?km\\b/ = $1 kilometres\n/(/ = x\n";

// Rules change what either engine says: a text read with them is, sample for sample,
// its respelling read without, also in the helpers' list files, whatever their number;
// a long render's segments (respelled piece by piece, the text cut as written) are the
// same however many helpers make them; an audiobook's chapters keep their titles as
// written.
TEST_F(CliTest, PronunciationRulesRespellWhatTheVoicesSay) {
    const std::string rules = Write("rules.txt", kRules).string();
    const std::string none = Write("none.txt", "").string();
    std::string text = "Sonoleaf's walk: 5km.", respelled = "sonno leaf's walk: 5 kilometres.";
    std::string longText;
    for (int i = 0; i < 110; ++i)  // past a segment's 2,000 bytes
        longText += "Sonoleaf ran " + std::to_string(i) + "km. ";
    const std::string titles = "<title>Sonoleaf</title><title>At 3km.</title><title>Day</title>";
    const std::string respelledTitles =
        "<title>sonno leaf</title><title>At 3 kilometres.</title><title>Day</title>";
    int run = 0;
    std::string told;
    const auto made = [&](std::vector<std::string> arguments, const std::string& list,
                          const std::string& words, const std::string& format = "wav") {
        const fs::path folder = Folder("r" + std::to_string(run++));
        arguments.insert(arguments.end(), {"--format", format, "--pronunciations", list,
                                           Write("talk.txt", words).string(), folder.string()});
        const CliResult result = RunCli(arguments);
        EXPECT_EQ(result.status, 0) << result.err;
        told = result.out;
        return FilesIn(folder);
    };
    const std::vector<std::vector<std::string>> commands = {
        {"render", "--voice", "Flite rms (US English) Male", text, respelled},
        {"render", "--voice", "eSpeak NG English (America) Male", text, respelled},
        {"render", "--jobs", "2", longText, ""},
        {"list", "--titles", "--jobs", "3", titles, respelledTitles}};  // then --jobs 1
    for (std::vector<std::string> command : commands) {
        const std::string to = command.back(), from = command.end()[-2];
        command.resize(command.size() - 2);
        const auto withRules = made(command, rules, from);
        EXPECT_NE(told.find("rules.txt: these lines are not used:\nline 3: "), std::string::npos)
            << told;
        if (to.empty()) {
            EXPECT_EQ(Difference(withRules, made({"render", "--jobs", "1"}, rules, from)), "");
            EXPECT_NE(Difference(withRules, made(command, none, from)), "");
        } else {
            EXPECT_EQ(Difference(withRules, made(command, none, to)), "") << command[2];
        }
        if (command[0] == "list") {
            EXPECT_EQ(Difference(made({"list", "--titles"}, rules, from), withRules), "");
        }
    }
    const fs::path book = dir.Path() / ("r" + std::to_string(run)) / "talk";
    made({"render"}, rules, titles, "m4b");
    std::system(("ffprobe -v error -show_entries chapter_tags=title -of csv=p=0 " + book.string() +
                 ".m4b >" + book.string() + ".txt")
                    .c_str());
    EXPECT_EQ(Bytes(book.string() + ".txt"), "Sonoleaf\nAt 3km.\nDay\n");
}

// Addresses and year ranges are read as words, with no pronunciation list at all: the
// file is, byte for byte, that of the words written out; its name and its title tag
// keep the text as written.
TEST_F(CliTest, AddressesAndYearRangesAreReadAsWords) {
    const std::string stem = "See www.example.com from 1949 to 1976";
    const std::string none = Write("none.txt", "").string();
    const auto made = [&](const std::string& name, const std::string& words,
                          const std::string& format) {
        Folder(name + "-in");
        const fs::path source = Write(name + "-in/" + stem + ".txt", words);
        const fs::path folder = Folder(name);
        const CliResult result = RunCli({"render", "--format", format, "--pronunciations", none,
                                         source.string(), folder.string()});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out.find("dot com"), std::string::npos) << result.out;
        return folder;
    };
    const std::string written =
        "Write to mail@example.org or see https://www.example.com/page, from 1949 to 1976.";
    const std::string words =
        "Write to an e-mail address at example dot org or see a link to example dot com, "
        "from nineteen forty nine to nineteen seventy six.";
    const auto asWritten = FilesIn(made("written", written, "wav"));
    ASSERT_EQ(asWritten.size(), 1u);
    EXPECT_EQ(asWritten.begin()->first, stem + ".wav");
    EXPECT_EQ(Difference(asWritten, FilesIn(made("words", words, "wav"))), "");
    const fs::path mp3 = made("tagged", written, "mp3") / (stem + ".mp3");
    EXPECT_EQ(ReadId3Texts(mp3)["TIT2"], stem);
}

struct SignalCase {
    int signal;
    int status;
};

// Stop by signal: no file starts after it, the files there are whole, the status
// tells which signal it was.
TEST_F(CliTest, SignalStopsAListBetweenFiles) {
    for (const SignalCase& c : {SignalCase{SIGINT, 130}, SignalCase{SIGTERM, 143}}) {
        const fs::path source = Write("long.txt", Sentences(60));
        const fs::path out = Folder("stopped" + std::to_string(c.signal));
        CliProcess cli({"list", "--jobs", "1", "--format", "wav", "--length", "130",
                        source.string(), out.string()});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (AudioFilesIn(out).size() < 2 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_GE(AudioFilesIn(out).size(), 2u);
        ::kill(cli.Pid(), c.signal);
        const CliResult result = cli.Finish(60);
        EXPECT_EQ(result.status, c.status) << result.err;
        const auto files = AudioFilesIn(out);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        EXPECT_EQ(AudioFilesIn(out).size(), files.size()) << "a file started after the end";
        EXPECT_LT(files.size(), 30u) << "the list went on";
        for (const fs::path& file : files) {
            const AudioFileReport report = CheckAudioFile(file);
            EXPECT_TRUE(report.valid) << file << ": " << report.problem;
        }
    }
}

// Two books at once, each with its own helper: neither disturbs the other.
TEST_F(CliTest, TwoProcessesRenderTwoBooksAtOnce) {
    const fs::path first = Write("first.txt", Sentences(4));
    const fs::path second = Write("second.txt", "Another book entirely. " + Sentences(3));
    const fs::path firstOut = Folder("a");
    const fs::path secondOut = Folder("b");
    CliProcess one({"list", "--jobs", "1", "--format", "wav", "--length", "120", first.string(),
                    firstOut.string()});
    CliProcess two({"list", "--jobs", "1", "--format", "wav", "--length", "120", second.string(),
                    secondOut.string()});
    ASSERT_EQ(one.Finish().status, 0);
    ASSERT_EQ(two.Finish().status, 0);

    const auto engine = WindowEngine(Wav);
    for (const auto& [source, out] : {std::pair{first, firstOut}, std::pair{second, secondOut}}) {
        const fs::path reference = Folder("reference-" + source.stem().string());
        engine->lengthListRunning = true;
        engine->MakeAudioListByLength(source.u16string(), reference.u16string(), 120);
        EXPECT_EQ(Difference(FilesIn(out), FilesIn(reference)), "") << source;
        EXPECT_FALSE(FilesIn(out).empty());
    }
}

TEST_F(CliTest, SpeakReadsStandardInput) {
    const CliResult result = RunCli({"speak", "--quiet"}, "Hello from a pipe.", true);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "Text File to Speech Operation Ended\n");
    EXPECT_EQ(result.err, "");
}

TEST_F(CliTest, PdfConvertsOrTellsTheFileFailed) {
    const fs::path pdf = Write("paper.pdf", MinimalPdf("Hello PDF"));
    const fs::path broken = Write("broken.pdf", "not a pdf at all");
    const fs::path out = dir.Path() / "text";  // made by the command
    const CliResult good = RunCli({"pdf", pdf.string(), out.string()});
    EXPECT_EQ(good.status, 0) << good.out << good.err;
    EXPECT_NE(good.out.find("Converted File  is Saved to: "), std::string::npos) << good.out;
    EXPECT_NE(Bytes(out / "paper.txt").find("Hello PDF"), std::string::npos);
    const CliResult bad = RunCli({"pdf", broken.string(), out.string()});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find(": This File is Encrypted"), std::string::npos) << bad.err;
}

// --chapters is the window's check box; a voice chosen by its Name reads a German book.
TEST_F(CliTest, ChaptersAndAVoiceByNameForABook) {
    const fs::path out = Folder("out");
    const fs::path pdf =
        Write("paper.pdf", OutlinePdfWriter().Write({{"One", "a"}}, {{"One", 1, {}}}, "T", "A"));
    EXPECT_EQ(RunCli({"pdf", "--chapters", pdf.string(), out.string()}).status, 0);
    EXPECT_TRUE(Bytes(out / "paper.txt").starts_with("<title>One\n"));
    std::ofstream(out / "paper.opf") << text::BookMetadataOpf({u"T", {}, u"de", {}}, {});
    const std::string named = "eSpeak NG English (Great Britain) Male";  // its file is not "en-gb"
    RunCli({"render", "--voice", named, (out / "paper.txt").string(), out.string()});
    EXPECT_EQ(ReadId3Texts(out / "paper.mp3")["COMM"], "Read by " + named);
}

// A failure the window reports in its box is a line on standard error and status 1,
// also when speech could not reach a sound output.
TEST_F(CliTest, FailuresGoToStandardErrorWithStatusOne) {
    const fs::path source = Write("book.txt", "No titles in here at all.");
    const fs::path out = Folder("out");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"list", "--titles", source.string(), out.string()},
         "There is no <title>...</title> tag found"},
        {{"speak", source.string()}, "The text could not be spoken:\nNo sound output could be"},
        {{"pdf", Write("bad.epub", "no").string(), out.string()}, " is not a readable EPUB: "},
    };
    for (const auto& [arguments, failure] : cases) {
        const CliResult result = RunCli(arguments);
        EXPECT_EQ(result.status, 1) << arguments[0];
        EXPECT_NE(result.err.find(failure), std::string::npos) << result.err;
        EXPECT_EQ(result.out.find(failure), std::string::npos) << result.out;
    }
}

}  // namespace
}  // namespace sonoleaf::testing
