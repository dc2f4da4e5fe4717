#include "cli/line_alerts.h"

#include "platform/text/text_convert.h"

namespace sonoleaf::cli {

void LineAlerts::Present(const std::u16string& /*caption*/, const std::u16string& text,
                         AlertKind kind) {
    const std::string narrow = text::ToNarrow(text);
    // The box's line breaks become the terminal's.
    std::string line;
    line.reserve(narrow.size());
    for (std::size_t i = 0; i < narrow.size(); ++i) {
        if (narrow[i] == '\r' && i + 1 < narrow.size() && narrow[i + 1] == '\n') continue;
        line += narrow[i];
    }
    std::lock_guard lock(mutex_);
    if (beforeLine_) beforeLine_();
    std::FILE* stream = kind == AlertKind::Failure ? err_ : out_;
    std::fprintf(stream, "%s\n", line.c_str());
    std::fflush(stream);
}

}  // namespace sonoleaf::cli
