#pragma once
// Wide text of the system (UTF-16) to and from Qt's strings, unit for unit.

#include <QString>
#include <string>
#include <string_view>

namespace sonoleaf::dialogs {

inline QString ToQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}

inline std::u16string ToU16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
}

}  // namespace sonoleaf::dialogs
