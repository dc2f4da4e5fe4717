#include "app/command_line.h"

#include <gtest/gtest.h>

#include <ostream>

namespace sonoleaf {
namespace {

using Shell = CommandLineInfo::ShellCommand;

struct Case {
    QStringList arguments;
    bool embedded;
    bool automated;
    Shell shell;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << '[' << c.arguments.join(' ').toStdString() << ']';
}

class ParseCommandLineTest : public ::testing::TestWithParam<Case> {};

TEST_P(ParseCommandLineTest, FindsTheSwitches) {
    const CommandLineInfo info = ParseCommandLine(GetParam().arguments);
    EXPECT_EQ(info.runEmbedded, GetParam().embedded);
    EXPECT_EQ(info.runAutomated, GetParam().automated);
    EXPECT_EQ(info.shellCommand, GetParam().shell);
    EXPECT_FALSE(info.takeScreenshots);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, ParseCommandLineTest,
    ::testing::Values(
        Case{{}, false, false, Shell::Nothing}, Case{{"/Register"}, false, false, Shell::Register},
        Case{{"-RegServer"}, false, false, Shell::Register},
        Case{{"/REGSERVER"}, false, false, Shell::Register},
        Case{{"/Unregister"}, false, false, Shell::Unregister},
        Case{{"-unregserver"}, false, false, Shell::Unregister},
        Case{{"/Embedding"}, true, false, Shell::Nothing},
        Case{{"-automation"}, false, true, Shell::Nothing},
        // The last shell command wins; the others add up.
        Case{{"/Register", "/Unregister"}, false, false, Shell::Unregister},
        Case{{"/Unregister", "-register", "/Embedding"}, true, false, Shell::Register},
        // Not switches: file names, unknown words, prefixes of switches.
        Case{{"book.txt", "C:/x.pdf", "/tmp/file"}, false, false, Shell::Nothing},
        Case{{"/Registerx", "/Reg", "Register", "--Register"}, false, false, Shell::Nothing},
        Case{{"/", "-", ""}, false, false, Shell::Nothing}));

TEST(ParseCommandLine, ScreenshotOption) {
    const CommandLineInfo info = ParseCommandLine({"--screenshots", "shots", "/Embedding"});
    EXPECT_TRUE(info.takeScreenshots);
    EXPECT_EQ(info.screenshotDir, QStringLiteral("shots"));
    EXPECT_TRUE(info.runEmbedded);

    const CommandLineInfo bare = ParseCommandLine({"--screenshots"});
    EXPECT_TRUE(bare.takeScreenshots);
    EXPECT_TRUE(bare.screenshotDir.isEmpty());
}

// "Open With" gives the file's path: the first argument that is no switch.
TEST(ParseCommandLine, FirstOtherArgumentIsTheFileToOpen) {
    EXPECT_EQ(ParseCommandLine({"/Embedding", "/home/a/b c.pdf", "notes.txt"}).openPath,
              QStringLiteral("/home/a/b c.pdf"));
    EXPECT_EQ(ParseCommandLine({"-register", "notes.txt"}).openPath, QStringLiteral("notes.txt"));
    EXPECT_TRUE(ParseCommandLine({"/Register", "-x"}).openPath.isEmpty());
}

}  // namespace
}  // namespace sonoleaf
