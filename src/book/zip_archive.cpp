#include "book/zip_archive.h"

#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <array>

namespace sonoleaf::book {
namespace {

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct FileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

std::string OpenFailure(int code) {
    switch (code) {
        case ZIP_ER_NOZIP:
            return "it is not a ZIP archive";
        case ZIP_ER_NOENT:
        case ZIP_ER_OPEN:
            return "it cannot be opened";
        case ZIP_ER_INCONS:
        case ZIP_ER_READ:
        case ZIP_ER_SEEK:
            return "its ZIP directory is damaged";
        case ZIP_ER_MEMORY:
            return "its ZIP directory is too large";
        default: {
            zip_error_t error;
            zip_error_init_with_code(&error, code);
            std::string text = std::string("the ZIP reader says: ") + zip_error_strerror(&error);
            zip_error_fini(&error);
            return text;
        }
    }
}

}  // namespace

struct ZipArchive::Impl {
    std::unique_ptr<zip_t, ArchiveCloser> archive;
    std::uint64_t fileSize = 0;
    std::uint64_t readSoFar = 0;
};

ZipArchive::ZipArchive(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ZipArchive::~ZipArchive() = default;

std::unique_ptr<ZipArchive> ZipArchive::Open(const std::string& path, std::string& reason) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = "it is not a file that can be read";
        return nullptr;
    }
    int code = 0;
    zip_t* opened = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (opened == nullptr) {
        reason = OpenFailure(code);
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->archive.reset(opened);
    impl->fileSize = static_cast<std::uint64_t>(info.st_size);
    if (zip_get_num_entries(opened, 0) > kMaxZipEntries) {
        reason = "it holds more than " + std::to_string(kMaxZipEntries) + " files";
        return nullptr;
    }
    return std::unique_ptr<ZipArchive>(new ZipArchive(std::move(impl)));
}

std::int64_t ZipArchive::EntryCount() const {
    return zip_get_num_entries(impl_->archive.get(), 0);
}

std::string ZipArchive::EntryName(std::int64_t index) const {
    if (index < 0 || index >= EntryCount()) return {};
    const char* name = zip_get_name(impl_->archive.get(), static_cast<zip_uint64_t>(index), 0);
    return name != nullptr ? name : std::string();
}

std::int64_t ZipArchive::Locate(std::string_view name) const {
    const std::string wanted(name);
    const zip_int64_t index = zip_name_locate(impl_->archive.get(), wanted.c_str(), 0);
    // Books made on systems that ignore case sometimes link with another case.
    return index >= 0 ? index
                      : zip_name_locate(impl_->archive.get(), wanted.c_str(), ZIP_FL_NOCASE);
}

bool ZipArchive::Contains(std::string_view name) const {
    return Locate(name) >= 0;
}

ZipArchive::Entry ZipArchive::Read(std::string_view name, std::uint64_t limit) {
    const std::int64_t index = Locate(name);
    if (index < 0) return {};
    return ReadIndex(index, limit);
}

ZipArchive::Entry ZipArchive::ReadIndex(std::int64_t index, std::uint64_t limit) {
    Entry entry;
    zip_t* archive = impl_->archive.get();
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (index < 0 || index >= EntryCount() ||
        zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &stat) != 0)
        return entry;
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
        entry.status = Entry::Status::Encrypted;
        return entry;
    }
    // The directory's packed size cannot be larger than the archive itself, however it lies.
    const std::uint64_t packed = (stat.valid & ZIP_STAT_COMP_SIZE)
                                     ? std::min<std::uint64_t>(stat.comp_size, impl_->fileSize)
                                     : impl_->fileSize;
    const std::uint64_t bound =
        std::min({limit, kMaxEntryBytes, std::max(kRatioFloorBytes, packed * kMaxInflateRatio),
                  kMaxArchiveReadBytes - std::min(impl_->readSoFar, kMaxArchiveReadBytes)});
    const std::unique_ptr<zip_file_t, FileCloser> file(
        zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0));
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(archive));
        entry.status =
            code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_ENCRNOTSUPP
                ? Entry::Status::Encrypted
                : Entry::Status::Damaged;
        return entry;
    }
    // The size the directory claims, read in one piece; a claim is only believed up to
    // a few MiB, so that a lying entry cannot make its reader hold more than it holds.
    constexpr std::uint64_t kMaxBelievedBytes = 8u << 20;
    if (stat.valid & ZIP_STAT_SIZE)
        entry.bytes.reserve(std::min({stat.size, bound, kMaxBelievedBytes}));
    std::array<char, 1 << 16> buffer;
    for (;;) {
        const zip_int64_t got = zip_fread(file.get(), buffer.data(), buffer.size());
        if (got < 0) {
            entry.status = Entry::Status::Damaged;  // a bad checksum, or data cut short
            entry.bytes.clear();
            return entry;
        }
        if (got == 0) break;
        if (entry.bytes.size() + static_cast<std::uint64_t>(got) > bound) {
            entry.status = Entry::Status::TooLarge;
            impl_->readSoFar += entry.bytes.size();
            entry.bytes = std::string();
            return entry;
        }
        entry.bytes.append(buffer.data(), static_cast<std::size_t>(got));
    }
    impl_->readSoFar += entry.bytes.size();
    entry.status = Entry::Status::Ok;
    return entry;
}

}  // namespace sonoleaf::book
