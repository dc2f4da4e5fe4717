#include "platform/text/pronunciations.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/file_contents.h"
#include "support/temp_dir.h"

namespace sonoleaf::text {
namespace {

const char kRules[] =
    "# a comment, then a blank line\n"
    "\n"
    "Sonoleaf = sonno leaf\r\n"
    "  nguyen   =   win  \n"
    "New York = noo york\n"
    "new = knew\n"
    "bus = bahss\n"
    "NASA = nassa\n"
    "café = kaffay\n"
    "O'Brien = oh bryan\n"
    "Leaf = Sonoleaf\n"
    "amp = ampere\n"
    "R and D = R & D\n"
    "/(\\d+) ?km\\b/ = $1 kilometres\n"
    "/colou?r/i = culler\n"
    "/\\$(\\d+)/ = $1 dollars $$\n"
    "/leaf\\b/ = leef\n"
    "/(x+)+[yz]/ = z\n";

struct ApplyCase {
    std::string text;
    std::string expected;
};

class PronunciationApply : public ::testing::TestWithParam<ApplyCase> {};

TEST_P(PronunciationApply, RewritesTheText) {
    std::vector<RuleProblem> problems;
    const Pronunciations rules = Pronunciations::Parse(kRules, problems);
    for (const RuleProblem& problem : problems) ADD_FAILURE() << problem.message;
    EXPECT_EQ(rules.Apply(GetParam().text), GetParam().expected);
    // A helper process parses the same bytes to the same rules.
    EXPECT_EQ(Pronunciations::Parse(rules.Source(), problems).Apply(GetParam().text),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PronunciationApply,
    ::testing::Values(
        ApplyCase{"Sonoleaf reads.", "sonno leaf reads."},
        ApplyCase{"Sonoleaf's voice, Sonoleaf’s, two Sonoleafs, the Sonoleafs' house",
                  "sonno leaf's voice, sonno leaf’s, two sonno leafs, the sonno leafs' house"},
        ApplyCase{"SonoLeaf SONOLEAF Sonoleafy", "SonoLeaf SONOLEAF Sonoleafy"},
        ApplyCase{"NGUYEN, Nguyen; Nguyenville", "win, win; Nguyenville"},
        ApplyCase{"New York, New\n  York, new things, Newark",
                  "noo york, noo york, knew things, Newark"},
        ApplyCase{"buses, Bus's bus", "bahsses, bahss's bahss"},
        ApplyCase{"NASA nasa Nasa", "nassa nasa Nasa"},
        ApplyCase{"Café CAFÉ cafés caféine", "kaffay kaffay kaffays caféine"},
        ApplyCase{"O’Brien and O'BRIEN", "oh bryan and O'BRIEN"},
        // One pass: replacements are never read again, by word or pattern rules.
        ApplyCase{"Leaf, tealeaf", "Sonoleaf, tealeef"},
        ApplyCase{"run 5km or 12 km, 3kms", "run 5 kilometres or 12 kilometres, 3kms"},
        ApplyCase{"Colour and COLOR, colours", "culler and culler, cullers"},
        ApplyCase{"costs $5", "costs 5 dollars $"}, ApplyCase{"R and D, r and d", "R & D, r and d"},
        ApplyCase{"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx!",
                  "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx!"},
        ApplyCase{"Sonoleaf \xff\xfe amp", "sonno leaf \xff\xfe ampere"},
        // Markup: tags, comments and references stay; a "&" brought in is escaped.
        ApplyCase{"<speak><voice name=\"new\">new &amp; amp R and D</voice><!-- Sonoleaf -->"
                  "<emphasis>New York</emphasis> $5</speak>",
                  "<speak><voice name=\"new\">knew &amp; ampere R &amp; D</voice><!-- Sonoleaf "
                  "--><emphasis>noo york</emphasis> 5 dollars $</speak>"}));

struct BadLineCase {
    std::string line;
    std::string because;  // part of the message
};

TEST(PronunciationProblems, BadLinesAreNamedAndTheOthersKept) {
    const std::vector<BadLineCase> bad = {
        {"Sonoleaf sonno leaf", "no \"=\""},
        {"= nothing", "no word"},
        {"leaf = leafy leaves leaf's", "holds the word"},
        {"bus = two buses", "holds the word"},
        {"/a*/ = b", "matches an empty text"},
        {"/\\b/ = b", "matches an empty text"},
        {"/(ab/ = c", "not valid"},
        {"/ab = c", "no closing"},
        {"/ab/x = c", "unknown flag \"x\""},
        {"/ab/ c", "no \"=\" after"},
        {"/(a)b/ = $2", "uses $2"},
        {"/a/ = $x", "group number"},
        {"word = " + std::string(300, 'w'), "longer than 256"},
        {"Sonoleaf = again", "already has a rule (line 1)"},
        {"\xff = x", "not UTF-8"},
        {"- = minus", "starts with a letter or digit"},
        {"word = <break/>", "not markup"},
    };
    std::string file = "Sonoleaf = sonno leaf\n";
    for (const BadLineCase& c : bad) file += c.line + "\n";
    file += "# fine\nnguyen = win\n";
    std::vector<RuleProblem> problems;
    const Pronunciations rules = Pronunciations::Parse(file, problems);
    ASSERT_EQ(problems.size(), bad.size());
    for (std::size_t i = 0; i < bad.size(); ++i) {
        const int line = static_cast<int>(i) + 2;
        EXPECT_EQ(problems[i].line, line) << bad[i].line;
        EXPECT_TRUE(problems[i].message.starts_with("line " + std::to_string(line) + ": "));
        EXPECT_NE(problems[i].message.find(bad[i].because), std::string::npos)
            << problems[i].message;
    }
    EXPECT_EQ(rules.Apply("Sonoleaf, Nguyen, word"), "sonno leaf, win, word");
}

TEST(PronunciationProblems, AReplacementCannotExplodeTheText) {
    std::vector<RuleProblem> problems;
    const Pronunciations rules =
        Pronunciations::Parse("/./ = " + std::string(200, 'y') + "\n", problems);
    ASSERT_TRUE(problems.empty());
    const std::string text(100000, 'a');
    EXPECT_LE(rules.Apply(text).size(), text.size() * 4 + 4096);
}

TEST(PronunciationFile, ExampleFileIsMadeOnceAndItsExamplesParse) {
    testing::TempDir dir;
    const char* home = std::getenv("HOME");
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = xdg != nullptr ? xdg : "";
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    if (home != nullptr && home[0] == '/') {
        EXPECT_EQ(DefaultPronunciationsPath(),
                  std::string(home) + "/.config/sonoleaf/pronunciations.txt");
    }
    ::setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    const std::string path = DefaultPronunciationsPath();
    EXPECT_EQ(path, dir.Path().string() + "/sonoleaf/pronunciations.txt");
    if (xdg != nullptr)
        ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");

    std::vector<RuleProblem> problems;
    EXPECT_TRUE(LoadPronunciations(path, problems).Empty());  // no file: no rules, no problem
    ASSERT_TRUE(EnsurePronunciationsFile(path));
    const std::string example = testing::FileBytes(path);
    EXPECT_TRUE(LoadPronunciations(path, problems).Empty());
    // Every example, uncommented, is a rule that parses.
    std::string uncommented;
    for (std::size_t at = 0; (at = example.find("\n# ", at)) != std::string::npos; ++at)
        if (const std::string line = example.substr(at + 3, example.find('\n', at + 1) - at - 3);
            line.find(" = ") != std::string::npos && line.front() != ' ')
            uncommented += line + "\n";
    const Pronunciations examples = Pronunciations::Parse(uncommented, problems);
    EXPECT_EQ(examples.RuleCount(), 5u) << uncommented;
    EXPECT_EQ(examples.Apply("Sonoleaf ran 5 km"), "sonno leaf ran 5 kilometres");

    std::ofstream(path, std::ios::trunc) << "nguyen = win\n";
    EXPECT_TRUE(EnsurePronunciationsFile(path));  // never replaces the user's file
    EXPECT_EQ(LoadPronunciations(path, problems).Apply("Nguyen"), "win");
    EXPECT_TRUE(problems.empty());

    std::ofstream(path, std::ios::trunc) << std::string((4 << 20) + 1, '#');
    EXPECT_TRUE(LoadPronunciations(path, problems).Empty());
    EXPECT_TRUE(LoadPronunciations(dir.Path().string(), problems).Empty());
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].line, 0);
    EXPECT_NE(problems[0].message.find("larger than 4 MiB"), std::string::npos);
    EXPECT_NE(problems[1].message.find("not a regular file"), std::string::npos);
}

}  // namespace
}  // namespace sonoleaf::text
