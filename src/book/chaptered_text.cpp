#include "book/chaptered_text.h"

#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

#include "book/text_lines.h"
#include "platform/text/durable_file.h"

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

StagedFiles::StagedFiles() = default;

// QSaveFile discards what it has not committed when it goes.
StagedFiles::~StagedFiles() {
    for (const File& file : files_) {
        if (!file.saved) ::unlink(file.temporary.c_str());
    }
}

std::string StagedFiles::Stage(const std::string& finalPath, std::string& error) {
    errno = 0;
    std::string temporary = text::CreateTemporaryBeside(finalPath);
    if (temporary.empty()) {
        error = errno != 0 ? Describe(errno) : "no temporary file can be made beside it";
        return {};
    }
    files_.push_back({nullptr, temporary, finalPath});
    return temporary;
}

bool StagedFiles::StageBytes(const std::string& finalPath, std::string_view bytes,
                             std::string& error) {
    auto file =
        std::make_unique<QSaveFile>(QFile::decodeName(QByteArray::fromStdString(finalPath)));
    if (!file->open(QIODevice::WriteOnly) ||
        file->write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size())) {
        error = file->errorString().toStdString();
        return false;
    }
    files_.push_back({std::move(file), {}, finalPath});
    return true;
}

bool StagedFiles::Commit(std::string& error) {
    for (std::size_t i = 0; i < files_.size(); ++i) {
        File& file = files_[i];
        errno = 0;
        const bool committed = file.saved ? file.saved->commit()
                                          : text::CommitTemporaryFile(file.temporary, file.final);
        if (committed) continue;
        error = file.saved ? file.saved->errorString().toStdString()
                           : Describe(errno != 0 ? errno : EIO);
        // (A temporary that failed is gone already.)
        if (!file.saved) file.temporary.clear();
        for (std::size_t done = 0; done < i; ++done) ::unlink(files_[done].final.c_str());
        files_.erase(files_.begin(), files_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        return false;
    }
    files_.clear();
    return true;
}

}  // namespace sonoleaf::book
