// Where the pronunciation list lives, its first example, and reading it bounded.

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/text/durable_file.h"
#include "platform/text/pronunciations.h"

namespace sonoleaf::text {
namespace {

constexpr std::size_t kMaxRuleFileBytes = std::size_t{4} << 20;

constexpr std::string_view kExample =
    "# Sonoleaf pronunciations: how the voices should say the words they get wrong.\n"
    "# One rule a line, for every text Sonoleaf speaks or renders. A line starting\n"
    "# with # is a comment. Remove the # before an example to use it.\n"
    "#\n"
    "#   word = respelling\n"
    "#     Whole words, in any case unless the word has capitals; plurals (s, es)\n"
    "#     and possessives ('s) of the word are included. Several words are fine.\n"
    "# Sonoleaf = sonno leaf\n"
    "# Nguyen = win\n"
    "# New York = noo york\n"
    "#\n"
    "#   /pattern/ = respelling\n"
    "#     A regular expression (Perl style); /pattern/i ignores case. In the\n"
    "#     respelling, $1 to $9 put back what the brackets caught, $$ is a dollar.\n"
    "# /(\\d+) ?km\\b/ = $1 kilometres\n"
    "# /colou?r/i = culler\n";

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

}  // namespace

std::string DefaultPronunciationsPath() {
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        config = xdg;
    } else {
        const std::string home = HomeFolder();
        if (home.empty()) return {};
        config = home + "/.config";
    }
    return config + "/sonoleaf/pronunciations.txt";
}

bool EnsurePronunciationsFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) return S_ISREG(info.st_mode);
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, error);
    // Written whole under another name, then linked into place: link() never
    // replaces a file another process has made meanwhile.
    const std::string temporary = CreateTemporaryBeside(path);
    if (temporary.empty()) return false;
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
    bool written = fd >= 0 && WriteAll(fd, kExample) && ::fsync(fd) == 0;
    if (fd >= 0 && ::close(fd) != 0) written = false;
    const bool linked =
        written && (::link(temporary.c_str(), path.c_str()) == 0 || errno == EEXIST);
    ::unlink(temporary.c_str());
    if (linked && !folder.empty()) SyncFolder(folder.string());
    return linked && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

Pronunciations LoadPronunciations(const std::string& path, std::vector<RuleProblem>& problems) {
    const auto fileProblem = [&](const std::string& what) {
        problems.push_back({0, path + ": " + what + "; no pronunciation rules are used"});
        return Pronunciations();
    };
    // Non-blocking, so that a pipe put in the file's place cannot hold the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return Pronunciations();
        return fileProblem(std::string("cannot be opened (") + std::strerror(errno) + ")");
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fileProblem("is not a regular file");
    }
    std::string bytes;
    bytes.resize(kMaxRuleFileBytes + 1);
    std::size_t filled = 0;
    bool failed = false;
    while (filled < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failed = true;
        if (n <= 0) break;
        filled += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (failed) return fileProblem("cannot be read");
    if (filled > kMaxRuleFileBytes) return fileProblem("is larger than 4 MiB");
    bytes.resize(filled);
    return Pronunciations::Parse(bytes, problems);
}

}  // namespace sonoleaf::text
