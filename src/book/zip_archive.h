#pragma once
// The entries of a ZIP archive (an EPUB's container), read into memory only: no entry
// is ever written to disk, and no entry name ever becomes a path. Reading is bounded
// while it inflates, so that a zip bomb gets a refusal rather than the machine's memory.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace sonoleaf::book {

// Bounds for every archive: entries, one entry's inflated size and its ratio to the
// packed size (below the floor no ratio can hurt), and all entries read together.
inline constexpr std::int64_t kMaxZipEntries = 20000;
inline constexpr std::uint64_t kMaxEntryBytes = 256ull << 20;
inline constexpr std::uint64_t kMaxInflateRatio = 100;
inline constexpr std::uint64_t kRatioFloorBytes = 1ull << 20;
inline constexpr std::uint64_t kMaxArchiveReadBytes = 1ull << 30;

class ZipArchive {
  public:
    struct Entry {
        enum class Status { Ok, Missing, TooLarge, Encrypted, Damaged };
        Status status = Status::Missing;
        std::string bytes;
    };

    // Null when `path` is no readable ZIP archive; `reason` then tells why, as the end
    // of a sentence ("it is not a ZIP archive").
    static std::unique_ptr<ZipArchive> Open(const std::string& path, std::string& reason);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    std::int64_t EntryCount() const;
    // The name as stored; empty for an index out of range.
    std::string EntryName(std::int64_t index) const;
    bool Contains(std::string_view name) const;

    // The entry's bytes when they inflate to at most `limit` (and the archive's own
    // bounds); TooLarge as soon as they pass it, whatever the archive's directory says.
    Entry Read(std::string_view name, std::uint64_t limit);
    Entry ReadIndex(std::int64_t index, std::uint64_t limit);

  private:
    struct Impl;
    // The entry of that name, else of that name in another case; -1 when none.
    std::int64_t Locate(std::string_view name) const;
    explicit ZipArchive(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace sonoleaf::book
