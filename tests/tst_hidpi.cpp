// The window at a scale factor of 2 (CTest sets QT_SCALE_FACTOR=2 for this
// suite): thumbnails are decoded for the device pixels, and the layout in
// logical units is the one factor 1 gives.
#include "CaptionLabel.h"
#include "TestSupport.h"
#include "Thumbnails.h"
#include "Unit1.h"

#include <QtMath>

namespace {

constexpr qreal kFactor = 2.0;

// A shown window with Pictures selected and loaded.
struct TLoadedForm {
    TLoadedForm()
    {
        form = std::make_unique<TForm1>();
        form->show();
    }
    bool load()
    {
        if (!QTest::qWaitForWindowExposed(form.get()))
            return false;
        form->TreeView1->setCurrentItem(form->TreeView1->topLevelItem(0));
        if (!testing::waitForLoad(form->Thumbnails1))
            return false;
        QCoreApplication::processEvents();
        return true;
    }
    TThumbnails *view() const { return form->Thumbnails1; }

    std::unique_ptr<TForm1> form;
};

QSize logicalSize(const QImage &image)
{
    const QSizeF s = image.deviceIndependentSize();
    return {qFloor(s.width() + 1e-6), qFloor(s.height() + 1e-6)};
}

// One-pixel black and white checks: any scaling on the way turns them grey.
QImage checkerboard(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    return image;
}

} // namespace

