#include "platform/text/durable_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>

namespace sonoleaf::text {
namespace {

constexpr std::string_view kTemporaryMark = ".part-";
constexpr std::size_t kRandomLength = 6;
constexpr std::size_t kMaxNameBytes = 255;  // NAME_MAX on Linux file systems

constexpr std::string_view kNameLetters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

bool IsNameLetter(char c) {
    return kNameLetters.find(c) != std::string_view::npos;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Cuts `name` to at most `bytes` bytes without splitting a UTF-8 sequence.
std::string ShortenName(std::string name, std::size_t bytes) {
    if (name.size() <= bytes) return name;
    std::size_t cut = bytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
    return name;
}

std::string RandomLetters() {
    // Seeded once per process, the pid mixed in: forked helpers must not share names.
    thread_local std::mt19937_64 random{std::random_device{}() ^
                                        (static_cast<std::uint64_t>(::getpid()) << 32)};
    std::string letters;
    for (std::size_t i = 0; i < kRandomLength; ++i)
        letters += kNameLetters[random() % kNameLetters.size()];
    return letters;
}

bool SyncPath(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

// The name's extension (".mp3"), kept at the end of its temporary so that a writer
// that goes by the name writes the right kind of file; "" for none or a long one.
std::string Extension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.size() - dot > 12 || name.size() - dot < 2) return {};
    for (const char c : name.substr(dot + 1))
        if (!IsNameLetter(c)) return {};
    return name.substr(dot);
}

}  // namespace

std::string CreateTemporaryBeside(const std::string& finalPath) {
    const std::string folder = FolderOf(finalPath);
    const std::string ending = Extension(NameOf(finalPath));
    const std::string name =
        ShortenName(NameOf(finalPath),
                    kMaxNameBytes - 1 - kTemporaryMark.size() - kRandomLength - ending.size());
    if (name.empty()) return {};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path =
            folder + "/." + name + std::string(kTemporaryMark) + RandomLetters() + ending;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) return {};
    }
    return {};
}

std::optional<std::string_view> FinalNameOfTemporary(std::string_view name) {
    const std::size_t mark = name.rfind(kTemporaryMark);
    if (mark == std::string_view::npos || mark < 2 || name.front() != '.') return std::nullopt;
    const std::size_t lettersAt = mark + kTemporaryMark.size();
    if (name.size() < lettersAt + kRandomLength) return std::nullopt;
    for (const char c : name.substr(lettersAt, kRandomLength))
        if (!IsNameLetter(c)) return std::nullopt;
    const std::string_view finalName = name.substr(1, mark - 1);
    // After the letters: nothing, or an extension (the final name's, or that of a file
    // written beside the temporary, such as its subtitles).
    const std::string_view tail = name.substr(lettersAt + kRandomLength);
    if (!tail.empty() && Extension(std::string(tail)) != tail) return std::nullopt;
    return finalName;
}

bool CommitTemporaryFile(const std::string& temporaryPath, const std::string& finalPath) {
    const bool committed =
        SyncPath(temporaryPath) && std::rename(temporaryPath.c_str(), finalPath.c_str()) == 0;
    if (!committed) {
        ::unlink(temporaryPath.c_str());
        return false;
    }
    return SyncFolder(FolderOf(finalPath));
}

bool WriteFileWhole(const std::string& path, std::string_view contents) {
    const std::string temporary = CreateTemporaryBeside(path);
    if (temporary.empty()) return false;
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
    bool written = fd >= 0 && WriteAll(fd, contents) && ::fsync(fd) == 0;
    if (fd >= 0 && ::close(fd) != 0) written = false;
    if (!written) {
        ::unlink(temporary.c_str());
        return false;
    }
    return CommitTemporaryFile(temporary, path);
}

bool SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool WriteAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(descriptor, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace sonoleaf::text
