// Odd and broken picture files in one folder: each gives its thumbnail or an
// empty entry, the rest of the folder still loads in order, forged headers
// are refused without the memory they claim, and EXIF orientation is honoured
// by the thumbnails and by the copy command.
#include "HandMadePictures.h"
#include "TestSupport.h"
#include "CaptionLabel.h"
#include "Thumbnails.h"
#include "Unit1.h"
#include "image_decoding.h"

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QThreadPool>

#include <cstdio>
#include <functional>

using namespace testing;

namespace {

QImage pattern(int w, int h, QColor color = QColor(40, 140, 200))
{
    return cornerPattern(w, h, color, QImage::Format_RGB32);
}

QByteArray garbage(int n, quint32 seed, QByteArray prefix = {})
{
    QRandomGenerator rng(seed);
    QByteArray d = prefix;
    while (d.size() < n)
        d.append(char(rng.bounded(256)));
    return d;
}

QByteArray half(const QByteArray &d) { return d.left(d.size() / 2); }

const uchar kRedInk[4] = {0, 255, 255, 0};

struct Fixture {
    const char *name;
    std::function<QByteArray()> bytes;
    QSize thumbnail; // invalid: the empty entry
    QColor centre;   // invalid: not checked
};

// A header rewritten to claim this size: far more than a desktop should
// allocate for one file.
constexpr int kBomb = 60000;

const QList<Fixture> &fixtures()
{
    static const QList<Fixture> list = {
        {"zero.jpg", [] { return QByteArray(); }, {}, {}},
        {"zero.png", [] { return QByteArray(); }, {}, {}},
        {"zero.tif", [] { return QByteArray(); }, {}, {}},
        {"zero.bmp", [] { return QByteArray(); }, {}, {}},
        {"truncated.jpg", [] { return half(encodedPicture(pattern(400, 300), "jpeg")); }, {}, {}},
        {"truncated-progressive.jpg", [] { return half(encodedPicture(pattern(400, 300), "jpeg", true)); }, {}, {}},
        {"truncated.png", [] { return half(encodedPicture(pattern(400, 300), "png")); }, {}, {}},
        {"truncated.tif", [] { return half(encodedPicture(pattern(400, 300), "tiff")); }, {}, {}},
        {"truncated-strip.tif", [] { return half(tiffFile({{400, 300, Qt::red}})); }, {}, {}},
        {"truncated.bmp", [] { return half(encodedPicture(pattern(400, 300), "bmp")); }, {}, {}},
        {"garbage.jpg", [] { return garbage(5000, 1); }, {}, {}},
        {"garbage.png", [] { return garbage(5000, 2); }, {}, {}},
        {"garbage.tif", [] { return garbage(5000, 3); }, {}, {}},
        {"garbage.bmp", [] { return garbage(5000, 4); }, {}, {}},
        {"garbage-after-soi.jpg", [] { return garbage(5000, 5, QByteArray("\xFF\xD8\xFF", 3)); }, {}, {}},
        {"garbage-after-signature.png", [] { return garbage(5000, 6, QByteArray("\x89PNG\r\n\x1a\n", 8)); }, {}, {}},
        {"png-named.jpg", [] { return encodedPicture(pattern(120, 90, Qt::magenta), "png"); }, {100, 75}, Qt::magenta},
        {"jpeg-named.png", [] { return encodedPicture(pattern(120, 90, Qt::cyan), "jpeg"); }, {100, 75}, Qt::cyan},
        {"multipage.tif", [] { return tiffFile({{120, 80, Qt::red}, {300, 300, Qt::green}}); }, {100, 66}, Qt::red},
        {"16bit.tif", [] { return tiffFile({{200, 100, QColor(0, 128, 255)}}, 16); }, {100, 50}, QColor(0, 128, 255)},
        {"cmyk.jpg", [] { return cmykJpeg(64, 48, kRedInk); }, {64, 48}, Qt::red},
        {"progressive.jpg", [] { return encodedPicture(pattern(400, 300, Qt::darkGreen), "jpeg", true); }, {100, 75}, Qt::darkGreen},
        {"grey-alpha.png", [] { return greyAlphaPng(80, 60, 200, 128); }, {80, 60}, QColor(200, 200, 200, 128)},
        {"plain.bmp", [] { return encodedPicture(pattern(50, 50, Qt::darkRed), "bmp"); }, {50, 50}, Qt::darkRed},
        {"strip-tall.png", [] { return encodedPicture(pattern(1, 20000), "png"); }, {1, 100}, {}},
        {"strip-wide.png", [] { return encodedPicture(pattern(20000, 1), "png"); }, {100, 1}, {}},
        {"claims-huge.png", [] { return pngClaiming(kBomb, kBomb); }, {}, {}},
        {"claims-huge.jpg", [] { return jpegClaiming(kBomb, kBomb, false); }, {}, {}},
        {"claims-huge-progressive.jpg", [] { return jpegClaiming(kBomb, kBomb, true); }, {}, {}},
        {"claims-huge.tif", [] { return tiffClaiming(kBomb, kBomb); }, {}, {}},
        {"claims-huge.bmp", [] { return bmpClaiming(kBomb / 2, kBomb / 2); }, {}, {}},
        // Below the pixel cap, so only the file size and the allocation limit stop these.
        {"claims-large.png", [] { return pngClaiming(19000, 19000); }, {}, {}},
        {"claims-large-progressive.jpg", [] { return jpegClaiming(19000, 19000, true); }, {}, {}},
        {"claims-large.tif", [] { return tiffClaiming(19000, 19000); }, {}, {}},
        {"claims-large.bmp", [] { return bmpClaiming(19000, 19000); }, {}, {}},
        {"large-real.png", [] { return encodedPicture(pattern(12000, 9000), "png"); }, {100, 75}, QColor(40, 140, 200)},
        {"panorama.jpg", [] { return encodedPicture(pattern(20000, 5000), "jpeg"); }, {100, 25}, QColor(40, 140, 200)},
        {"exif-6.jpg", [] { return withExifOrientation(encodedPicture(pattern(4000, 3000), "jpeg"), 6); }, {75, 100}, QColor(40, 140, 200)},
    };
    return list;
}

bool near(QColor a, QColor b, int tolerance = 16)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance && qAbs(a.alpha() - b.alpha()) <= tolerance;
}

