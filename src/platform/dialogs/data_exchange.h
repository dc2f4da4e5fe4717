#pragma once
// The number-field half of dialog data exchange.

#include <QString>
#include <cstdint>
#include <optional>

class QLineEdit;
class QWidget;

namespace sonoleaf::dialogs {

// The framework's message for a number field that holds no whole number.
inline constexpr char kEnterAnInteger[] = "Please enter an integer.";

// A 32-bit whole number: blanks around it and a sign allowed, nothing else.
std::optional<std::int32_t> ParseDialogInteger(const QString& text);

// Load direction: the value as decimal text. Save direction: the text parsed into
// `value`; when it is no whole number, the framework's message is shown (modal to the
// field's window), the field gets the focus with its text selected, `value` is left as
// it was, and the result is false.
bool ExchangeInteger(bool save, QLineEdit& field, std::int32_t& value);

}  // namespace sonoleaf::dialogs
