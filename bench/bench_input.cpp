#include "bench_input.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

namespace bench {
namespace {

// Bump when the pictures change, so old work folders are remade.
constexpr int kGeneratorVersion = 3;

struct Random {
    uint64_t s;
    explicit Random(uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
    double unit() { return double(next() >> 11) / double(1ull << 53); }
    int range(int lo, int hi) { return lo + int(next() % uint64_t(hi - lo + 1)); }
    QColor colour(int alpha = 255) { return QColor(range(0, 255), range(0, 255), range(0, 255), alpha); }
};

QImage photoLike(int w, int h, uint64_t seed)
{
    Random r(seed);
    QImage image(w, h, QImage::Format_RGB32);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        // Sky-to-ground style background.
        QLinearGradient bg(r.unit() * w, 0, r.unit() * w, h);
        bg.setColorAt(0, r.colour());
        bg.setColorAt(0.5 + 0.3 * (r.unit() - 0.5), r.colour());
        bg.setColorAt(1, r.colour());
        p.fillRect(image.rect(), bg);
        // Objects with soft shading and hard edges, as a scene has.
        const int shapes = r.range(12, 30);
        for (int i = 0; i < shapes; ++i) {
            const double cx = r.unit() * w, cy = r.unit() * h;
            const double rx = (0.03 + 0.25 * r.unit()) * w, ry = (0.03 + 0.25 * r.unit()) * h;
            QRadialGradient g(cx, cy, qMax(rx, ry));
            g.setColorAt(0, r.colour(r.range(160, 255)));
            g.setColorAt(1, r.colour(r.range(120, 255)));
            p.setBrush(g);
            p.setPen(QPen(r.colour(), 1 + r.unit() * w / 400));
            switch (r.range(0, 2)) {
            case 0:
                p.drawEllipse(QPointF(cx, cy), rx, ry);
                break;
            case 1:
                p.drawRoundedRect(QRectF(cx - rx, cy - ry, 2 * rx, 2 * ry), rx / 5, ry / 5);
                break;
            default: {
                QPainterPath path;
                path.moveTo(cx, cy);
                for (int k = 0; k < 5; ++k)
                    path.lineTo(cx + (r.unit() - 0.5) * 2 * rx, cy + (r.unit() - 0.5) * 2 * ry);
                path.closeSubpath();
                p.drawPath(path);
            }
            }
        }
    }
    // Sensor noise and fine texture: what makes photo files large.
    const int amplitude = r.range(10, 22);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const uint64_t n = r.next();
            const int grain = int(n & 0xFF) * amplitude / 256 - amplitude / 2;
            const int cr = int((n >> 8) & 7) - 3, cb = int((n >> 11) & 7) - 3;
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + grain + cr, 0, 255), std::clamp(qGreen(c) + grain, 0, 255),
                           std::clamp(qBlue(c) + grain + cb, 0, 255));
        }
    }
    return image;
}

QString stampText(const PictureSet &set)
{
    return QStringLiteral("v%1 %2x%3 %4 q%5 %6\n")
        .arg(kGeneratorVersion)
        .arg(set.width)
        .arg(set.height)
        .arg(QString::fromLatin1(set.format))
        .arg(set.quality)
        .arg(set.progressive ? "progressive" : "baseline");
}

QString readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

template <class F> void onEveryCore(int n, F job)
{
    std::atomic<int> next = 0;
    std::vector<std::thread> threads;
    const int cores = qMax(1, QThread::idealThreadCount());
    for (int t = 0; t < cores; ++t)
        threads.emplace_back([&] {
            for (int i; (i = next++) < n;)
                job(i);
        });
    for (auto &t : threads)
        t.join();
}

} // namespace

QStringList ensurePictures(const PictureSet &set)
{
    QDir dir(set.folder);
    dir.mkpath(QStringLiteral("."));
    const QString ext = QString::fromLatin1(qstrcmp(set.format, "png") == 0 ? "png" : "jpg");
    const QString stampPath = dir.filePath(QStringLiteral(".params"));
    if (readAll(stampPath) != stampText(set)) {
        for (const QString &old : dir.entryList({QStringLiteral("p*.jpg"), QStringLiteral("p*.png")}, QDir::Files))
            dir.remove(old);
        writeAll(stampPath, stampText(set).toUtf8());
    }
    QStringList paths;
    for (int i = 0; i < set.count; ++i)
        paths << dir.filePath(QStringLiteral("p%1.%2").arg(i, 5, 10, QChar(u'0')).arg(ext));
    std::vector<int> missing;
    for (int i = 0; i < set.count; ++i)
        if (!QFileInfo::exists(paths[i]))
            missing.push_back(i);
    if (!missing.empty()) {
        std::fprintf(stderr, "making %zu pictures in %s ...\n", missing.size(), qPrintable(set.folder));
        onEveryCore(int(missing.size()), [&](int m) {
            const int i = missing[size_t(m)];
            const QImage image = photoLike(set.width, set.height, uint64_t(i) * 7919 + uint64_t(set.width));
            const QString tmp = paths[i] + QStringLiteral(".part");
            QImageWriter writer(tmp, set.format);
            writer.setQuality(qstrcmp(set.format, "png") == 0 ? 50 : set.quality);
            writer.setProgressiveScanWrite(set.progressive);
            if (writer.write(image))
                QFile::rename(tmp, paths[i]);
            else
                std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(tmp), qPrintable(writer.errorString()));
        });
    }
    return paths;
}

void ensureListingTree(const QString &folder, int files, int subfolders, int perSubfolder)
{
    const QString stampPath = folder + QStringLiteral("/../.listing-params");
    const QString stamp = QStringLiteral("%1 %2 %3\n").arg(files).arg(subfolders).arg(perSubfolder);
    if (readAll(stampPath) == stamp && QFileInfo(folder).isDir())
        return;
    std::fprintf(stderr, "making the listing tree in %s ...\n", qPrintable(folder));
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QByteArray tiny;
    {
        QBuffer buffer(&tiny);
        buffer.open(QIODevice::WriteOnly);
        photoLike(16, 12, 1).save(&buffer, "jpeg", 80);
    }
    for (int i = 0; i < files; ++i)
        writeAll(QStringLiteral("%1/IMG_%2.jpg").arg(folder).arg(i, 5, 10, QChar(u'0')), tiny);
    for (int s = 0; s < subfolders; ++s) {
        const QString sub = QStringLiteral("%1/folder %2").arg(folder).arg(s, 3, 10, QChar(u'0'));
        QDir().mkpath(sub);
        for (int i = 0; i < perSubfolder; ++i)
            writeAll(QStringLiteral("%1/DSC_%2.jpg").arg(sub).arg(i, 4, 10, QChar(u'0')), tiny);
    }
    writeAll(stampPath, stamp.toUtf8());
}

qint64 warmPageCache(const QStringList &files)
{
    qint64 total = 0;
    std::vector<char> buffer(1 << 20);
    for (const QString &path : files) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        for (qint64 got; (got = f.read(buffer.data(), qint64(buffer.size()))) > 0;)
            total += got;
    }
    return total;
}

} // namespace bench
