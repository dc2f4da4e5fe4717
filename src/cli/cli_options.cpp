#include "cli/cli_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <charconv>
#include <map>
#include <optional>
#include <string_view>

#include "jobs/voice_profile.h"
#include "lists/list_numbers.h"
#include "platform/process/spawn.h"
#include "platform/text/text_convert.h"

namespace sonoleaf::cli {
namespace {

// Jobs beyond this are certainly a typing mistake, not a machine.
constexpr int kMaxJobs = 1024;

constexpr char kSynopsis[] =
    "usage: sonoleaf-cli voices\n"
    "       sonoleaf-cli speak  [OPTIONS] [TEXTFILE|-]\n"
    "       sonoleaf-cli render [OPTIONS] TEXTFILE FOLDER\n"
    "       sonoleaf-cli list   [OPTIONS] --length N TEXTFILE FOLDER\n"
    "       sonoleaf-cli list   [OPTIONS] --titles [--start K] TEXTFILE FOLDER\n"
    "       sonoleaf-cli pdf    [--chapters] PDFFILE|EPUBFILE FOLDER\n";

const std::map<std::string_view, Command> kCommands = {{"voices", Command::Voices},
                                                       {"speak", Command::Speak},
                                                       {"render", Command::Render},
                                                       {"list", Command::List},
                                                       {"pdf", Command::Pdf}};

struct Options {
    QCommandLineOption voice{"voice", "male, female, or a voice by the Name 'voices' prints.",
                             "male|female|NAME"};
    QCommandLineOption format{"format", "The audio type (mp3); m4b: one audiobook with chapters.",
                              "mp3|wav|m4b"};
    QCommandLineOption volume{"volume", "Volume from 0 to 100 (80).", "0..100"};
    QCommandLineOption speed{"speed", "Speed from -10 to 10 (-2).", "-10..10"};
    QCommandLineOption jobs{"jobs",
                            "Files of a list, or segments of one render, made at once, each in "
                            "a process of its own (every core).",
                            "N"};
    QCommandLineOption pronunciations{
        "pronunciations",
        "The pronunciation list: word = respelling, one a line (without it, "
        "~/.config/sonoleaf/pronunciations.txt when there is one).",
        "FILE"};
    QCommandLineOption quiet{"quiet", "No progress on standard error."};
    QCommandLineOption length{"length", "list: a file every N bytes.", "N"};
    QCommandLineOption titles{"titles", "list: a file per <title> ... </title> passage."};
    QCommandLineOption start{"start", "list --titles: the first file's number (1).", "K"};
    QCommandLineOption resume{"resume",
                              "list: go on with an unfinished run of the same list in the folder, "
                              "making only what it is missing (without it, the list starts over)."};
    QCommandLineOption subtitles{"subtitles",
                                 "A SubRip file (.srt) beside every audio file written, a cue "
                                 "per sentence; --subtitles=vtt writes WebVTT (.vtt)."};
    // The format given to --subtitles=..., an option of its own once the line is read.
    QCommandLineOption subtitleFormat{"subtitle-format", "", "srt|vtt"};
    QCommandLineOption chapters{"chapters",
                                "pdf: a chapter per top-level entry of the PDF's outline."};
    QCommandLineOption help{QStringList{"h", "help"}, "Shows this help."};
    QCommandLineOption version{"version", "Shows the version."};
};

std::optional<int> WholeNumber(const QString& value, int low, int high) {
    const std::string text = value.toStdString();
    int number = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (text.empty() || error != std::errc() || stop != end || number < low || number > high)
        return std::nullopt;
    return number;
}

CliOptions Defaults() {
    const VoiceProfile window;  // the settings the window starts with
    CliOptions options;
    options.voiceGender = window.voiceGender;
    options.audioType = window.audioType;
    options.volume = window.volume;
    options.speed = window.speed;
    options.jobs = process::UsableCores();
    return options;
}

// The voice, audio and job options; an error line, or empty.
std::string TakeSettings(const QCommandLineParser& parser, const Options& o, CliOptions& options) {
    if (parser.isSet(o.voice)) {
        const QString voice = parser.value(o.voice);
        if (voice == "male") {
            options.voiceGender = Male;
        } else if (voice == "female") {
            options.voiceGender = Female;
        } else if (voice.isEmpty()) {
            return "--voice needs male, female or a voice name";
        } else {
            options.voiceName = voice.toStdString();
        }
    }
    if (parser.isSet(o.format)) {
        const QString format = parser.value(o.format);
        if (format != "mp3" && format != "wav" && format != "m4b")
            return "--format must be mp3, wav or m4b";
        options.audioType = format == "mp3" ? Mp3 : format == "wav" ? Wav : M4b;
    }
    const std::pair<const QCommandLineOption*, std::string> numbers[] = {
        {&o.volume, "--volume must be a whole number from 0 to 100"},
        {&o.speed, "--speed must be a whole number from -10 to 10"},
        {&o.jobs, "--jobs must be a whole number from 1 to 1024"}};
    const int lows[] = {0, -10, 1};
    const int highs[] = {100, 10, kMaxJobs};
    std::int32_t* targets[] = {&options.volume, &options.speed, &options.jobs};
    for (std::size_t i = 0; i < 3; ++i) {
        if (!parser.isSet(*numbers[i].first)) continue;
        const auto value = WholeNumber(parser.value(*numbers[i].first), lows[i], highs[i]);
        if (!value) return numbers[i].second;
        *targets[i] = *value;
    }
    if (parser.isSet(o.pronunciations)) {
        options.pronunciations = parser.value(o.pronunciations).toStdString();
        if (options.pronunciations.empty()) return "--pronunciations needs a file";
    }
    options.quiet = parser.isSet(o.quiet);
    if (parser.isSet(o.subtitles) || parser.isSet(o.subtitleFormat)) {
        const QString format = parser.value(o.subtitleFormat);
        if (!format.isEmpty() && format != "srt" && format != "vtt")
            return "--subtitles must be srt or vtt";
        options.subtitles = format == "vtt" ? 2 : 1;
    }
    return {};
}

// The numbers of a list, with the window's own checks and messages.
std::string TakeList(const QCommandLineParser& parser, const Options& o, CliOptions& options) {
    options.byTitles = parser.isSet(o.titles);
    options.resume = parser.isSet(o.resume);
    const bool byLength = parser.isSet(o.length);
    if (options.command != Command::List) {
        if (byLength || options.byTitles || parser.isSet(o.start) || options.resume)
            return "--length, --titles, --start and --resume go with list only";
        return {};
    }
    if (options.byTitles == byLength) return "list needs either --length N or --titles";
    if (parser.isSet(o.start) && !options.byTitles) return "--start goes with --titles only";
    if (byLength) {
        const auto length = ParseListNumber(parser.value(o.length).toStdU16String());
        if (!length) return "Invalid Input, Value Must be between 1 and 2^25";
        options.length = *length;
    } else {
        const auto start = ParseStartNumber(parser.value(o.start).toStdU16String());
        if (!start) return "You have given invalid file name starting number";
        options.start = *start;
    }
    return {};
}

// The check box "Mark chapters from the PDF's outline".
std::string TakeChapters(const QCommandLineParser& parser, const Options& o, CliOptions& options) {
    options.chapters = parser.isSet(o.chapters);
    if (options.chapters && options.command != Command::Pdf) return "--chapters goes with pdf only";
    return {};
}

std::string CheckOperands(const CliOptions& options) {
    const std::size_t count = options.operands.size();
    switch (options.command) {
        case Command::Voices:
            return count == 0 ? "" : "voices takes no files";
        case Command::Speak:
            return count <= 1 ? "" : "speak takes one text file (or - for standard input)";
        case Command::Render:
            return count == 2 ? "" : "render needs TEXTFILE FOLDER";
        case Command::List:
            return count == 2 ? "" : "list needs TEXTFILE FOLDER";
        case Command::Pdf:
            return count == 2 ? "" : "pdf needs PDFFILE FOLDER";
    }
    return {};
}

ParseOutcome Usage(std::string error) {
    ParseOutcome outcome;
    outcome.error = std::move(error);
    return outcome;
}

}  // namespace

ParseOutcome ParseCommandLine(const std::vector<std::string>& arguments) {
    Options o;
    o.subtitleFormat.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QString::fromLatin1(kSynopsis) +
        "\nThe window's jobs without a window: the same files, names and messages.");
    parser.addOptions({o.voice, o.format, o.volume, o.speed, o.pronunciations, o.jobs, o.quiet,
                       o.length, o.titles, o.start, o.resume, o.subtitles, o.subtitleFormat,
                       o.chapters, o.help, o.version});
    parser.addPositionalArgument("command", "voices, speak, render, list or pdf.");
    parser.addPositionalArgument("files", "The text file (or PDF or EPUB) and the folder.",
                                 "[FILE] [FOLDER]");
    QStringList list{QCoreApplication::applicationName()};
    for (const std::string& argument : arguments) {
        // A flag with an optional value, which the parser does not know.
        if (argument.starts_with("--subtitles=")) {
            list << "--subtitles"
                 << QString::fromStdString("--subtitle-format=" + argument.substr(12));
        } else {
            list << QString::fromStdString(argument);
        }
    }
    if (!parser.parse(list)) return Usage(parser.errorText().toStdString());

