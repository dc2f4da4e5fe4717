#include "lists/list_journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string_view>
#include <vector>

#include "platform/text/durable_file.h"
#include "platform/text/file_digest.h"
#include "platform/text/regular_file.h"

namespace sonoleaf {
namespace {

// Version 2 records each finished file's size and digest; a journal of version 1,
// which named numbers only, is not trusted.
constexpr std::string_view kMagic = "sonoleaf list journal 2";
constexpr std::string_view kHeaderEnd = "begun";
constexpr std::string_view kDone = "done ";
constexpr std::string_view kDrop = "drop ";
constexpr std::string_view kSuffix = ".sonoleaf-list";
constexpr std::string_view kLockSuffix = ".sonoleaf-lock";
constexpr std::size_t kMaxSettingsBytes = 64 * 1024;
constexpr std::size_t kMaxJournalBytes = std::size_t{32} << 20;
constexpr std::size_t kMaxNameBytes = 255;

struct Header {
    std::string stem;
    SourceIdentity source;
    std::string settings;
};

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        hex += kDigits[static_cast<unsigned char>(c) >> 4];
        hex += kDigits[static_cast<unsigned char>(c) & 15];
    }
    return hex;
}

// Strict: lower-case digits in pairs only.
std::optional<std::string> FromHex(std::string_view hex) {
    if (hex.size() % 2 != 0) return std::nullopt;
    const auto value = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    std::string bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = value(hex[i]);
        const int low = value(hex[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
    }
    return bytes;
}

// Decimal as written by std::to_string: an optional "-", no leading zeros, no overflow.
template <typename Number>
std::optional<Number> ParseDecimal(std::string_view text) {
    const std::string_view digits = text.starts_with('-') ? text.substr(1) : text;
    if (digits.empty() || (digits.size() > 1 && digits.front() == '0') ||
        (digits == "0" && text != digits))
        return std::nullopt;
    for (const char c : digits)
        if (c < '0' || c > '9') return std::nullopt;
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string HeaderText(const Header& header) {
    return std::string(kMagic) + "\nstem " + Hex(header.stem) + "\nsize " +
           std::to_string(header.source.size) + "\nmodified " +
           std::to_string(header.source.modifiedNs) + "\nsha256 " + header.source.sha256 +
           "\nsettings " + Hex(header.settings) + "\n" + std::string(kHeaderEnd) + "\n";
}

std::string DoneLine(std::int64_t number, const FinishedFile& file) {
    return std::string(kDone) + std::to_string(number) + " " + std::to_string(file.size) + " " +
           file.sha256 + "\n";
}

std::string DropLine(std::int64_t number) {
    return std::string(kDrop) + std::to_string(number) + "\n";
}

bool IsDigest(std::string_view hex) {
    return hex.size() == 64 && FromHex(hex).has_value();
}

// "<n> <size> <sha256>" of a done line.
std::optional<std::pair<std::int64_t, FinishedFile>> ParseDone(std::string_view rest) {
    const std::size_t first = rest.find(' ');
    const std::size_t second = first == std::string_view::npos ? first : rest.find(' ', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    const auto number = ParseDecimal<std::int64_t>(rest.substr(0, first));
    const std::string_view sizeText = rest.substr(first + 1, second - first - 1);
    const auto size = ParseDecimal<std::uint64_t>(sizeText);
    const std::string_view sha = rest.substr(second + 1);
    if (!number || !size || sizeText.starts_with('-') || !IsDigest(sha)) return std::nullopt;
    return std::pair{*number, FinishedFile{*size, std::string(sha)}};
}

// A hidden name in the folder for the stem, ending in `suffix`; one made from the
// stem's SHA-256 when the name (and a temporary's ".part-XXXXXX" and dot more) would
// pass the file system's limit.
std::string HiddenPathFor(const std::string& folder, const std::string& stem,
                          std::string_view suffix) {
    std::string name = "." + stem + std::string(suffix);
    if (name.size() + 13 > kMaxNameBytes)
        name = "." + text::Sha256OfBytes(stem).substr(0, 32) + std::string(suffix);
    return folder + "/" + name;
}

// The whole journal file, if it is a regular file within bounds (never a link, a pipe or
// a device, which could point anywhere or never end).
std::optional<std::string> ReadJournal(const std::string& path) {
    std::string bytes;
    if (text::ReadWholeFile(path, kMaxJournalBytes, bytes, false) != 0) return std::nullopt;
    return bytes;
}

// Parses a journal strictly; nullopt for anything but one this program wrote (a last
// line without its line end, cut short by a power failure, is left out).
struct Parsed {
    Header header;
    FinishedFiles finished;
};

std::optional<Parsed> ParseJournal(std::string_view bytes) {
    std::vector<std::string_view> lines;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        if (end == std::string_view::npos) break;  // the torn last line
        lines.push_back(bytes.substr(0, end));
        bytes.remove_prefix(end + 1);
    }
    if (lines.size() < 7 || lines[0] != kMagic || lines[6] != kHeaderEnd) return std::nullopt;
    const auto field = [&](std::size_t index,
                           std::string_view key) -> std::optional<std::string_view> {
        const std::string_view line = lines[index];
        if (!line.starts_with(key) || line.size() <= key.size() || line[key.size()] != ' ')
            return std::nullopt;
        return line.substr(key.size() + 1);
    };
    Parsed parsed;
    const auto stem = field(1, "stem");
    const auto size = field(2, "size");
    const auto modified = field(3, "modified");
    const auto sha = field(4, "sha256");
    const auto settings = field(5, "settings");
    if (!stem || !size || !modified || !sha || !settings ||
        settings->size() > kMaxSettingsBytes * 2 || !IsDigest(*sha))
        return std::nullopt;
    const auto stemBytes = FromHex(*stem);
    const auto settingsBytes = FromHex(*settings);
    const auto sizeValue = ParseDecimal<std::uint64_t>(*size);
    const auto modifiedValue = ParseDecimal<std::int64_t>(*modified);
    if (!stemBytes || !settingsBytes || !sizeValue || !modifiedValue || size->starts_with('-'))
        return std::nullopt;
    parsed.header = {*stemBytes, {*sizeValue, *modifiedValue, std::string(*sha)}, *settingsBytes};
    // A number is done once until dropped: a file made again is dropped first.
    for (std::size_t i = 7; i < lines.size(); ++i) {
        if (lines[i].starts_with(kDone)) {
            const auto done = ParseDone(lines[i].substr(kDone.size()));
            if (!done || !parsed.finished.insert(*done).second) return std::nullopt;
        } else if (lines[i].starts_with(kDrop)) {
            const auto number = ParseDecimal<std::int64_t>(lines[i].substr(kDrop.size()));
            if (!number || parsed.finished.erase(*number) == 0) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return parsed;
}

// Whether `name` is "_" and one or more digits, then exactly `ending`.
bool IsNumberedEnding(std::string_view name, std::string_view ending) {
    if (name.size() < 2 + ending.size() || !name.starts_with('_') || !name.ends_with(ending))
        return false;
    for (const char c : name.substr(1, name.size() - 1 - ending.size()))
        if (c < '0' || c > '9') return false;
    return true;
}

// Whether `name` is one that a list of `stem` writes through a temporary. A name read
// loosely ("vol_" and anything) would take other stems' files for this one's: "vol_2_1.mp3"
// is file 1 of "vol_2", and "vol_2.m4b" the audiobook of "vol_2". So the rule is exact:
// a numbered name is the stem, "_", digits only, then an ending a numbered file has
// (".mp3" or ".wav"; ".chapter" for a hidden chapter); an unnumbered one is the stem
// and an ending only an audiobook's files have (".m4b", and its ".srt" or ".vtt"). A
// numbered file's subtitles are written beside its temporary, whose name still ends in
// the file's own name, so no ".srt" is ever numbered here. No two stems then share a
// name: after "<stem>_" come digits alone, and no numbered ending is an audiobook's.
// (A single file rendered from a text named "vol_2.txt" is "vol_2.mp3", as file 2 of
// "vol" is: such a file and the list's collide in the folder whatever is cleared.)
bool IsListFileOf(std::string_view name, std::string_view stem) {
    static constexpr std::string_view kNumbered[] = {".mp3", ".wav"};
    static constexpr std::string_view kBook[] = {".m4b", ".srt", ".vtt"};
    constexpr std::string_view kChapter = ".chapter";
    const bool hidden = name.starts_with('.');
    if (hidden) name.remove_prefix(1);
    if (!name.starts_with(stem)) return false;
    name.remove_prefix(stem.size());
    if (hidden) return IsNumberedEnding(name, kChapter);
    for (const std::string_view ending : kNumbered)
        if (IsNumberedEnding(name, ending)) return true;
    for (const std::string_view ending : kBook)
        if (name == ending) return true;
    return false;
}

// Size and SHA-256 of an open regular file, read from its start; nullopt when it
// cannot be read or changed meanwhile.
std::optional<SourceIdentity> IdentifyDescriptor(int fd) {
    struct stat before {};
    struct stat after {};
    if (::fstat(fd, &before) != 0 || !S_ISREG(before.st_mode)) return std::nullopt;
    const std::optional<std::string> sha = text::Sha256OfDescriptor(fd);
    // A file written to while it was read has no one identity.
    if (!sha || ::fstat(fd, &after) != 0 || after.st_size != before.st_size ||
        after.st_mtim.tv_sec != before.st_mtim.tv_sec ||
        after.st_mtim.tv_nsec != before.st_mtim.tv_nsec)
        return std::nullopt;
    return SourceIdentity{
        static_cast<std::uint64_t>(before.st_size),
        static_cast<std::int64_t>(before.st_mtim.tv_sec) * 1000000000 + before.st_mtim.tv_nsec,
        *sha};
}

}  // namespace

std::optional<SourceIdentity> IdentifySource(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    std::optional<SourceIdentity> identity = IdentifyDescriptor(fd);
    ::close(fd);
    return identity;
}

std::optional<FinishedFile> RecordFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return std::nullopt;
    const std::optional<SourceIdentity> identity = IdentifyDescriptor(fd);
    ::close(fd);
    if (!identity) return std::nullopt;
    return FinishedFile{identity->size, identity->sha256};
}

bool IsSameFile(const FinishedFile& record, const std::string& path) {
    // The size first: a file cut short is told without reading it.
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) != record.size)
        return false;
    const std::optional<FinishedFile> now = RecordFile(path);
    return now && *now == record;
}

