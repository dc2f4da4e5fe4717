#include "speech/job_pronunciations.h"

#include <sys/stat.h>

#include <vector>

#include "jobs/alert.h"
#include "platform/text/file_digest.h"

namespace sonoleaf {
namespace {

// A file of many bad lines still gets a box that fits on the screen.
constexpr std::size_t kMaxLinesTold = 10;

std::string ProblemMessage(const std::string& path,
                           const std::vector<text::RuleProblem>& problems) {
    for (const text::RuleProblem& problem : problems) {
        if (problem.line == 0) return "Pronunciation list: " + problem.message + ".";
    }
    std::string message = "Pronunciation list " + path + ": these lines are not used:";
    for (std::size_t i = 0; i < problems.size() && i < kMaxLinesTold; ++i)
        message += "\r\n" + problems[i].message;
    if (problems.size() > kMaxLinesTold)
        message += "\r\n... and " + std::to_string(problems.size() - kMaxLinesTold) + " more.";
    return message + "\r\nIts other rules are used.";
}

}  // namespace

std::shared_ptr<const text::Pronunciations> ReadJobPronunciations(const std::string& path) {
    // A list that cannot even be seen (none made yet, or a folder on its way that may
    // not be entered) is no list; one that is there but cannot be read is told.
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) return nullptr;
    std::vector<text::RuleProblem> problems;
    auto rules =
        std::make_shared<const text::Pronunciations>(text::LoadPronunciations(path, problems));
    if (!problems.empty()) ShowAlert(ProblemMessage(path, problems), AlertKind::Message);
    if (rules->Empty()) return nullptr;
    return rules;
}

std::string PronunciationsFingerprint(const text::Pronunciations* rules) {
    if (rules == nullptr || rules->Empty()) return {};
    return ";rules=" + text::Sha256OfBytes(rules->Source());
}

}  // namespace sonoleaf