    ParseOutcome outcome;
    if (parser.isSet(o.help) || parser.isSet(o.version)) {
        outcome.kind =
            parser.isSet(o.help) ? ParseOutcome::Kind::Help : ParseOutcome::Kind::Version;
        outcome.text = parser.isSet(o.help)
                           ? parser.helpText().toStdString()
                           : QCoreApplication::applicationName().toStdString() + " " +
                                 QCoreApplication::applicationVersion().toStdString() + "\n";
        return outcome;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) return Usage("no command given");
    const auto found = kCommands.find(positional.front().toStdString());
    if (found == kCommands.end())
        return Usage("unknown command '" + positional.front().toStdString() + "'");

    outcome.options = Defaults();
    CliOptions& options = outcome.options;
    options.command = found->second;
    for (qsizetype i = 1; i < positional.size(); ++i)
        options.operands.push_back(positional[i].toStdString());
    std::string error = TakeSettings(parser, o, options);
    if (error.empty()) error = TakeList(parser, o, options);
    if (error.empty()) error = TakeChapters(parser, o, options);
    if (error.empty()) error = CheckOperands(options);
    if (!error.empty()) return Usage(error);
    outcome.kind = ParseOutcome::Kind::Run;
    return outcome;
}

std::string UsageText() {
    return std::string(kSynopsis) + "Try 'sonoleaf-cli --help' for the options.\n";
}

}  // namespace sonoleaf::cli
