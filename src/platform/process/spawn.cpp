#include "platform/process/spawn.h"

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/text/regular_file.h"

extern char** environ;

namespace sonoleaf::process {
namespace {

namespace fs = std::filesystem;

class SpawnAttributes {
  public:
    explicit SpawnAttributes(bool resetSignals) {
        ok_ = resetSignals && ::posix_spawnattr_init(&attr_) == 0;
        if (!ok_) return;
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        ::posix_spawnattr_setsigmask(&attr_, &none);
        ::posix_spawnattr_setsigdefault(&attr_, &all);
        ::posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnAttributes() {
        if (ok_) ::posix_spawnattr_destroy(&attr_);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    const posix_spawnattr_t* Get() const { return ok_ ? &attr_ : nullptr; }

  private:
    posix_spawnattr_t attr_{};
    bool ok_ = false;
};

class FileActions {
  public:
    FileActions() { ok_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
    ~FileActions() {
        if (ok_) ::posix_spawn_file_actions_destroy(&actions_);
    }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    bool Duplicate(int from, int to) {
        return ok_ && ::posix_spawn_file_actions_adddup2(&actions_, from, to) == 0;
    }
    const posix_spawn_file_actions_t* Get() const { return ok_ ? &actions_ : nullptr; }

  private:
    posix_spawn_file_actions_t actions_{};
    bool ok_ = false;
};

void CloseAll(std::initializer_list<int> descriptors) {
    for (const int descriptor : descriptors)
        if (descriptor >= 0) ::close(descriptor);
}

}  // namespace

int Spawn(const std::string& path, const std::vector<std::string>& arguments,
          const SpawnOptions& options, pid_t& pid) {
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const SpawnAttributes attributes(options.resetSignals);
    FileActions actions;
    if ((options.standardInput >= 0 && !actions.Duplicate(options.standardInput, STDIN_FILENO)) ||
        (options.standardOutput >= 0 && !actions.Duplicate(options.standardOutput, STDOUT_FILENO)))
        return ENOMEM;
    return ::posix_spawn(&pid, path.c_str(), actions.Get(), attributes.Get(), argv.data(), environ);
}

int StartPiped(const std::string& path, PipedChild& child) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return errno;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        const int error = errno;
        CloseAll({in[0], in[1]});
        return error;
    }
    SpawnOptions options;
    options.resetSignals = false;
    options.standardInput = in[0];
    options.standardOutput = out[1];
    pid_t pid = 0;
    const int failed = Spawn(path, {path}, options, pid);
    CloseAll({in[0], out[1]});
    if (failed != 0) {
        CloseAll({in[1], out[0]});
        return failed;
    }
    child = {pid, in[1], out[0]};
    return 0;
}

namespace {
extern "C" void OnBrokenPipe(int /*signal*/) {}
}  // namespace

void SurviveBrokenPipes() {
    struct sigaction action {};
    action.sa_handler = OnBrokenPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGPIPE, &action, nullptr);
}

int UsableCores() {
    cpu_set_t cores;
    CPU_ZERO(&cores);
    if (::sched_getaffinity(0, sizeof cores, &cores) != 0) return 1;
    return std::max(1, CPU_COUNT(&cores));
}

std::string FindHelperProgram(const std::string& name, const char* overrideVariable) {
    if (const char* named = std::getenv(overrideVariable); named != nullptr && *named)
        return text::IsExecutableFile(named) ? named : std::string();
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const fs::path folder = self.parent_path();
    for (const fs::path& candidate : {folder / name, folder.parent_path() / name,
                                      folder.parent_path() / "libexec" / "sonoleaf" / name}) {
        if (text::IsExecutableFile(candidate.string())) return candidate.string();
    }
    return {};
}

}  // namespace sonoleaf::process