std::string ListJournal::PathFor(const std::string& folder, const std::string& stem) {
    return HiddenPathFor(folder, stem, kSuffix);
}

std::string LockPathFor(const std::string& folder, const std::string& stem) {
    return HiddenPathFor(folder, stem, kLockSuffix);
}

std::optional<FinishedFiles> ListJournal::FindUnfinished(const std::string& folder,
                                                         const std::string& stem,
                                                         const SourceIdentity& source,
                                                         const std::string& settings) {
    const std::optional<std::string> bytes = ReadJournal(PathFor(folder, stem));
    if (!bytes) return std::nullopt;
    std::optional<Parsed> parsed = ParseJournal(*bytes);
    if (!parsed || parsed->header.stem != stem || !(parsed->header.source == source) ||
        parsed->header.settings != settings)
        return std::nullopt;
    return std::move(parsed->finished);
}

std::unique_ptr<ListJournal> ListJournal::Begin(const std::string& folder, const std::string& stem,
                                                const SourceIdentity& source,
                                                const std::string& settings, bool resume) {
    if (settings.size() > kMaxSettingsBytes) return nullptr;
    FinishedFiles finished;
    if (resume) finished = FindUnfinished(folder, stem, source, settings).value_or(finished);
    std::string contents = HeaderText({stem, source, settings});
    for (const auto& [number, file] : finished) contents += DoneLine(number, file);
    // The journal is written whole under another name and renamed into place; the
    // descriptor stays open on it for the lines to come.
    const std::string path = PathFor(folder, stem);
    const std::string temporary = text::CreateTemporaryBeside(path);
    if (temporary.empty()) return nullptr;
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 || !text::WriteAll(fd, contents) || ::fsync(fd) != 0 ||
        ::rename(temporary.c_str(), path.c_str()) != 0 || !text::SyncFolder(folder)) {
        if (fd >= 0) ::close(fd);
        ::unlink(temporary.c_str());
        return nullptr;
    }
    return std::unique_ptr<ListJournal>(
        new ListJournal(folder, path, fd, contents.size(), std::move(finished)));
}

