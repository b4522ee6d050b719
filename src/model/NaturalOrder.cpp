#include "model/NaturalOrder.h"

namespace NaturalOrder {

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The digit run starting at `i` without its leading zeros; `i` moves past the run.
QStringView digitRun(const QString &text, qsizetype &i)
{
    while (i < text.size() && text.at(i) == u'0' && i + 1 < text.size() && isDigit(text.at(i + 1)))
        ++i;
    const qsizetype start = i;
    while (i < text.size() && isDigit(text.at(i)))
        ++i;
    return QStringView(text).mid(start, i - start);
}

} // namespace

int compare(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a.at(i)) && isDigit(b.at(j))) {
            const QStringView x = digitRun(a, i);
            const QStringView y = digitRun(b, j);
            // Without leading zeros the longer run is the larger number; equal lengths compare
            // digit by digit, which never overflows however long the run.
            if (x.size() != y.size())
                return x.size() < y.size() ? -1 : 1;
            if (const int c = x.compare(y); c != 0)
                return c < 0 ? -1 : 1;
            continue;
        }
        const char16_t x = a.at(i).toCaseFolded().unicode();
        const char16_t y = b.at(j).toCaseFolded().unicode();
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

} // namespace NaturalOrder
