#pragma once
// The command line of sonoleaf-cli: what it asks for, checked before anything runs.
// Parsed by Qt's QCommandLineParser, which also writes the help.

#include <cstdint>
#include <string>
#include <vector>

namespace sonoleaf::cli {

enum class Command { Voices, Speak, Render, List, Pdf };

struct CliOptions {
    Command command = Command::Voices;
    std::vector<std::string> operands;  // files and folders, in order
    std::int32_t voiceGender = 0;       // the window's defaults, filled in by the parser
    std::string voiceName;              // --voice NAME; empty for male/female
    std::string pronunciations;         // --pronunciations FILE; empty: the user's own
    std::int32_t audioType = 0;
    std::int32_t volume = 0;
    std::int32_t speed = 0;
    int jobs = 1;
    bool quiet = false;
    bool byTitles = false;       // list --titles; else list --length
    std::int32_t length = 0;     // list --length N
    std::int32_t start = 1;      // list --titles --start K
    bool resume = false;         // list --resume: an unfinished run in the folder goes on
    std::int32_t subtitles = 0;  // --subtitles[=srt|vtt]: 0 none, 1 SubRip, 2 WebVTT
    bool chapters = false;       // pdf --chapters: from the PDF's outline
};

struct ParseOutcome {
    enum class Kind { Run, Help, Version, Usage };
    Kind kind = Kind::Usage;
    CliOptions options;
    std::string error;  // for Usage: one line, without the program name
    std::string text;   // for Help and Version: what to print
};

// `arguments` without the program's own name. Needs a QCoreApplication (for the
// program's name and version in the help).
ParseOutcome ParseCommandLine(const std::vector<std::string>& arguments);

// The short usage text, ending in a line break, after a usage error.
std::string UsageText();

}  // namespace sonoleaf::cli