QString describe(QColor c) { return QStringLiteral("rgba(%1,%2,%3,%4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha()); }

long statusKb(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(strlen(key))).trimmed().split(' ').first().toLong();
    return -1;
}

// Child mode: decodes one file as the loader (box > 0) or the copy command
// (box 0) does and prints the outcome and how far the address space grew on
// the way (VmPeak counts every mapping, touched or not, so an allocation the
// decoder gives up on still shows).
int measurePeak(const char *path, int box)
{
    // Load every codec first, so that only the file itself is measured.
    for (const char *format : {"png", "jpeg", "tiff", "bmp"}) {
        QByteArray bytes = encodedPicture(QImage(4, 4, QImage::Format_RGB32), format);
        QBuffer buffer(&bytes);
        QImageReader(&buffer, format).read();
    }
    const long before = statusKb("VmPeak:");
    QString outcome;
    try {
        const QString file = QString::fromLocal8Bit(path);
        const QImage thumb = box > 0 ? platform::decodeThumbnail(file, box) : platform::decodeWhole(file);
        outcome = QStringLiteral("%1x%2").arg(thumb.width()).arg(thumb.height());
    } catch (const platform::Error &) {
        outcome = QStringLiteral("empty");
    }
    std::printf("%s %ld\n", qPrintable(outcome), (statusKb("VmPeak:") - before) / 1024);
    return 0;
}

} // namespace

