#include "model/TextRules.h"


#include <unicode/uchar.h>

#include <limits>

namespace TextRules {

QString trimmed(const QString &text)
{
    return text.trimmed();
}

bool hasVisibleText(const QString &text)
{
    for (const QChar c : text) {
        if (!c.isSpace())
            return true;
    }
    return false;
}

bool isNumericCharacter(char32_t codePoint)
{
    return u_getIntPropertyValue(static_cast<UChar32>(codePoint), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

std::optional<qint64> parseAsciiDecimal(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c.unicode() - u'0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<qint64> parseSignedAsciiDecimal(const QString &text)
{
    const bool hasSign = text.startsWith(u'+') || text.startsWith(u'-');
    const std::optional<qint64> magnitude = parseAsciiDecimal(hasSign ? text.mid(1) : text);
    if (!magnitude)
        return std::nullopt;
    return text.startsWith(u'-') ? -*magnitude : *magnitude;
}

} // namespace TextRules
