#include "cli/cli_options.h"

#include <charconv>
#include <map>
#include <optional>
#include <string_view>

#include "lists/list_numbers.h"
#include "platform/text/text_convert.h"
#include "speech/render_pool.h"
#include "speech/voice_profile.h"

namespace sonoleaf::cli {
namespace {

// Jobs beyond this are certainly a typing mistake, not a machine.
constexpr int kMaxJobs = 1024;

const std::map<std::string_view, Command> kCommands = {{"voices", Command::Voices},
                                                       {"speak", Command::Speak},
                                                       {"render", Command::Render},
                                                       {"list", Command::List},
                                                       {"pdf", Command::Pdf}};

std::optional<int> WholeNumber(std::string_view text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < low || value > high)
        return std::nullopt;
    return value;
}

CliOptions Defaults() {
    const VoiceProfile window;  // the settings the window starts with
    CliOptions options;
    options.voiceGender = window.voiceGender;
    options.audioType = window.audioType;
    options.volume = window.volume;
    options.speed = window.speed;
    options.jobs = render::UsableCores();
    return options;
}

// The option values seen, before they are checked against the command.
struct Seen {
    std::optional<std::string> length;
    std::optional<std::string> start;
};

// Applies one option with its value; an error line, or empty.
std::string ApplyValue(std::string_view name, const std::string& value, CliOptions& options,
                       Seen& seen) {
    if (name == "--voice") {
        if (value == "male") {
            options.voiceGender = Male;
        } else if (value == "female") {
            options.voiceGender = Female;
        } else if (value.empty()) {
            return "--voice needs male, female or a voice name";
        } else {
            options.voiceName = value;
        }
    } else if (name == "--format") {
        if (value != "mp3" && value != "wav") return "--format must be mp3 or wav";
        options.audioType = value == "mp3" ? Mp3 : Wav;
    } else if (name == "--volume") {
        const auto volume = WholeNumber(value, 0, 100);
        if (!volume) return "--volume must be a whole number from 0 to 100";
        options.volume = *volume;
    } else if (name == "--speed") {
        const auto speed = WholeNumber(value, -10, 10);
        if (!speed) return "--speed must be a whole number from -10 to 10";
        options.speed = *speed;
    } else if (name == "--jobs") {
        const auto jobs = WholeNumber(value, 1, kMaxJobs);
        if (!jobs) return "--jobs must be a whole number from 1 to 1024";
        options.jobs = *jobs;
    } else if (name == "--length") {
        seen.length = value;
    } else {
        seen.start = value;
    }
    return {};
}

bool TakesValue(std::string_view name) {
    return name == "--voice" || name == "--format" || name == "--volume" || name == "--speed" ||
           name == "--jobs" || name == "--length" || name == "--start";
}

// The numbers of a list, with the window's own checks and messages.
std::string CheckList(CliOptions& options, const Seen& seen) {
    if (options.byTitles == seen.length.has_value())
        return "list needs either --length N or --titles";
    if (seen.start && !options.byTitles) return "--start goes with --titles only";
    if (seen.length) {
        const auto length = ParseListNumber(text::ToWide(*seen.length));
        if (!length) return "Invalid Input, Value Must be between 1 and 2^25";
        options.length = *length;
    }
    if (options.byTitles) {
        const auto start = ParseStartNumber(text::ToWide(seen.start.value_or("")));
        if (!start) return "You have given invalid file name starting number";
        options.start = *start;
    }
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

ParseOutcome Just(ParseOutcome::Kind kind) {
    ParseOutcome outcome;
    outcome.kind = kind;
    return outcome;
}

ParseOutcome Usage(std::string error) {
    ParseOutcome outcome;
    outcome.error = std::move(error);
    return outcome;
}

}  // namespace

ParseOutcome ParseCommandLine(const std::vector<std::string>& arguments) {
    ParseOutcome outcome;
    outcome.options = Defaults();
    CliOptions& options = outcome.options;
    Seen seen;
    std::optional<Command> command;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool isOption = !optionsEnded && argument.size() > 1 && argument[0] == '-';
        if (isOption && (argument == "--help" || argument == "-h"))
            return Just(ParseOutcome::Kind::Help);
        if (isOption && argument == "--version") return Just(ParseOutcome::Kind::Version);
        if (!isOption) {
            if (!command) {
                const auto found = kCommands.find(argument);
                if (found == kCommands.end()) return Usage("unknown command '" + argument + "'");
                command = found->second;
            } else {
                options.operands.push_back(argument);
            }
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        if (name == "--quiet" && equals == std::string::npos) {
            options.quiet = true;
        } else if (name == "--titles" && equals == std::string::npos) {
            options.byTitles = true;
        } else if (TakesValue(name)) {
            std::string value;
            if (equals != std::string::npos) {
                value = argument.substr(equals + 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                return Usage(name + " needs a value");
            }
            if (std::string error = ApplyValue(name, value, options, seen); !error.empty())
                return Usage(error);
        } else {
            return Usage("unknown option '" + argument + "'");
        }
    }
    if (!command) return Usage("no command given");
    options.command = *command;
    const bool listOnly = seen.length || seen.start || options.byTitles;
    if (listOnly && options.command != Command::List)
        return Usage("--length, --titles and --start go with list only");
    std::string error = CheckOperands(options);
    if (error.empty() && options.command == Command::List) error = CheckList(options, seen);
    if (!error.empty()) return Usage(error);
    outcome.kind = ParseOutcome::Kind::Run;
    return outcome;
}

const char* UsageText() {
    return "usage: sonoleaf-cli voices\n"
           "       sonoleaf-cli speak  [OPTIONS] [TEXTFILE|-]\n"
           "       sonoleaf-cli render [OPTIONS] TEXTFILE FOLDER\n"
           "       sonoleaf-cli list   [OPTIONS] --length N TEXTFILE FOLDER\n"
           "       sonoleaf-cli list   [OPTIONS] --titles [--start K] TEXTFILE FOLDER\n"
           "       sonoleaf-cli pdf    PDFFILE FOLDER\n"
           "options: --voice male|female|NAME  --format mp3|wav  --volume 0..100\n"
           "         --speed -10..10  --jobs N  --quiet  --help  --version\n";
}

}  // namespace sonoleaf::cli
