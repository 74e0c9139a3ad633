// Makes a folder of photo-like pictures, or opens the window on a folder and
// saves a picture of it. Used by scripts/screenshot.sh for docs/screenshot.png.
//   fotra_screenshot pictures DIR
//   fotra_screenshot grab FOLDER SIZE-STEP OUT.png   (HOME names the account)
#include "Application.h"
#include "Thumbnails.h"
#include "Unit1.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QThreadPool>

#include <cstdio>

namespace {

// A ridge line across the picture by midpoint displacement.
QPainterPath Ridge(QRandomGenerator &rng, int w, int h, double base, double rough)
{
    QList<double> heights{base, base};
    double spread = rough;
    while (heights.size() < 65) {
        QList<double> next;
        for (qsizetype i = 0; i + 1 < heights.size(); ++i) {
            next << heights[i] << (heights[i] + heights[i + 1]) / 2 + (rng.generateDouble() - 0.5) * spread;
        }
        next << heights.last();
        heights = next;
        spread *= 0.55;
    }
    QPainterPath path(QPointF(0, h));
    for (qsizetype i = 0; i < heights.size(); ++i)
        path.lineTo(double(w) * double(i) / double(heights.size() - 1), heights[i] * h);
    path.lineTo(w, h);
    path.closeSubpath();
    return path;
}

QImage Landscape(quint32 seed, int w, int h)
{
    QRandomGenerator rng(seed);
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const int hue = int(rng.bounded(360));
    const bool dusk = rng.bounded(3) == 0;
    QLinearGradient sky(0, 0, 0, h * 0.7);
    sky.setColorAt(0, QColor::fromHsv((hue + 200) % 360, 160, dusk ? 120 : 230));
    sky.setColorAt(1, dusk ? QColor::fromHsv(20 + int(rng.bounded(20)), 170, 250)
                           : QColor::fromHsv((hue + 190) % 360, 40, 255));
    p.fillRect(image.rect(), sky);
    const QPointF sun(w * (0.2 + 0.6 * rng.generateDouble()), h * (0.15 + 0.25 * rng.generateDouble()));
    QRadialGradient glow(sun, h * 0.12);
    glow.setColorAt(0, QColor(255, 250, 225));
    glow.setColorAt(0.35, QColor(255, dusk ? 190 : 240, 150, 230));
    glow.setColorAt(1, QColor(255, 230, 180, 0));
    p.fillRect(image.rect(), glow);
    p.setPen(Qt::NoPen);
    for (int layer = 0; layer < 3; ++layer) {
        const double base = 0.42 + 0.14 * layer + 0.05 * rng.generateDouble();
        const int value = 150 - 40 * layer;
        p.setBrush(QColor::fromHsv((hue + 90 + 15 * layer) % 360, 90 + 40 * layer, dusk ? value / 2 : value));
        p.drawPath(Ridge(rng, w, h, base, 0.35 - 0.08 * layer));
    }
    if (rng.bounded(2)) { // a lake in front
        QLinearGradient water(0, h * 0.8, 0, h);
        water.setColorAt(0, QColor::fromHsv((hue + 200) % 360, 120, dusk ? 110 : 200));
        water.setColorAt(1, QColor::fromHsv((hue + 210) % 360, 160, dusk ? 60 : 120));
        p.fillRect(QRectF(0, h * 0.82, w, h * 0.18), water);
    }
    return image;
}

int MakePictures(const QString &dir)
{
    struct Shot {
        const char *path;
        int w, h;
    };
    const Shot shots[] = {
        {"旅行/湖畔.jpg", 1600, 1200},     {"旅行/夕焼け.jpg", 1600, 1000},  {"旅行/山道.jpg", 1200, 1600},
        {"旅行/朝霧.jpg", 1600, 1200},     {"旅行/峠から.jpg", 1920, 1080},  {"旅行/ridge.jpg", 1600, 1200},
        {"旅行/valley.png", 1200, 900},    {"旅行/夜明け.jpg", 1000, 1400}, {"旅行/panorama.jpg", 2400, 900},
        {"旅行/DSC_0042.JPG", 1600, 1200}, {"旅行/scan.tif", 900, 1200},    {"旅行/宿の窓.jpg", 1600, 1200},
        {"家族/公園.jpg", 1600, 1200},     {"家族/誕生日.jpg", 1200, 1600}, {"壁紙.png", 1920, 1080},
    };
    quint32 seed = 7;
    for (const Shot &s : shots) {
        const QString path = dir + "/" + QString::fromUtf8(s.path);
        QDir().mkpath(QFileInfo(path).path());
        QImageWriter writer(path);
        writer.setQuality(85);
        if (!writer.write(Landscape(seed++, s.w, s.h))) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
            return 1;
        }
    }
    QDir().mkpath(dir + "/スクリーンショット");
    return 0;
}

QTreeWidgetItem *ChildWithTag(QTreeWidgetItem *parent, const QString &tag)
{
    for (int i = 0; i < parent->childCount(); ++i)
        if (TForm1::Tag(parent->child(i)) == tag)
            return parent->child(i);
    return nullptr;
}

void WaitForLoad(TThumbnails *view)
{
    QDeadlineTimer deadline(60000);
    while (view->IsLoading() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

int Grab(const QString &folder, int step, const QString &out)
{
    int rc = 1;
    {
        TForm1 form;
        form.show();
        QTreeWidgetItem *root = form.TreeView1->topLevelItem(0); // Pictures
        form.TreeView1->setCurrentItem(root);
        WaitForLoad(form.Thumbnails1);
        QTreeWidgetItem *target = ChildWithTag(root, QDir::cleanPath(folder));
        if (!target) {
            std::fprintf(stderr, "%s is not a folder right below Pictures\n", qPrintable(folder));
            return 1;
        }
        form.TreeView1->setCurrentItem(target);
        form.TrackBar1->setValue(step);
        WaitForLoad(form.Thumbnails1);
        form.TreeView1->setFocus();
        WaitForLoad(form.Thumbnails1);
        QImageWriter writer(out, "png");
        writer.setQuality(0); // smallest file: for PNG, quality is the inverse of compression
        if (writer.write(form.grab().toImage().convertToFormat(QImage::Format_RGB888)))
            rc = 0;
        else
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(out), qPrintable(writer.errorString()));
    }
    QThreadPool::globalInstance()->waitForDone();
    return rc;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    InitApplication(app);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == "pictures")
        return MakePictures(args[2]);
    if (args.size() == 5 && args[1] == "grab")
        return Grab(args[2], args[3].toInt(), args[4]);
    std::fprintf(stderr, "usage: fotra_screenshot pictures DIR\n"
                         "       fotra_screenshot grab FOLDER SIZE-STEP OUT.png\n");
    return 2;
}
