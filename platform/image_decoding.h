#pragma once
// Picture decoding with the rules the viewer relies on: format by content
// first and by extension second, first frame only, EXIF orientation applied,
// thumbnails decoded straight to their reduced size where the codec can.
#include <QImage>
#include <QSize>
#include <QString>
#include <stdexcept>

namespace platform {

// An error with a message for the user.
class Error : public std::runtime_error {
public:
    explicit Error(const QString &message) : std::runtime_error(message.toStdString()), FMessage(message) {}
    QString message() const { return FMessage; }

private:
    QString FMessage;
};

// The size a picture of `source` pixels gets when fitted into a box of
// `box` x `box`: never enlarged; otherwise the longer side becomes `box` and
// the shorter one shorter * box / longer, rounded down (at least 1).
QSize fitIntoBox(QSize source, int box);

// A thumbnail of the picture at `path`, fitted into `box` x `box` device
// pixels, as 32-bit premultiplied ARGB. Throws Error when the file cannot be
// opened or decoded.
QImage decodeThumbnail(const QString &path, int box);

// The whole picture at its full size (orientation applied). Throws Error with
// the texts the user sees when the file cannot be opened or decoded.
QImage decodeWhole(const QString &path);

// Pictures whose header claims more pixels than this are refused before any
// pixel is decoded.
constexpr qint64 kMaxPicturePixels = 400'000'000;

} // namespace platform
