#include "platform/speech/locale_language.h"

#include <cstdlib>

namespace sonoleaf::speech_service {

std::string LanguageTagOfLocale(std::string_view locale) {
    const auto cut = locale.find_first_of(".@");
    if (cut != std::string_view::npos) locale = locale.substr(0, cut);
    if (locale.empty() || locale == "C" || locale == "POSIX") return {};
    std::string tag;
    for (const char c : locale) {
        if (c == '_') {
            tag += '-';
        } else if (c >= 'A' && c <= 'Z') {
            tag += static_cast<char>(c - 'A' + 'a');
        } else {
            tag += c;
        }
    }
    return tag;
}

std::string UserLanguageTag() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return LanguageTagOfLocale(value);
    }
    return {};
}

}  // namespace sonoleaf::speech_service
