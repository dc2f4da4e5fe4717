#pragma once
// The language the user's locale asks for, as a lower-case tag such as "en-us".

#include <string>
#include <string_view>

namespace sonoleaf::speech_service {

// From a locale name such as "en_US.UTF-8@euro": "en-us". Empty for "C", "POSIX" or
// an empty name.
std::string LanguageTagOfLocale(std::string_view locale);

// The tag of the locale that governs messages: LC_ALL, else LC_MESSAGES, else LANG.
std::string UserLanguageTag();

}  // namespace sonoleaf::speech_service