class TestBadPictures : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QStringList FFiles;  // the folder's files, in load order
    QStringList FNames;
    TThumbnails *FView = nullptr;

    QString path(const QString &name) const { return FDir.path() + "/" + name; }
    int indexOf(const QString &name) const { return int(FNames.indexOf(name)); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(FDir.isValid());
        // A plain picture after every odd one: each must load whatever its neighbour did.
        int k = 0;
        for (const Fixture &f : fixtures()) {
            QVERIFY2(writeFile(path(f.name), f.bytes()), f.name);
            FNames << f.name;
            const QString good = QStringLiteral("good-%1.png").arg(++k, 2, 10, QChar(u'0'));
            QVERIFY(encodedPicture(pattern(40 + k, 30), "png").size() > 0);
            QVERIFY(writeFile(path(good), encodedPicture(pattern(40 + k, 30), "png")));
            FNames << good;
        }
        for (const QString &n : FNames)
            FFiles << path(n);
        FView = new TThumbnails;
        FView->resize(800, 600);
        FView->Files() = FFiles;
        FView->Execute();
        QVERIFY(waitForLoad(FView, 300000));
    }

    void cleanupTestCase() { delete FView; }

    void eachFileGivesItsEntry_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("thumbnail");
        QTest::addColumn<QColor>("centre");
        for (const Fixture &f : fixtures())
            QTest::newRow(f.name) << QString::fromLatin1(f.name) << f.thumbnail << f.centre;
    }

    void eachFileGivesItsEntry()
    {
        QFETCH(QString, name);
        QFETCH(QSize, thumbnail);
        QFETCH(QColor, centre);
        QCOMPARE(FView->Count(), FFiles.size());
        const int i = indexOf(name);
        QVERIFY(i >= 0);
        const QImage *bmp = FView->Bitmap(i);
        if (!thumbnail.isValid()) {
            QVERIFY2(!bmp, qPrintable(QStringLiteral("got %1x%2").arg(bmp ? bmp->width() : 0).arg(bmp ? bmp->height() : 0)));
            QVERIFY(!FView->Caption(i));
            return;
        }
        QVERIFY(bmp);
        QCOMPARE(bmp->size(), thumbnail);
        QVERIFY(FView->Caption(i));
        QCOMPARE(FView->Caption(i)->text(), name);
        if (centre.isValid()) {
            const QColor got = bmp->pixelColor(bmp->width() / 2, bmp->height() / 2);
            QVERIFY2(near(got, centre), qPrintable(describe(got) + " != " + describe(centre)));
        }
    }

    void restOfFolderLoadsInOrder()
    {
        QCOMPARE(FView->Count(), FFiles.size());
        for (int i = 0; i < FNames.size(); ++i) {
            if (!FNames[i].startsWith(u"good-"))
                continue;
            const QImage *bmp = FView->Bitmap(i);
            QVERIFY2(bmp, qPrintable(FNames[i]));
            QCOMPARE(bmp->size(), QSize(40 + i / 2 + 1, 30));
            QCOMPARE(FView->Caption(i)->text(), FNames[i]);
        }
    }

    // Memory, not time: a child process decodes one file and reports how far
    // its address space grew. A forged header must not cost what it claims,
    // neither as a thumbnail nor as a whole picture for the copy command; the
    // whole decode of the real large picture shows the measure sees one.
    void forgedHeadersCostNoMemory_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("minMB");
        QTest::addColumn<int>("maxMB");
        for (const Fixture &f : fixtures()) {
            if (!QByteArray(f.name).startsWith("claims-"))
                continue;
            for (const int box : {100, 0})
                QTest::addRow("%s %s", f.name, box ? "thumbnail" : "whole")
                    << QString::fromLatin1(f.name) << box << QStringLiteral("empty") << 0 << 64;
        }
        QTest::newRow("large-real.png thumbnail") << QStringLiteral("large-real.png") << 100 << QStringLiteral("100x75") << 0 << 4096;
        QTest::newRow("large-real.png whole") << QStringLiteral("large-real.png") << 0 << QStringLiteral("12000x9000") << 300 << 4096;
    }

    void forgedHeadersCostNoMemory()
    {
        QFETCH(QString, name);
        QFETCH(int, box);
        QFETCH(QString, outcome);
        QFETCH(int, minMB);
        QFETCH(int, maxMB);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peak"), path(name), QString::number(box)});
        QVERIFY(child.waitForFinished(120000));
        QCOMPARE(child.exitCode(), 0);
        const QList<QByteArray> words = child.readAllStandardOutput().trimmed().split(' ');
        QCOMPARE(words.size(), 2);
        QCOMPARE(QString::fromLatin1(words[0]), outcome);
        const int mb = words[1].toInt();
        QVERIFY2(mb >= minMB && mb <= maxMB, qPrintable(QStringLiteral("address space grew by %1 MB").arg(mb)));
    }

    void exifOrientationGivesUprightThumbnail()
    {
        const QImage *bmp = FView->Bitmap(indexOf(QStringLiteral("exif-6.jpg")));
        QVERIFY(bmp);
        QCOMPARE(bmp->size(), QSize(75, 100));
        // Orientation 6 turns the stored picture a quarter clockwise.
        QVERIFY(near(bmp->pixelColor(4, 4), Qt::blue, 40));
        QVERIFY(near(bmp->pixelColor(70, 4), Qt::red, 40));
        QVERIFY(near(bmp->pixelColor(70, 95), Qt::green, 40));
        QVERIFY(near(bmp->pixelColor(4, 95), Qt::yellow, 40));
    }

    // The copy command: the whole picture, upright, or the loader's error box.
    void copyCommand_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("picture");
        QTest::newRow("exif-6.jpg") << QStringLiteral("exif-6.jpg") << QSize(3000, 4000);
        QTest::newRow("cmyk.jpg") << QStringLiteral("cmyk.jpg") << QSize(64, 48);
        QTest::newRow("truncated.jpg") << QStringLiteral("truncated.jpg") << QSize();
        QTest::newRow("zero.png") << QStringLiteral("zero.png") << QSize();
        QTest::newRow("claims-huge.png") << QStringLiteral("claims-huge.png") << QSize();
    }

    void copyCommand()
    {
        QFETCH(QString, name);
        QFETCH(QSize, picture);
        TempHome home;
        QVERIFY(QFile::copy(path(name), home.pictures() + "/" + name));
        QGuiApplication::clipboard()->setImage(QImage(7, 7, QImage::Format_RGB32));
        MessageCapture capture;
        TForm1 form;
        form.TreeView1->setCurrentItem(form.TreeView1->topLevelItem(0));
        QTreeWidgetItem *root = form.TreeView1->topLevelItem(0);
        QTreeWidgetItem *item = nullptr;
        for (int i = 0; i < root->childCount(); ++i)
            if (root->child(i)->text(0) == name)
                item = root->child(i);
        QVERIFY(item);
        form.TreeView1->setCurrentItem(item);
        form.Action2Execute();
        const QImage copied = QGuiApplication::clipboard()->image();
        if (!picture.isValid()) {
            QCOMPARE(capture.messages.size(), 1);
            QCOMPARE(capture.messages[0].title, QStringLiteral("エラー"));
            QCOMPARE(capture.messages[0].text,
                     QStringLiteral("ビットマップの読み込みに失敗しました (%1)。").arg(home.pictures() + "/" + name));
            QCOMPARE(copied.size(), QSize(7, 7));
            QVERIFY(form.Label2->isHidden());
        } else {
            QVERIFY(capture.messages.isEmpty());
            QCOMPARE(copied.size(), picture);
            QVERIFY(!form.Label2->isHidden());
            if (name == u"exif-6.jpg") {
                QVERIFY(near(copied.pixelColor(100, 100), Qt::blue, 40));
                QVERIFY(near(copied.pixelColor(2900, 100), Qt::red, 40));
                QVERIFY(near(copied.pixelColor(2900, 3900), Qt::green, 40));
                QVERIFY(near(copied.pixelColor(100, 3900), Qt::yellow, 40));
            }
        }
    }
};

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--peak") == 0) {
        QGuiApplication app(argc, argv);
        return measurePeak(argv[2], atoi(argv[3]));
    }
    QApplication app(argc, argv);
    initTestApplication(app);
    TestBadPictures tc;
    QTEST_SET_MAIN_SOURCE_PATH
    const int rc = QTest::qExec(&tc, argc, argv);
    finishTestApplication();
    return rc;
}

#include "tst_bad_pictures.moc"
