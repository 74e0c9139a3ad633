#include "image_decoding.h"

#include "native_path.h"

#include <QFile>
#include <QImageReader>
#include <QLocale>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// The largest single picture buffer a decoder may ask for. TIFF and BMP
// thumbnails, and every picture the copy command takes, are decoded whole,
// so this is what caps them: 1 GiB holds a 16384 x 16384 picture at 8 bits
// per channel (a 12000 x 9000 one needs 412 MiB). Two loading threads may
// each hold one, which a desktop can spare; more would let one odd file push
// the machine into swap.
constexpr int kAllocationLimitMB = 1024;

// A file that reports whether a decoder asked it for bytes past its end, as
// the JPEG decoder does on a truncated file (it pads the rest with grey and
// reports success). The BMP decoder asks for exactly the bytes it needs, so
// for it a short read is the same sign.
class WatchedFile : public QFile {
public:
    // The descriptor is closed here rather than by Qt, so that the close is
    // seen by ThreadSanitizer, which ignores what uninstrumented Qt calls.
    explicit WatchedFile(int fd) : FFd(fd) {}
    ~WatchedFile() override
    {
        close();
        ::close(FFd);
    }
    bool readPastEnd() const { return FReadPastEnd; }
    bool readShort() const { return FReadShort; }
    void resetWatch() { FReadPastEnd = FReadShort = false; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = QFile::readData(data, maxSize);
        if (n == 0 && maxSize > 0)
            FReadPastEnd = true;
        if (n >= 0 && n < maxSize)
            FReadShort = true;
        return n;
    }

private:
    bool FReadPastEnd = false;
    bool FReadShort = false;
    const int FFd;
};

struct OpenError {
    int error;
};

// Opens by the path's own bytes. O_NONBLOCK keeps a FIFO from blocking; only
// regular files are read.
std::unique_ptr<WatchedFile> openPicture(const QString &path)
{
    const std::string native = nativeFromPath(path);
    const int fd = ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw OpenError{errno};
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        throw OpenError{err};
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    auto file = std::make_unique<WatchedFile>(fd);
    // Unbuffered, so that every read a decoder makes reaches readData and a
    // read at the end means the decoder itself wanted more.
    if (!file->open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle))
        throw OpenError{EIO};
    return file;
}

QByteArray formatForExtension(const QString &path)
{
    const QString name = lastComponent(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return {};
    const QString ext = QLocale().toLower(name.mid(dot + 1));
    if (ext == u"jpg" || ext == u"jpeg")
        return "jpeg";
    if (ext == u"tif" || ext == u"tiff")
        return "tiff";
    return ext.toLatin1();
}

// A reader on `file` whose format comes from the content, or from the
// extension when the content names none.
std::unique_ptr<QImageReader> makeReader(QFile &file, const QString &path)
{
    auto reader = std::make_unique<QImageReader>(&file);
    reader->setDecideFormatFromContent(true);
    if (!reader->canRead()) {
        file.seek(0);
        reader = std::make_unique<QImageReader>(&file, formatForExtension(path));
    }
    reader->setAutoTransform(true);
    reader->setAllocationLimit(kAllocationLimitMB);
    return reader;
}

// True when the JPEG in `file` is arithmetic-coded (its frame marker is one
// of SOF9..SOF15). Leaves the file at its start.
bool isArithmeticJpeg(QFile &file)
{
    bool arithmetic = false;
    qint64 at = 2;
    uchar m[4];
    while (file.seek(at) && file.read(reinterpret_cast<char *>(m), 4) == 4 && m[0] == 0xFF) {
        const uchar marker = m[1];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            arithmetic = marker >= 0xC9;
            break;
        }
        if (marker == 0xDA || marker == 0xD9)
            break;
        at += 2 + ((m[2] << 8) | m[3]);
    }
    file.seek(0);
    return arithmetic;
}

// A PNG (deflate) or a Huffman-coded JPEG cannot hold its pixels in fewer
// than about one byte per 8192 of them (1032:1 is deflate's best ratio on
// 1-bit rows; a JPEG spends at least a bit on every 8x8 block). A file far
// smaller than its header's claim is a forged or cut-off header: refusing it
// up front keeps the decoder from allocating for the claim.
bool impossiblySmall(QFile &file, const QByteArray &format, QSize stored)
{
    constexpr qint64 kPixelsPerByteAtMost = 10'000;
    if (format != "png" && (format != "jpeg" || isArithmeticJpeg(file)))
        return false;
    return file.size() < qint64(stored.width()) * stored.height() / kPixelsPerByteAtMost;
}

bool swapsSides(QImageIOHandler::Transformations t) { return t & QImageIOHandler::TransformationRotate90; }

QImage decode(const QString &path, int box)
{
    std::unique_ptr<WatchedFile> file = openPicture(path);
    std::unique_ptr<QImageReader> reader = makeReader(*file, path);
    QSize stored = reader->size();
    const QByteArray format = reader->format(); // empty once the reader is at the end
    if (stored.isValid() && qint64(stored.width()) * stored.height() > kMaxPicturePixels)
        throw Error(QStringLiteral("picture too large"));
    if (stored.isValid()) {
        const qint64 pos = file->pos();
        if (impossiblySmall(*file, format, stored))
            throw Error(QStringLiteral("picture data missing"));
        file->seek(pos);
    }
    const bool swap = swapsSides(reader->transformation());
    if (box > 0 && stored.isValid()) {
        const QSize upright = swap ? stored.transposed() : stored;
        const QSize target = fitIntoBox(upright, box);
        if (target != upright)
            reader->setScaledSize(swap ? target.transposed() : target);
    }
    file->resetWatch();
    QImage image = reader->read();
    if (image.isNull())
        throw Error(reader->errorString());
    // The decoder ran out of data and padded the picture: not what the file shows.
    if (file->readPastEnd() || (format == "bmp" && file->readShort()))
        throw Error(QStringLiteral("picture data cut off"));
    if (box > 0 && !stored.isValid()) {
        const QSize target = fitIntoBox(image.size(), box);
        if (target != image.size())
            image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
    return image;
}

} // namespace

QSize fitIntoBox(QSize source, int box)
{
    const qint64 w = source.width();
    const qint64 h = source.height();
    if (w <= 0 || h <= 0 || box <= 0 || (w <= box && h <= box))
        return source;
    if (w >= h)
        return QSize(box, int(qMax<qint64>(1, h * box / w)));
    return QSize(int(qMax<qint64>(1, w * box / h)), box);
}

QImage decodeThumbnail(const QString &path, int box)
{
    try {
        return decode(path, box);
    } catch (const OpenError &e) {
        throw Error(QString::fromLocal8Bit(std::strerror(e.error)));
    }
}

QImage decodeWhole(const QString &path)
{
    const QString shown = displayText(path);
    try {
        return decode(path, 0);
    } catch (const OpenError &e) {
        throw Error(QStringLiteral("ファイル %1 は開けません。 %2 ").arg(shown, QString::fromLocal8Bit(std::strerror(e.error))));
    } catch (const Error &) {
        throw Error(QStringLiteral("ビットマップの読み込みに失敗しました (%1)。").arg(shown));
    }
}

} // namespace platform
