#pragma once
// The integer conversion every numeric settings field goes through before a write.  It takes
// exactly the forms an operator has always been able to type: leading spaces, one sign, decimal
// within the 32-bit range, or a hexadecimal value after "$", "x", "X", "0x" or "0X" read as a
// 32-bit pattern.  Anything else is refused, including a trailing space.
#include <QString>

#include <cstdint>
#include <optional>
#include <stdexcept>

namespace settings {

// Raised when a field's text cannot go into the image.  The window shows what() (UTF-8) in the
// standard error box; the handler that was running stops there.
class ConvertError : public std::runtime_error {
public:
    explicit ConvertError(const QString& message);
    QString message() const;
};

// The converted value, or nothing when the text is not one of the accepted forms.
std::optional<std::int32_t> strtoint(const QString& text);

// "'<text>' is not a valid integer value."
QString notvalidtext(const QString& text);

// strtoint, raising ConvertError with the text above on failure.
std::int32_t strtointorthrow(const QString& text);

} // namespace settings