ListJournal::ListJournal(std::string folder, std::string path, int descriptor, std::size_t length,
                         FinishedFiles finished)
    : folder_(std::move(folder)),
      path_(std::move(path)),
      descriptor_(descriptor),
      length_(length),
      finished_(std::move(finished)) {}

ListJournal::~ListJournal() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

FinishedFiles ListJournal::Finished() const {
    const std::lock_guard lock(mutex_);
    return finished_;
}

bool ListJournal::AppendLocked(const std::string& line) {
    if (descriptor_ < 0) return false;
    if (!text::WriteAll(descriptor_, line) || ::fdatasync(descriptor_) != 0) {
        // A line half written would spoil the next: cut it off, or stop journaling.
        if (::ftruncate(descriptor_, static_cast<off_t>(length_)) != 0) {
            ::close(descriptor_);
            descriptor_ = -1;
        }
        return false;
    }
    length_ += line.size();
    return true;
}

bool ListJournal::MarkFinished(std::int64_t number, const FinishedFile& file) {
    if (!IsDigest(file.sha256)) return false;
    const std::lock_guard lock(mutex_);
    const auto known = finished_.find(number);
    if (known != finished_.end() && known->second == file) return true;
    // Made again without being forgotten first: the old record goes in the same line.
    const std::string lines =
        (known != finished_.end() ? DropLine(number) : std::string()) + DoneLine(number, file);
    if (!AppendLocked(lines)) return false;
    finished_[number] = file;
    return true;
}