class TestHiDpi : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // Without the factor every check below would pass for the wrong reason.
        QCOMPARE(qgetenv("QT_SCALE_FACTOR"), QByteArray("2"));
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.Thumbnails1->devicePixelRatioF(), kFactor);
    }

    void windowKeepsItsLogicalSize()
    {
        testing::TempHome home;
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.centralWidget()->width(), 1046);
        QCOMPARE(form.centralWidget()->height() + form.StatusBar1->height(), 673);
        QCOMPARE(form.FramedVertScrollBox1->height(), 531);
        QCOMPARE(form.Thumbnails1->width(), 737);
        QCOMPARE(form.Thumbnails1->MinHeight(), 531.0f);
    }

    void decodesAtDevicePixels_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<int>("thumbnailSize");
        QTest::addColumn<QSize>("pixels");  // decoded, device pixels
        QTest::addColumn<QSize>("logical"); // laid out, as at factor 1

        QTest::newRow("landscape") << QSize(400, 300) << 100 << QSize(200, 150) << QSize(100, 75);
        QTest::newRow("portrait") << QSize(300, 400) << 100 << QSize(150, 200) << QSize(75, 100);
        QTest::newRow("rounding down") << QSize(1000, 999) << 100 << QSize(200, 199) << QSize(100, 99);
        QTest::newRow("size 150") << QSize(600, 400) << 150 << QSize(300, 200) << QSize(150, 100);
        QTest::newRow("size 350") << QSize(1400, 700) << 350 << QSize(700, 350) << QSize(350, 175);
        // Between the logical and the device box: all its pixels, at the size
        // factor 1 gives it.
        QTest::newRow("between the boxes") << QSize(150, 100) << 100 << QSize(150, 100) << QSize(100, 66);
        // Smaller than the logical box: never enlarged, as at factor 1.
        QTest::newRow("small") << QSize(80, 60) << 100 << QSize(80, 60) << QSize(80, 60);
    }

    void decodesAtDevicePixels()
    {
        QFETCH(QSize, picture);
        QFETCH(int, thumbnailSize);
        QFETCH(QSize, pixels);
        QFETCH(QSize, logical);
        testing::TempHome home;
        QVERIFY(testing::makePicture(home.pictures() + "/a.png", picture.width(), picture.height()));
        TLoadedForm f;
        f.form->TrackBar1->setValue((thumbnailSize - 100) / 50);
        QCOMPARE(f.view()->ThumbnailSize(), thumbnailSize);
        QVERIFY(f.load());
        QCOMPARE(f.view()->Count(), 1);
        const QImage *bmp = f.view()->Bitmap(0);
        QVERIFY(bmp);
        QCOMPARE(bmp->size(), pixels);
        QCOMPARE(logicalSize(*bmp), logical);
        const std::vector<TRectF> rects = f.view()->CalcThumbRects();
        QCOMPARE(rects.size(), size_t(1));
        QCOMPARE(rects[0].Left, 10.0f);
        QCOMPARE(rects[0].Top, 10.0f);
        QCOMPARE(rects[0].Right, float(10 + logical.width()));
        QCOMPARE(rects[0].Bottom, float(10 + logical.height()));
    }

    void layoutNumbersAreThoseOfFactorOne()
    {
        // Seven 100 x 100 thumbnails in a view 737 wide: six in the first row
        // (X 10 to 560), the seventh opens a second row 110 lower.
        testing::TempHome home;
        for (int i = 0; i < 7; ++i)
            QVERIFY(testing::makePicture(home.pictures() + QStringLiteral("/p%1.png").arg(i), 400, 400));
        QVERIFY(testing::makePicture(home.pictures() + "/wide.png", 800, 300)); // 100 x 37
        TLoadedForm f;
        QVERIFY(f.load());
        QCOMPARE(f.view()->Count(), 8);
        const std::vector<TRectF> rects = f.view()->CalcThumbRects();
        QCOMPARE(rects.size(), size_t(8));
        // Listing order is the file system's: find each by its caption.
        QList<QPair<float, float>> corners;
        for (const TRectF &r : rects) {
            const bool wide = r.Bottom - r.Top < 50;
            QCOMPARE(r.Right - r.Left, 100.0f);
            QCOMPARE(r.Bottom - r.Top, wide ? 37.0f : 100.0f);
            corners.append({r.Left, r.Top});
        }
        const QList<QPair<float, float>> expected{{10, 10},  {120, 10}, {230, 10}, {340, 10},
                                                  {450, 10}, {560, 10}, {10, 120}, {120, 120}};
        QCOMPARE(corners, expected);
        QCOMPARE(f.view()->height(), 531); // content 230 is below MinHeight

        // Captions sit on their thumbnails, in logical units.
        for (int i = 0; i < f.view()->Count(); ++i) {
            TCaptionLabel *caption = f.view()->Caption(i);
            QVERIFY(caption);
            QCOMPARE(caption->pos(), QPoint(int(rects[size_t(i)].Left), int(rects[size_t(i)].Top)));
            QCOMPARE(caption->width(), 100);
        }
    }

    void grabShowsEveryDecodedPixel()
    {
        // 200 x 200 checks: decoded for a 100 box at factor 2 they keep all
        // their pixels, and a grab at device pixels shows them one to one.
        testing::TempHome home;
        const QImage picture = checkerboard(200, 200);
        QVERIFY(picture.save(home.pictures() + "/checks.png"));
        TLoadedForm f;
        QVERIFY(f.load());
        QCOMPARE(f.view()->Count(), 1);
        QCOMPARE(f.view()->Bitmap(0)->size(), QSize(200, 200));

        const QPixmap shot = f.view()->grab();
        QCOMPARE(shot.devicePixelRatio(), kFactor);
        const QImage grabbed = shot.toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(grabbed.size(), f.view()->size() * 2);
        // The caption covers the top of the thumbnail; compare what is below it.
        const int captionBottom = qCeil(f.view()->Caption(0)->height() * kFactor);
        const QPoint origin(20, 20); // (10, 10) logical
        int compared = 0;
        for (int y = captionBottom; y < 200; ++y)
            for (int x = 0; x < 200; ++x) {
                const QRgb got = grabbed.pixel(origin + QPoint(x, y));
                if (got != picture.pixel(x, y))
                    QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) is %3").arg(x).arg(y).arg(got, 8, 16)));
                ++compared;
            }
        QVERIFY(compared > 200 * 100);
        // Right of it and below it, the view's background: the thumbnail
        // takes 200 device pixels, not more.
        QVERIFY(grabbed.pixel(origin + QPoint(200, 100)) != picture.pixel(199, 100));
        QVERIFY(grabbed.pixel(origin + QPoint(100, 200)) != picture.pixel(100, 199));
    }
};

FOTRA_TEST_MAIN(TestHiDpi)
#include "tst_hidpi.moc"
