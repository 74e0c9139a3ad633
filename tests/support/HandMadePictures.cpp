#include "HandMadePictures.h"

#include <QBuffer>
#include <QImageWriter>
#include <QtEndian>

#include <array>
#include <vector>

namespace testing {
namespace {

void put16le(QByteArray &d, quint16 v) { d.append(char(v & 0xFF)).append(char(v >> 8)); }
void put32le(QByteArray &d, quint32 v) { put16le(d, quint16(v & 0xFFFF)); put16le(d, quint16(v >> 16)); }
void put16be(QByteArray &d, quint16 v) { d.append(char(v >> 8)).append(char(v & 0xFF)); }
void put32be(QByteArray &d, quint32 v) { put16be(d, quint16(v >> 16)); put16be(d, quint16(v & 0xFFFF)); }
void set16be(QByteArray &d, qsizetype at, quint16 v) { d[at] = char(v >> 8); d[at + 1] = char(v & 0xFF); }
void set32be(QByteArray &d, qsizetype at, quint32 v) { set16be(d, at, quint16(v >> 16)); set16be(d, at + 2, quint16(v & 0xFFFF)); }

quint32 crc32(const QByteArray &bytes)
{
    quint32 c = 0xFFFFFFFFu;
    for (const char ch : bytes) {
        c ^= uchar(ch);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    QByteArray out;
    put32be(out, quint32(data.size()));
    const QByteArray body = QByteArray(type, 4) + data;
    out += body;
    put32be(out, crc32(body));
    return out;
}

// One TIFF, directories first; pixels beyond `dataLimit` bytes per page are
// left out of the file while the directory still counts them.
QByteArray tiff(const QList<TiffPage> &pages, int bits, qint64 dataLimit)
{
    constexpr int kEntries = 10;
    constexpr int kIfdSize = 2 + kEntries * 12 + 4;
    QByteArray out("II*\0", 4);
    put32le(out, 8);
    for (qsizetype p = 0; p < pages.size(); ++p) {
        const TiffPage &page = pages[p];
        const quint32 ifdAt = quint32(out.size());
        const quint32 bitsAt = ifdAt + kIfdSize;
        const quint32 dataAt = bitsAt + 6;
        const qint64 fullBytes = qint64(page.width) * page.height * 3 * (bits / 8);
        const qint64 written = dataLimit >= 0 ? qMin(dataLimit, fullBytes) : fullBytes;
        const auto entry = [&](quint16 tag, quint16 type, quint32 count, quint32 value) {
            put16le(out, tag);
            put16le(out, type);
            put32le(out, count);
            if (type == 3 && count == 1) {
                put16le(out, quint16(value));
                put16le(out, 0);
            } else {
                put32le(out, value);
            }
        };
        put16le(out, kEntries);
        entry(256, 4, 1, quint32(page.width));
        entry(257, 4, 1, quint32(page.height));
        entry(258, 3, 3, bitsAt);
        entry(259, 3, 1, 1); // no compression
        entry(262, 3, 1, 2); // RGB
        entry(273, 4, 1, dataAt);
        entry(277, 3, 1, 3);
        entry(278, 4, 1, quint32(page.height));
        entry(279, 4, 1, quint32(fullBytes));
        entry(284, 3, 1, 1); // chunky
        const quint32 next = p + 1 < pages.size() ? quint32(dataAt + written) : 0;
        put32le(out, next);
        for (int i = 0; i < 3; ++i)
            put16le(out, quint16(bits));
        QByteArray pixel;
        for (const int v : {page.color.red(), page.color.green(), page.color.blue()}) {
            if (bits == 16)
                put16le(pixel, quint16(v * 257));
            else
                pixel.append(char(v));
        }
        QByteArray data;
        data.reserve(written);
        while (data.size() < written)
            data += pixel;
        data.truncate(written);
        out += data;
    }
    return out;
}

// Bits written MSB first, with the 0xFF byte stuffing of JPEG entropy data.
class BitWriter {
public:
    void put(quint32 code, int length)
    {
        for (int i = length - 1; i >= 0; --i) {
            FByte = quint8((FByte << 1) | ((code >> i) & 1u));
            if (++FCount == 8)
                flushByte();
        }
    }
    QByteArray finish()
    {
        while (FCount != 0)
            put(1, 1);
        return FOut;
    }

private:
    void flushByte()
    {
        FOut.append(char(FByte));
        if (FByte == 0xFF)
            FOut.append('\0');
        FByte = 0;
        FCount = 0;
    }
    QByteArray FOut;
    quint8 FByte = 0;
    int FCount = 0;
};

struct HuffmanCode {
    quint32 code = 0;
    int length = 0;
};

std::array<HuffmanCode, 256> canonicalCodes(const std::array<quint8, 16> &bits, const std::vector<quint8> &values)
{
    std::array<HuffmanCode, 256> codes{};
    quint32 code = 0;
    size_t k = 0;
    for (int len = 1; len <= 16; ++len) {
        for (int i = 0; i < bits[size_t(len - 1)]; ++i)
            codes[values[k++]] = {code++, len};
        code <<= 1;
    }
    return codes;
}

QByteArray segment(quint8 marker, const QByteArray &body)
{
    QByteArray out;
    out.append(char(0xFF)).append(char(marker));
    put16be(out, quint16(body.size() + 2));
    return out + body;
}

} // namespace

QByteArray encodedPicture(const QImage &image, const char *format, bool progressive)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return out;
}

QByteArray tiffFile(const QList<TiffPage> &pages, int bitsPerSample) { return tiff(pages, bitsPerSample, -1); }

QByteArray tiffClaiming(int width, int height) { return tiff({{width, height, Qt::red}}, 8, 64); }

QByteArray cmykJpeg(int width, int height, const uchar ink[4])
{
    // The standard DC table of luminance; AC coefficients are all zero, so
    // the AC table holds only the end-of-block symbol.
    const std::array<quint8, 16> dcBits{0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<quint8> dcValues{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    const std::array<quint8, 16> acBits{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<quint8> acValues{0x00};
    const auto dc = canonicalCodes(dcBits, dcValues);
    const auto ac = canonicalCodes(acBits, acValues);

    QByteArray out("\xFF\xD8", 2);
    QByteArray adobe("Adobe", 5);
    put16be(adobe, 100);
    put16be(adobe, 0);
    put16be(adobe, 0);
    adobe.append('\0'); // no colour transform: the samples are CMYK
    out += segment(0xEE, adobe);
    QByteArray dqt(1, '\0');
    dqt += QByteArray(64, '\1');
    out += segment(0xDB, dqt);
    QByteArray sof;
    sof.append(char(8));
    put16be(sof, quint16(height));
    put16be(sof, quint16(width));
    sof.append(char(4));
    for (int c = 1; c <= 4; ++c)
        sof.append(char(c)).append(char(0x11)).append('\0');
    out += segment(0xC0, sof);
    for (const auto &[cls, bits, values] : {std::tuple{0x00, dcBits, dcValues}, std::tuple{0x10, acBits, acValues}}) {
        QByteArray dht(1, char(cls));
        for (const quint8 b : bits)
            dht.append(char(b));
        for (const quint8 v : values)
            dht.append(char(v));
        out += segment(0xC4, dht);
    }
    QByteArray sos(1, char(4));
    for (int c = 1; c <= 4; ++c)
        sos.append(char(c)).append('\0');
    sos.append('\0').append(char(63)).append('\0');
    out += segment(0xDA, sos);

    BitWriter bits;
    int previous[4] = {0, 0, 0, 0};
    const int blocks = ((width + 7) / 8) * ((height + 7) / 8);
    for (int b = 0; b < blocks; ++b) {
        for (int c = 0; c < 4; ++c) {
            const int sample = 255 - ink[c]; // Adobe stores CMYK inverted
            const int value = 8 * (sample - 128);
            const int diff = value - previous[c];
            previous[c] = value;
            int category = 0;
            for (int m = diff < 0 ? -diff : diff; m; m >>= 1)
                ++category;
            bits.put(dc[size_t(category)].code, dc[size_t(category)].length);
            if (category)
                bits.put(quint32(diff >= 0 ? diff : diff - 1) & ((1u << category) - 1), category);
            bits.put(ac[0].code, ac[0].length);
        }
    }
    out += bits.finish();
    out.append(char(0xFF)).append(char(0xD9));
    return out;
}

QByteArray greyAlphaPng(int width, int height, int grey, int alpha)
{
    QByteArray ihdr;
    put32be(ihdr, quint32(width));
    put32be(ihdr, quint32(height));
    ihdr.append(char(8)).append(char(4)).append('\0').append('\0').append('\0');
    QByteArray rows;
    for (int y = 0; y < height; ++y) {
        rows.append('\0');
        for (int x = 0; x < width; ++x)
            rows.append(char(grey)).append(char(alpha));
    }
    const QByteArray zlib = qCompress(rows).mid(4); // qCompress puts the length first
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) + pngChunk("IDAT", zlib) + pngChunk("IEND", {});
}

QByteArray pngClaiming(int width, int height)
{
    QImage small(8, 8, QImage::Format_ARGB32);
    small.fill(Qt::red);
    QByteArray d = encodedPicture(small, "png");
    set32be(d, 16, quint32(width));
    set32be(d, 20, quint32(height));
    set32be(d, 29, crc32(d.mid(12, 17)));
    return d;
}

QByteArray jpegClaiming(int width, int height, bool progressive)
{
    QImage small(16, 16, QImage::Format_RGB32);
    small.fill(Qt::red);
    QByteArray d = encodedPicture(small, "jpeg", progressive);
    for (qsizetype i = 2; i + 9 < d.size() && uchar(d[i]) == 0xFF;) {
        const uchar marker = uchar(d[i + 1]);
        if (marker == 0xC0 || marker == 0xC2) {
            set16be(d, i + 5, quint16(height));
            set16be(d, i + 7, quint16(width));
            return d;
        }
        i += 2 + ((uchar(d[i + 2]) << 8) | uchar(d[i + 3]));
    }
    return {};
}

QByteArray bmpClaiming(int width, int height)
{
    const QByteArray pixels(64, '\x7f');
    QByteArray d("BM", 2);
    put32le(d, quint32(14 + 40 + pixels.size()));
    put32le(d, 0);
    put32le(d, 14 + 40);
    put32le(d, 40);
    put32le(d, quint32(width));
    put32le(d, quint32(height));
    put16le(d, 1);
    put16le(d, 24);
    put32le(d, 0); // no compression
    put32le(d, 0);
    put32le(d, 2835);
    put32le(d, 2835);
    put32le(d, 0);
    put32le(d, 0);
    return d + pixels;
}

QByteArray withExifOrientation(const QByteArray &jpeg, int orientation)
{
    QByteArray exif("Exif\0\0", 6);
    exif += QByteArray("MM\0\x2a", 4);
    put32be(exif, 8);        // IFD0 right after the TIFF header
    put16be(exif, 1);        // one entry
    put16be(exif, 0x0112);   // Orientation
    put16be(exif, 3);        // SHORT
    put32be(exif, 1);
    put16be(exif, quint16(orientation));
    put16be(exif, 0);
    put32be(exif, 0);        // no next IFD
    return jpeg.left(2) + segment(0xE1, exif) + jpeg.mid(2);
}

} // namespace testing
