#pragma once
// The text a book import writes: every chapter as one "<title>" ... "</title>" passage
// with its title as the first line, so that the audio list by titles makes one file
// per chapter; and the files of one import (text, OPF, cover), written beside each
// other under temporary names and renamed into place together only once all are whole.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QSaveFile;

namespace sonoleaf::book {

struct Passage {
    std::string title;                    // one line
    std::vector<std::string> paragraphs;  // the book's text, in order
};

// "<title>" title "\n\n" paragraphs (a blank line between them) "\n</title>\n\n" for
// each passage, the literal tags neutralised in the book's own words.
std::string FormatChapteredText(const std::vector<Passage>& passages);

// Files staged in their destination folders; those not committed are removed when it
// goes, so that a failed import leaves nothing behind. Bytes the import writes itself go
// through Qt's QSaveFile, a file another program fills through a temporary of
// durable_file.h; either is only renamed into place by Commit.
class StagedFiles {
  public:
    StagedFiles();
    ~StagedFiles();
    StagedFiles(const StagedFiles&) = delete;
    StagedFiles& operator=(const StagedFiles&) = delete;

    // A new empty file beside `finalPath` for another program to fill; its path, or
    // empty when it cannot be made (`error` then tells why).
    std::string Stage(const std::string& finalPath, std::string& error);
    // A staged file holding `bytes`.
    bool StageBytes(const std::string& finalPath, std::string_view bytes, std::string& error);
    // Every staged file renamed to its final path, the last staged last. On a failure,
    // those already renamed are removed again.
    bool Commit(std::string& error);

  private:
    struct File {
        std::unique_ptr<QSaveFile> saved;  // bytes written here; else `temporary` is filled
        std::string temporary;
        std::string final;
    };
    std::vector<File> files_;
};

}  // namespace sonoleaf::book
