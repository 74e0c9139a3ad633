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

// Enough for a full decode of a 400-megapixel picture whose codec cannot
// scale while decoding (PNG, TIFF); a header claiming more is refused by the
// pixel count first, so no bomb gets this far.
constexpr int kAllocationLimitMB = 2048;

struct OpenError {
    int error;
};

// Opens by the path's own bytes. O_NONBLOCK keeps a FIFO from blocking; only
// regular files are read.
std::unique_ptr<QFile> openPicture(const QString &path)
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
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw OpenError{EIO};
    }
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

bool swapsSides(QImageIOHandler::Transformations t) { return t & QImageIOHandler::TransformationRotate90; }

QImage decode(const QString &path, int box)
{
    std::unique_ptr<QFile> file = openPicture(path);
    std::unique_ptr<QImageReader> reader = makeReader(*file, path);
    QSize stored = reader->size();
    if (stored.isValid() && qint64(stored.width()) * stored.height() > kMaxPicturePixels)
        throw Error(QStringLiteral("picture too large"));
    const bool swap = swapsSides(reader->transformation());
    if (box > 0 && stored.isValid()) {
        const QSize upright = swap ? stored.transposed() : stored;
        const QSize target = fitIntoBox(upright, box);
        if (target != upright)
            reader->setScaledSize(swap ? target.transposed() : target);
    }
    QImage image = reader->read();
    if (image.isNull())
        throw Error(reader->errorString());
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
