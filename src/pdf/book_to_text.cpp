#include "pdf/book_to_text.h"

#include "book/book_import.h"
#include "jobs/alert.h"
#include "pdf/pdf_to_text.h"
#include "platform/text/text_convert.h"

namespace sonoleaf {

void ConvertBookToText(std::u16string sourcePath, std::u16string folder) {
    using Kind = book::ImportResult::Kind;
    const std::string source = text::ToNarrow(sourcePath);
    const std::string textPath = text::ToNarrow(PdfOutputTextPath(sourcePath, folder));
    const book::ImportResult result = book::IsEpub(source)
                                          ? book::ConvertEpubToText(source, textPath)
                                          : book::ConvertPdfWithChapters(source, textPath);
    const bool saved = result.kind == Kind::Saved || result.kind == Kind::SavedWithoutOutline;
    ShowAlert(book::ImportMessage(result, source, textPath),
              saved ? AlertKind::Message : AlertKind::Failure);
    if (result.kind == Kind::SavedWithoutOutline) ShowAlert(book::kNoOutlineMessage);
    for (const std::string& warning : result.warnings) ShowAlert(warning);
}

}  // namespace sonoleaf
