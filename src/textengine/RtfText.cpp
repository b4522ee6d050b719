#include "textengine/RtfText.h"

#include <QStringList>

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace RtfText {

namespace {

// Where a group's characters go.
enum class RtfSink : std::uint8_t { none, body, headers, footers };

// What a control word means to the reader; everything not listed is formatting and ignored.
enum class RtfWord : std::uint8_t {
    ignored,
    skippedDestination, // a group whose content a reader never sees
    fontTable,
    headers,
    footers,
    quietDestination, // shows nothing itself, but a child group may show text (shpinst, upr)
    speakingChild,    // that child (shptxt, ud)
    paragraphEnd,     // par, sect, cell, row and their nested forms
    lineBreak,        // line, page, column
    tab,
    character, // a fixed character such as \emdash
    unicode,
    unicodeSkip,
    binary,
    font,
    fontCharset,
    fontCodePage,
    defaultFont,
    documentCodePage,
    ansi,
    mac,
    pc,
    pca,
    plain,
    hidden,
    deleted,
};

struct RtfWordMeaning {
    RtfWord word = RtfWord::ignored;
    char16_t character = 0;
};

const std::unordered_map<std::string_view, RtfWordMeaning> &rtfWordTable()
{
    static const std::unordered_map<std::string_view, RtfWordMeaning> table = [] {
        std::unordered_map<std::string_view, RtfWordMeaning> words;
        for (const std::string_view name :
             {"colortbl", "stylesheet", "info", "pict", "objdata", "objclass", "objname", "fldinst", "footnote",
              "annotation", "atnid", "atnauthor", "atndate", "atnref", "atrfstart", "atrfend", "xe", "tc", "tcn",
              "txe", "rxe", "bkmkstart", "bkmkend", "themedata", "colorschememapping", "datastore", "latentstyles",
              "listtable", "listoverridetable", "rsidtbl", "generator", "revtbl", "filetbl", "docvar", "userprops",
              "sp", "shprslt", "nonshppict", "pgdsctbl", "mmathPr", "xmlnstbl", "pn", "pntxta", "pntxtb",
              "template", "private", "falt", "panose", "fname", "blipuid", "picprop", "listpicture", "protusertbl",
              "wgrffmtfilter", "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc", "aftncn", "datafield",
              "fldtype", "passwordhash", "formfield", "background", "pgptbl", "stylesheet", "mhtmltag"})
            words[name] = {RtfWord::skippedDestination};
        words["fonttbl"] = {RtfWord::fontTable};
        for (const std::string_view name : {"header", "headerl", "headerr", "headerf"})
            words[name] = {RtfWord::headers};
        for (const std::string_view name : {"footer", "footerl", "footerr", "footerf"})
            words[name] = {RtfWord::footers};
        words["shpinst"] = {RtfWord::quietDestination};
        words["upr"] = {RtfWord::quietDestination};
        words["shptxt"] = {RtfWord::speakingChild};
        words["ud"] = {RtfWord::speakingChild};
        for (const std::string_view name : {"par", "sect", "cell", "row", "nestcell", "nestrow"})
            words[name] = {RtfWord::paragraphEnd};
        for (const std::string_view name : {"line", "page", "column"})
            words[name] = {RtfWord::lineBreak};
        words["tab"] = {RtfWord::tab};
        const std::pair<std::string_view, char16_t> characters[] = {
            {"emdash", u'\u2014'},  {"endash", u'\u2013'},    {"lquote", u'\u2018'},  {"rquote", u'\u2019'},
            {"ldblquote", u'\u201C'}, {"rdblquote", u'\u201D'}, {"bullet", u'\u2022'}, {"emspace", u'\u2003'},
            {"enspace", u'\u2002'}, {"qmspace", u'\u2005'},   {"zwj", u'\u200D'},     {"zwnj", u'\u200C'},
            {"ltrmark", u'\u200E'}, {"rtlmark", u'\u200F'},   {"zwbo", u'\u200B'},
        };
        for (const auto &[name, character] : characters)
            words[name] = {RtfWord::character, character};
        words["u"] = {RtfWord::unicode};
        words["uc"] = {RtfWord::unicodeSkip};
        words["bin"] = {RtfWord::binary};
        words["f"] = {RtfWord::font};
        words["fcharset"] = {RtfWord::fontCharset};
        words["cpg"] = {RtfWord::fontCodePage};
        words["deff"] = {RtfWord::defaultFont};
        words["ansicpg"] = {RtfWord::documentCodePage};
        words["ansi"] = {RtfWord::ansi};
        words["mac"] = {RtfWord::mac};
        words["pc"] = {RtfWord::pc};
        words["pca"] = {RtfWord::pca};
        words["plain"] = {RtfWord::plain};
        words["v"] = {RtfWord::hidden};
        words["deleted"] = {RtfWord::deleted};
        return words;
    }();
    return table;
}

// The Windows code page a font's \fcharset stands for; 0 when it means the document's own.
int rtfCharsetCodePage(int charset)
{
    switch (charset) {
    case 0:
        return 1252;
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default:
        return 0; // 1 (default), 2 (symbol) and the rest follow the document
    }
}

// Whether a byte opens a two-byte character in the code page (the next byte is its second half,
// whatever its value, so a literal ASCII character after it belongs to it).
bool rtfIsLeadByte(int codePage, unsigned char byte)
{
    switch (codePage) {
    case 932:
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
        return byte >= 0x81 && byte <= 0xFE;
    default:
        return false;
    }
}

// A character of a symbol font (\fcharset2, or the private-use block U+F020..U+F0FF that writers
// give its characters): list bullets are nearly all there is, so the usual ones become their
// Unicode signs and the rest are read as Windows-1252.
char16_t rtfSymbolCharacter(unsigned char byte)
{
    switch (byte) {
    case 0xB7:
    case 0x95:
        return u'\u2022';
    case 0xA7:
        return u'\u25AA';
    case 0xD8:
        return u'\u27A2';
    case 0xFC:
        return u'\u2713';
    default:
        break;
    }
    static const std::array<char16_t, 32> high = {
        u'\u20AC', u'\uFFFD', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
        u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\uFFFD', u'\u017D', u'\uFFFD',
        u'\uFFFD', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
        u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\uFFFD', u'\u017E', u'\u0178'};
    if (byte >= 0x80 && byte < 0xA0)
        return high[byte - 0x80];
    return char16_t(byte);
}

struct RtfConverterCloser {
    void operator()(UConverter *converter) const { ucnv_close(converter); }
};
using RtfConverter = std::unique_ptr<UConverter, RtfConverterCloser>;

RtfConverter rtfOpenConverter(int codePage)
{
    std::string name;
    switch (codePage) {
    case 936:
        name = "GB18030"; // a superset of GBK that reads every GBK byte pair alike
        break;
    case 10000:
        name = "macintosh";
        break;
    case 65001:
        name = "UTF-8";
        break;
    case 437:
    case 850:
        name = "ibm-" + std::to_string(codePage);
        break;
    default:
        name = "windows-" + std::to_string(codePage);
        break;
    }
    UErrorCode status = U_ZERO_ERROR;
    RtfConverter converter(ucnv_open(name.c_str(), &status));
    if (U_FAILURE(status) || !converter) {
        status = U_ZERO_ERROR;
        converter.reset(ucnv_open("windows-1252", &status));
    }
    return converter;
}

// One flow of text (the body, the headers, the footers): finished paragraphs are trimmed and
// kept only when something is left, so a run of empty paragraphs holds nothing.
struct RtfPart {
    QString finished;
    QString current;

    void endParagraph()
    {
        const QString trimmed = current.trimmed();
        current.clear();
        if (trimmed.isEmpty())
            return;
        if (!finished.isEmpty())
            finished += u'\n';
        finished += trimmed;
    }
    QString text()
    {
        endParagraph();
        return finished;
    }
};

struct RtfGroup {
    RtfSink sink = RtfSink::body;
    RtfSink quietSink = RtfSink::none; // what a speaking child of a quiet destination writes to
    int unicodeSkip = 1;
    int font = -1; // -1: the document's default font
    bool hidden = false;
    bool deleted = false;
    bool inFontTable = false;
};

class RtfReader {
public:
    explicit RtfReader(const QByteArray &bytes) : m_bytes(bytes) {}

    Result read()
    {
        Result result;
        if (!run()) {
            result.error = TextComparisonImportError::rtfUnreadable;
            return result;
        }
        flushBytes();
        QStringList parts;
        for (RtfPart *part : {&m_body, &m_headers, &m_footers}) {
            const QString text = part->text();
            if (!text.isEmpty())
                parts.append(text);
        }
        result.text = withoutLoneSurrogates(parts.join(u'\n').trimmed());
        if (result.text.isEmpty())
            result.error = TextComparisonImportError::rtfTextMissing;
        return result;
    }

private:
    bool run()
    {
        const qsizetype size = m_bytes.size();
        const char *data = m_bytes.constData();
        std::vector<RtfGroup> stack;
        stack.reserve(64);
        RtfGroup group;
        group.sink = RtfSink::none; // nothing stands outside the document's group
        m_group = &group;
        qsizetype i = 0;
        bool started = false;
        while (i < size) {
            const unsigned char c = static_cast<unsigned char>(data[i]);
            if (c == '{') {
                ++i;
                m_pendingSkip = 0;
                if (stack.size() >= std::size_t(maxGroupDepth))
                    return false;
                stack.push_back(group);
                if (!started) {
                    group.sink = RtfSink::body;
                    started = true;
                }
                continue;
            }
            if (c == '}') {
                ++i;
                m_pendingSkip = 0;
                if (stack.empty())
                    return true; // the document's group is closed: what follows is not part of it
                const RtfSink closing = group.sink;
                group = stack.back();
                stack.pop_back();
                if (closing != group.sink && (closing == RtfSink::headers || closing == RtfSink::footers)) {
                    flushBytes();
                    part(closing).endParagraph();
                }
                if (stack.empty())
                    return true;
                continue;
            }
            if (c == '\\') {
                i = controlAt(i + 1);
                continue;
            }
            ++i;
            if (c == 0)
                return false; // RTF is text: a NUL says the file is something else
            if (c == '\r' || c == '\n')
                continue;
            if (consumeSkipped())
                continue;
            if (c >= 0x80 || m_needsTrail)
                emitByte(c);
            else if (c == '\t')
                emitCharacter(u'\t');
            else if (c >= 0x20)
                emitCharacter(char16_t(c));
        }
        return true; // a document cut short gives what was read
    }

    // Reads the control word or symbol after a backslash at `i`; returns where reading goes on.
    qsizetype controlAt(qsizetype i)
    {
        const qsizetype size = m_bytes.size();
        const char *data = m_bytes.constData();
        if (i >= size)
            return i;
        const char c = data[i];
        if (!isLetter(c))
            return controlSymbolAt(i);
        const qsizetype nameStart = i;
        while (i < size && isLetter(data[i]))
            ++i;
        const std::string_view name(data + nameStart, std::size_t(i - nameStart));
        bool negative = false;
        if (i < size && data[i] == '-' && i + 1 < size && isDigit(data[i + 1])) {
            negative = true;
            ++i;
        }
        std::optional<std::int64_t> parameter;
        while (i < size && isDigit(data[i])) {
            const std::int64_t value = parameter.value_or(0) * 10 + (data[i] - '0');
            parameter = std::min<std::int64_t>(value, std::int64_t(1) << 40);
            ++i;
        }
        if (negative && parameter)
            parameter = -*parameter;
        if (i < size && data[i] == ' ')
            ++i;
        const bool starred = m_starred;
        m_starred = false;
        if (name == "bin") {
            // Binary data stands as one character for a \uc count and is never text.
            consumeSkipped();
            const std::int64_t length = std::max<std::int64_t>(parameter.value_or(0), 0);
            return i + qsizetype(std::min<std::int64_t>(length, size - i));
        }
        if (consumeSkipped())
            return i;
        word(name, parameter, starred);
        return i;
    }

    qsizetype controlSymbolAt(qsizetype i)
    {
        const qsizetype size = m_bytes.size();
        const char *data = m_bytes.constData();
        const char c = data[i++];
        if (c == '\'') {
            int value = -1;
            if (i + 1 < size) {
                const int high = hexValue(data[i]);
                const int low = hexValue(data[i + 1]);
                if (high >= 0 && low >= 0)
                    value = high * 16 + low;
            }
            if (value < 0)
                return i; // a broken escape gives nothing
            i += 2;
            if (!consumeSkipped())
                emitByte(static_cast<unsigned char>(value));
            return i;
        }
        if (c == '*') {
            m_starred = true;
            return i;
        }
        if (consumeSkipped())
            return i;
        switch (c) {
        case '\\':
        case '{':
        case '}':
            emitCharacter(char16_t(c));
            break;
        case '~':
            emitCharacter(u'\u00A0');
            break;
        case '_':
            emitCharacter(u'\u2011');
            break;
        case '\r':
        case '\n':
            endParagraph();
            break;
        case '\t':
            emitCharacter(u'\t');
            break;
        default:
            break; // \- (optional hyphen), \: (index subentry), \| (formula) show nothing
        }
        return i;
    }

    void word(std::string_view name, std::optional<std::int64_t> parameter, bool starred)
    {
        const auto &table = rtfWordTable();
        const auto found = table.find(name);
        const RtfWordMeaning meaning = found == table.end() ? RtfWordMeaning{} : found->second;
        RtfGroup &group = *m_group;
        if (starred && meaning.word != RtfWord::quietDestination && meaning.word != RtfWord::speakingChild) {
            // A starred destination this reader does not show is skipped whole, as a reader that
            // does not know it must.
            group.sink = RtfSink::none;
            return;
        }
        const int value = int(std::clamp<std::int64_t>(parameter.value_or(0), -(std::int64_t(1) << 31) + 1,
                                                       (std::int64_t(1) << 31) - 1));
        switch (meaning.word) {
        case RtfWord::ignored:
            break;
        case RtfWord::skippedDestination:
            group.sink = RtfSink::none;
            break;
        case RtfWord::fontTable:
            group.sink = RtfSink::none;
            group.inFontTable = true;
            break;
        // Inside a skipped destination (a page style table repeats the headers) they stay unseen.
        case RtfWord::headers:
            if (group.sink != RtfSink::none)
                group.sink = RtfSink::headers;
            break;
        case RtfWord::footers:
            if (group.sink != RtfSink::none)
                group.sink = RtfSink::footers;
            break;
        case RtfWord::quietDestination:
            group.quietSink = group.sink;
            group.sink = RtfSink::none;
            break;
        case RtfWord::speakingChild:
            group.sink = group.quietSink;
            break;
        case RtfWord::paragraphEnd:
            endParagraph();
            break;
        case RtfWord::lineBreak:
            emitCharacter(u'\n');
            break;
        case RtfWord::tab:
            emitCharacter(u'\t');
            break;
        case RtfWord::character:
            emitCharacter(meaning.character);
            break;
        case RtfWord::unicode:
            emitUnicode(parameter.value_or(0));
            m_pendingSkip = group.unicodeSkip;
            break;
        case RtfWord::unicodeSkip:
            // A count above a handful is never written; it only decides how much follows is skipped.
            group.unicodeSkip = std::clamp(value, 0, 16);
            break;
        case RtfWord::binary:
            break; // handled where the data is stepped over
        case RtfWord::font:
            if (group.inFontTable)
                m_tableFont = value;
            else
                group.font = value;
            break;
        case RtfWord::fontCharset:
            if (group.inFontTable)
                m_fontCharsets[m_tableFont] = value;
            break;
        case RtfWord::fontCodePage:
            if (group.inFontTable)
                m_fontCodePages[m_tableFont] = value;
            break;
        case RtfWord::defaultFont:
            m_defaultFont = value;
            break;
        case RtfWord::documentCodePage:
            if (value > 0)
                m_documentCodePage = value;
            break;
        case RtfWord::ansi:
            m_documentCodePage = 1252;
            break;
        case RtfWord::mac:
            m_documentCodePage = 10000;
            break;
        case RtfWord::pc:
            m_documentCodePage = 437;
            break;
        case RtfWord::pca:
            m_documentCodePage = 850;
            break;
        case RtfWord::plain:
            group.font = -1;
            group.hidden = false;
            group.deleted = false;
            break;
        case RtfWord::hidden:
            group.hidden = !parameter || *parameter != 0;
            break;
        case RtfWord::deleted:
            group.deleted = !parameter || *parameter != 0;
            break;
        }
    }

    // After \uN, the next \uc characters are the replacement for readers without Unicode.
    bool consumeSkipped()
    {
        if (m_pendingSkip <= 0)
            return false;
        --m_pendingSkip;
        return true;
    }

    bool shows() const
    {
        return m_group->sink != RtfSink::none && !m_group->hidden && !m_group->deleted && !m_group->inFontTable;
    }

    RtfPart &part(RtfSink sink)
    {
        switch (sink) {
        case RtfSink::headers:
            return m_headers;
        case RtfSink::footers:
            return m_footers;
        default:
            return m_body;
        }
    }

    int currentFont() const { return m_group->font >= 0 ? m_group->font : m_defaultFont; }

    bool symbolFont() const
    {
        const auto found = m_fontCharsets.find(currentFont());
        return found != m_fontCharsets.end() && found->second == 2;
    }

    int codePage() const
    {
        const int font = currentFont();
        if (const auto found = m_fontCodePages.find(font); found != m_fontCodePages.end() && found->second > 0)
            return found->second;
        if (const auto found = m_fontCharsets.find(font); found != m_fontCharsets.end()) {
            if (const int fromCharset = rtfCharsetCodePage(found->second))
                return fromCharset;
        }
        return m_documentCodePage;
    }

    void emitByte(unsigned char byte)
    {
        if (!shows()) {
            m_needsTrail = false;
            return;
        }
        if (symbolFont()) {
            emitCharacter(rtfSymbolCharacter(byte));
            return;
        }
        const int page = codePage();
        if (!m_pendingBytes.isEmpty() && (page != m_pendingCodePage || m_group->sink != m_pendingSink))
            flushBytes();
        m_pendingCodePage = page;
        m_pendingSink = m_group->sink;
        m_pendingBytes.append(char(byte));
        m_needsTrail = !m_needsTrail && rtfIsLeadByte(page, byte);
    }

    void emitCharacter(char16_t character)
    {
        if (!shows())
            return;
        flushBytes();
        part(m_group->sink).current.append(QChar(character));
    }

    void emitUnicode(std::int64_t value)
    {
        if (value < 0)
            value += 65536;
        if (value < 0 || value > 0x10FFFF || !shows())
            return;
        flushBytes();
        QString &current = part(m_group->sink).current;
        if (value >= 0xF020 && value <= 0xF0FF) {
            current.append(QChar(rtfSymbolCharacter(static_cast<unsigned char>(value & 0xFF))));
        } else if (value > 0xFFFF) {
            const char32_t codePoint = char32_t(value);
            current.append(QString::fromUcs4(&codePoint, 1));
        } else {
            current.append(QChar(char16_t(value)));
        }
    }

    void endParagraph()
    {
        if (!shows())
            return;
        flushBytes();
        part(m_group->sink).endParagraph();
    }

    void flushBytes()
    {
        m_needsTrail = false;
        if (m_pendingBytes.isEmpty())
            return;
        part(m_pendingSink).current.append(decode(m_pendingBytes, m_pendingCodePage));
        m_pendingBytes.clear();
    }

    QString decode(const QByteArray &bytes, int page)
    {
        auto found = m_converters.find(page);
        if (found == m_converters.end())
            found = m_converters.emplace(page, rtfOpenConverter(page)).first;
        UConverter *converter = found->second.get();
        if (!converter)
            return QString::fromLatin1(bytes);
        ucnv_reset(converter);
        UErrorCode status = U_ZERO_ERROR;
        // A byte never gives more than two UTF-16 units in any of these code pages.
        std::vector<UChar> buffer(std::size_t(bytes.size()) * 2 + 1);
        const int32_t length = ucnv_toUChars(converter, buffer.data(), int32_t(buffer.size()), bytes.constData(),
                                             int32_t(bytes.size()), &status);
        if (U_FAILURE(status))
            return QString(QChar::ReplacementCharacter);
        return QString(reinterpret_cast<const QChar *>(buffer.data()), length);
    }

    static QString withoutLoneSurrogates(QString text)
    {
        for (qsizetype k = 0; k < text.size(); ++k) {
            const QChar c = text.at(k);
            if (c.isHighSurrogate() && k + 1 < text.size() && text.at(k + 1).isLowSurrogate())
                ++k;
            else if (c.isSurrogate())
                text[k] = QChar::ReplacementCharacter;
        }
        return text;
    }

    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    static int hexValue(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    const QByteArray &m_bytes;
    RtfGroup *m_group = nullptr;
    RtfPart m_body;
    RtfPart m_headers;
    RtfPart m_footers;
    bool m_starred = false;
    int m_pendingSkip = 0;
    int m_documentCodePage = 1252;
    int m_defaultFont = 0;
    int m_tableFont = 0;
    std::map<int, int> m_fontCharsets;
    std::map<int, int> m_fontCodePages;
    std::map<int, RtfConverter> m_converters;
    QByteArray m_pendingBytes;
    int m_pendingCodePage = 1252;
    RtfSink m_pendingSink = RtfSink::body;
    bool m_needsTrail = false;
};

} // namespace

bool startsAsRtf(const QByteArray &bytes)
{
    return bytes.startsWith("{\\rtf");
}

Result text(const QByteArray &bytes)
{
    return RtfReader(bytes).read();
}

} // namespace RtfText