bool ListJournal::Forget(std::int64_t number) {
    const std::lock_guard lock(mutex_);
    if (!finished_.contains(number)) return true;
    if (!AppendLocked(DropLine(number))) return false;
    finished_.erase(number);
    return true;
}

void ListJournal::Complete() {
    const std::lock_guard lock(mutex_);
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
    ::unlink(path_.c_str());
    text::SyncFolder(folder_);
}

std::string TemporaryPathFor(const std::string& finalPath) {
    return text::CreateTemporaryBeside(finalPath);
}

bool CommitTemporary(const std::string& temporaryPath, const std::string& finalPath) {
    return text::CommitTemporaryFile(temporaryPath, finalPath);
}

void RemoveLeftoverTemporaries(const std::string& folder, const std::string& stem) {
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return;
    const std::string journalName = ListJournal::PathFor(folder, stem).substr(folder.size() + 1);
    std::vector<std::string> leftovers;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::optional<std::string_view> finalName = text::FinalNameOfTemporary(entry->d_name);
        if (finalName && (*finalName == journalName || IsListFileOf(*finalName, stem)))
            leftovers.emplace_back(entry->d_name);
    }
    for (const std::string& name : leftovers) ::unlinkat(::dirfd(dir.get()), name.c_str(), 0);
    if (!leftovers.empty()) text::SyncFolder(folder);
}

}  // namespace sonoleaf
