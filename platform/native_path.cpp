#include "native_path.h"

#include <QStringDecoder>
#include <QStringList>

namespace platform {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool isEscaped(char16_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

// Length of the valid UTF-8 sequence at s[i], or 0 when it is not one.
size_t utf8SequenceLength(std::string_view s, size_t i, char32_t &cp)
{
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    size_t len;
    char32_t min;
    if (c < 0x80) { cp = c; return 1; }
    if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; min = 0x80; }
    else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; min = 0x800; }
    else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; min = 0x10000; }
    else return 0;
    if (i + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

} // namespace

QString pathFromNative(std::string_view bytes)
{
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    size_t i = 0;
    while (i < bytes.size()) {
        char32_t cp = 0;
        const size_t len = utf8SequenceLength(bytes, i, cp);
        if (len == 0) {
            out.append(QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes[i]))));
            ++i;
            continue;
        }
        if (cp < 0x10000) {
            out.append(QChar(char16_t(cp)));
        } else {
            out.append(QChar(QChar::highSurrogate(cp)));
            out.append(QChar(QChar::lowSurrogate(cp)));
        }
        i += len;
    }
    return out;
}

std::string nativeFromPath(const QString &path)
{
    std::string out;
    out.reserve(static_cast<size_t>(path.size()));
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = path.at(i).unicode();
        char32_t cp = c;
        if (isEscaped(c)) {
            out.push_back(static_cast<char>(c - kEscapeBase));
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(path.at(i + 1).unicode())) {
            cp = QChar::surrogateToUcs4(c, path.at(i + 1).unicode());
            ++i;
        } else if (QChar::isSurrogate(c)) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

QString joinPath(const QString &folder, const QString &name)
{
    if (folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

QString lastComponent(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? path : path.mid(slash + 1);
}

QString displayText(const QString &path)
{
    const auto hasEscape = [](QStringView s) {
        for (QChar c : s)
            if (isEscaped(c.unicode()))
                return true;
        return false;
    };
    if (!hasEscape(path))
        return path;

    // Each component on its own: a Shift-JIS name inside a UTF-8 path.
    QStringList parts = path.split(u'/');
    for (QString &part : parts) {
        if (!hasEscape(part))
            continue;
        const std::string bytes = nativeFromPath(part);
        QStringDecoder sjis("Shift_JIS", QStringDecoder::Flag::Stateless);
        if (sjis.isValid()) {
            QString text = sjis.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
            if (!sjis.hasError() && !text.contains(QChar::ReplacementCharacter)) {
                part = text;
                continue;
            }
        }
        for (QChar &c : part)
            if (isEscaped(c.unicode()))
                c = QChar::ReplacementCharacter;
    }
    return parts.join(u'/');
}

} // namespace platform
