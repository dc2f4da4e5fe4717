#include "cli/line_alerts.h"

#include <array>
#include <string_view>

#include "platform/text/text_convert.h"

namespace sonoleaf::cli {

bool IsFailureMessage(const std::string& text) {
    // "could not be saved" (files and lists), "could not be started" (pdftotext), the
    // title list without titles and the PDF that did not convert.
    static constexpr std::array<std::string_view, 3> kMarkers = {
        "could not be", "There is no <title>", ": This File is Encrypted"};
    for (const std::string_view marker : kMarkers) {
        if (text.find(marker) != std::string::npos) return true;
    }
    return false;
}

void LineAlerts::Present(const std::u16string& /*caption*/, const std::u16string& text) {
    const std::string narrow = text::ToNarrow(text);
    // The box's line breaks become the terminal's.
    std::string line;
    line.reserve(narrow.size());
    for (std::size_t i = 0; i < narrow.size(); ++i) {
        if (narrow[i] == '\r' && i + 1 < narrow.size() && narrow[i + 1] == '\n') continue;
        line += narrow[i];
    }
    if (IsFailureMessage(line)) failed_ = true;
    std::lock_guard lock(mutex_);
    if (beforeLine_) beforeLine_();
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
}

}  // namespace sonoleaf::cli
