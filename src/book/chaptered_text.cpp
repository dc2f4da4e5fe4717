#include "book/chaptered_text.h"

#include "platform/text/durable_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "book/text_lines.h"

namespace sonoleaf::book {
namespace {

std::string Describe(int error) {
    return std::strerror(error);
}

}  // namespace

std::string FormatChapteredText(const std::vector<Passage>& passages) {
    std::string text;
    for (const Passage& passage : passages) {
        std::string body = CollapseSpaces(passage.title);
        for (const std::string& paragraph : passage.paragraphs) {
            body += "\n\n";
            body += paragraph;
        }
        NeutraliseTitleTags(body);
        text += "<title>";
        text += body;
        text += "\n</title>\n\n";
    }
    return text;
}

StagedFiles::~StagedFiles() {
    for (const File& file : files_) ::unlink(file.temporary.c_str());
}

std::string StagedFiles::Stage(const std::string& finalPath, std::string& error) {
    const std::size_t slash = finalPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : finalPath.substr(0, slash + 1);
    const std::string name = finalPath.substr(folder.size());
    // Names need not be secret, only unlikely to be taken: O_EXCL settles the rest.
    thread_local std::mt19937 random{std::random_device()()};
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(random()));
        // Hidden and marked, in the destination folder so that the rename stays on one
        // file system; created with the usual permissions (the umask applies).
        std::string temporary = folder + "." + name + ".part" + suffix;
        const int descriptor =
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) {
            ::close(descriptor);
            files_.push_back({temporary, finalPath});
            return temporary;
        }
        if (errno != EEXIST) {
            error = Describe(errno);
            return {};
        }
    }
    error = "no temporary name is free";
    return {};
}

bool StagedFiles::StageBytes(const std::string& finalPath, std::string_view bytes,
                             std::string& error) {
    const std::string temporary = Stage(finalPath, error);
    if (temporary.empty()) return false;
    const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (descriptor < 0) {
        error = Describe(errno);
        return false;
    }
    const bool written = text::WriteAll(descriptor, bytes);
    const int writeError = errno;
    if (::close(descriptor) != 0 || !written) {
        error = Describe(written ? errno : writeError);
        return false;
    }
    return true;
}

bool StagedFiles::Commit(std::string& error) {
    for (std::size_t i = 0; i < files_.size(); ++i) {
        if (::rename(files_[i].temporary.c_str(), files_[i].final.c_str()) == 0) continue;
        error = Describe(errno);
        for (std::size_t done = 0; done < i; ++done) ::unlink(files_[done].final.c_str());
        files_.erase(files_.begin(), files_.begin() + static_cast<std::ptrdiff_t>(i));
        return false;
    }
    files_.clear();
    return true;
}

}  // namespace sonoleaf::book
