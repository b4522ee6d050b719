#include "model/HexColor.h"

#include <limits>

namespace HexColor {

namespace {

bool isLetterOrDigit(QChar c)
{
    return c.isLetterOrNumber();
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

QColor fromValue(quint64 value)
{
    return QColor(int((value >> 16) & 0xFF), int((value >> 8) & 0xFF), int(value & 0xFF));
}

} // namespace

quint64 scanValue(const QString &hex, bool *isShorthand)
{
    qsizetype first = 0;
    qsizetype last = hex.size();
    while (first < last && !isLetterOrDigit(hex.at(first)))
        ++first;
    while (last > first && !isLetterOrDigit(hex.at(last - 1)))
        --last;
    const QStringView trimmed = QStringView(hex).mid(first, last - first);
    if (isShorthand)
        *isShorthand = trimmed.size() == 3;

    qsizetype i = 0;
    if (trimmed.size() > 2 && trimmed.at(0) == u'0' && (trimmed.at(1) == u'x' || trimmed.at(1) == u'X')
        && hexDigit(trimmed.at(2)) >= 0)
        i = 2;
    quint64 value = 0;
    bool overflow = false;
    for (; i < trimmed.size(); ++i) {
        const int digit = hexDigit(trimmed.at(i));
        if (digit < 0)
            break;
        if (value > (std::numeric_limits<quint64>::max() >> 4))
            overflow = true;
        value = (value << 4) | quint64(digit);
    }
    // Like the platform scanner, an out-of-range number reads as the largest value.
    return overflow ? std::numeric_limits<quint64>::max() : value;
}

QColor uiColor(const QString &hex)
{
    bool shorthand = false;
    const quint64 value = scanValue(hex, &shorthand);
    if (shorthand) {
        return QColor(int((value >> 8) & 0xF) * 17, int((value >> 4) & 0xF) * 17, int(value & 0xF) * 17);
    }
    return fromValue(value);
}

QColor drawingColor(const QString &hex)
{
    return fromValue(scanValue(hex));
}

} // namespace HexColor
