#pragma once
// Picture files written byte by byte, for what Qt's own writers cannot make:
// multi-page and 16-bit TIFF, CMYK JPEG, grey PNG with alpha, EXIF
// orientation, and headers that claim a size their data does not have.
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>

namespace testing {

QByteArray encodedPicture(const QImage &image, const char *format, bool progressive = false);

// Uncompressed RGB TIFF, its directories before their pixels; one page per
// entry, each of one colour. bitsPerSample is 8 or 16.
struct TiffPage {
    int width, height;
    QColor color;
};
QByteArray tiffFile(const QList<TiffPage> &pages, int bitsPerSample = 8);

// A baseline JPEG of one colour with four components (Adobe CMYK, stored
// inverted as Photoshop writes it); `ink` gives C, M, Y, K in 0..255.
QByteArray cmykJpeg(int width, int height, const uchar ink[4]);

// A PNG of 8-bit grey with alpha, every pixel (grey, alpha).
QByteArray greyAlphaPng(int width, int height, int grey, int alpha);

// The PNG / JPEG / TIFF / BMP header of a small real picture rewritten to
// claim width x height; the data that follows stays small.
QByteArray pngClaiming(int width, int height);
QByteArray jpegClaiming(int width, int height, bool progressive);
QByteArray tiffClaiming(int width, int height);
QByteArray bmpClaiming(int width, int height);

// `jpeg` with an EXIF segment carrying the orientation tag put after SOI.
QByteArray withExifOrientation(const QByteArray &jpeg, int orientation);

} // namespace testing
