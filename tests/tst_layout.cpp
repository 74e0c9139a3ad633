// Thumbnails flowing into rows: the layout pass, what a paint draws and where
// the captions go, and how the rows follow the width of the scroll box.
#include "CaptionLabel.h"
#include "TestSupport.h"
#include "Thumbnails.h"
#include "Unit1.h"
#include "native_path.h"
#include "vert_scroll_box.h"

#include <QPainter>
#include <QScrollBar>

#include <memory>

using SizeList = QList<QSize>;
using RectList = QList<QRectF>;

namespace {

// A view whose entries are put in directly, as a load would append them.
class TFixedThumbnails : public TThumbnails {
public:
    using TThumbnails::TThumbnails;

    // An empty size stands for a file that gave no thumbnail.
    void PutBitmap(QSize size, QColor color = QColor(90, 160, 60))
    {
        if (size.isEmpty()) {
            FBmps.push_back(nullptr);
            return;
        }
        auto bmp = std::make_unique<QImage>(size, QImage::Format_ARGB32_Premultiplied);
        bmp->fill(color);
        FBmps.push_back(std::move(bmp));
    }
    void PutCaption(const QString &text)
    {
        FLabels.push_back(text.isEmpty() ? nullptr : std::make_unique<TCaptionLabel>(text, this));
    }
    void Put(QSize size, QColor color = QColor(90, 160, 60), const QString &text = {})
    {
        PutBitmap(size, color);
        PutCaption(text);
    }
};

QRectF toQRectF(const TRectF &r) { return QRectF(QPointF(r.Left, r.Top), QPointF(r.Right, r.Bottom)); }

bool near(QRgb a, QColor b, int tolerance)
{
    return qAbs(qRed(a) - b.red()) <= tolerance && qAbs(qGreen(a) - b.green()) <= tolerance &&
           qAbs(qBlue(a) - b.blue()) <= tolerance;
}

QString describe(QRgb c) { return QStringLiteral("#%1").arg(c & 0xFFFFFFu, 6, 16, QLatin1Char('0')); }

// The paint the platform would run next, now.
void paintNow(QWidget *view)
{
    view->repaint();
    QCoreApplication::processEvents();
}

// Pixels of a picture made by testing::makePicture: body and corner colours.
const QColor Body(40, 140, 200);

struct Picture {
    QString name;
    QSize size;
};

TForm1 *selectPictures(TForm1 &form)
{
    form.TreeView1->setCurrentItem(form.TreeView1->topLevelItem(0));
    return &form;
}

// An empty view of 480 x 300 in a shown 500 x 300 scroll box, painted once;
// null when the box is never exposed.
TFixedThumbnails *showInBox(platform::VertScrollBox &box)
{
    box.resize(500, 300);
    auto *view = new TFixedThumbnails;
    view->SetMinHeight(300);
    view->resize(480, 300);
    box.setWidget(view);
    box.show();
    if (!QTest::qWaitForWindowExposed(&box))
        return nullptr;
    paintNow(view);
    return view;
}

// n pictures of `size` in the Pictures folder, named in list order.
bool makeNumberedPictures(const testing::TempHome &home, int n, QSize size)
{
    for (int i = 0; i < n; ++i)
        if (!testing::makePicture(home.pictures() + QStringLiteral("/p%1.png").arg(i, 3, 10, QLatin1Char('0')),
                                  size.width(), size.height()))
            return false;
    return true;
}

// Shows the window, selects the Pictures root and waits until its load is painted.
bool showAndLoadPictures(TForm1 &form)
{
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return false;
    selectPictures(form);
    if (!testing::waitForLoad(form.Thumbnails1))
        return false;
    paintNow(form.Thumbnails1);
    return true;
}

} // namespace

class TestLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void calcThumbRects_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("margin");
        QTest::addColumn<SizeList>("sizes");
        QTest::addColumn<bool>("autoSize");
        QTest::addColumn<float>("minHeight");
        QTest::addColumn<RectList>("rects"); // an empty one for an entry without bitmap
        QTest::addColumn<int>("height");

        const QSize sq(100, 100);
        QTest::newRow("737: six in a row, the seventh opens row two")
            << 737 << 10
            << SizeList{{100, 75}, {100, 80}, {100, 95}, {100, 60}, {100, 70}, {100, 90}, {100, 50}} << true << 0.0f
            << RectList{{10, 10, 100, 75},  {120, 10, 100, 80}, {230, 10, 100, 95}, {340, 10, 100, 60},
                        {450, 10, 100, 70}, {560, 10, 100, 90}, {10, 115, 100, 50}}
            << 175;
        QTest::newRow("100x75 beside 100x100 make a 100-high row")
            << 300 << 10 << SizeList{{100, 75}, sq, {100, 50}} << true << 0.0f
            << RectList{{10, 10, 100, 75}, {120, 10, 100, 100}, {10, 120, 100, 50}} << 180;
        QTest::newRow("200: one per row, content 340")
            << 200 << 10 << SizeList{sq, sq, sq} << true << 0.0f
            << RectList{{10, 10, 100, 100}, {10, 120, 100, 100}, {10, 230, 100, 100}} << 340;
        QTest::newRow("200: a tie with MinHeight")
            << 200 << 10 << SizeList{sq, sq, sq} << true << 340.0f
            << RectList{{10, 10, 100, 100}, {10, 120, 100, 100}, {10, 230, 100, 100}} << 340;
        QTest::newRow("200: MinHeight above the content")
            << 200 << 10 << SizeList{sq, sq, sq} << true << 531.0f
            << RectList{{10, 10, 100, 100}, {10, 120, 100, 100}, {10, 230, 100, 100}} << 531;
        QTest::newRow("AutoSize off leaves the height alone")
            << 200 << 10 << SizeList{sq, sq, sq} << false << 531.0f
            << RectList{{10, 10, 100, 100}, {10, 120, 100, 100}, {10, 230, 100, 100}} << 77;
        QTest::newRow("exactly X + w + margin does not fit")
            << 230 << 10 << SizeList{sq, sq} << true << 0.0f << RectList{{10, 10, 100, 100}, {10, 120, 100, 100}}
            << 230;
        QTest::newRow("one unit more fits") << 231 << 10 << SizeList{sq, sq} << true << 0.0f
                                            << RectList{{10, 10, 100, 100}, {120, 10, 100, 100}} << 120;
        QTest::newRow("wider than the view: first in its row, sticks out")
            << 200 << 10 << SizeList{{300, 100}, {50, 40}} << true << 0.0f
            << RectList{{10, 10, 300, 100}, {10, 120, 50, 40}} << 170;
        QTest::newRow("wider than the view after a small one")
            << 200 << 10 << SizeList{{50, 40}, {300, 100}, {50, 40}} << true << 0.0f
            << RectList{{10, 10, 50, 40}, {10, 60, 300, 100}, {10, 170, 50, 40}} << 220;
        QTest::newRow("margin 5") << 737 << 5 << SizeList{sq, sq, sq, sq, sq, sq, sq} << true << 0.0f
                                  << RectList{{5, 5, 100, 100},   {110, 5, 100, 100}, {215, 5, 100, 100},
                                              {320, 5, 100, 100}, {425, 5, 100, 100}, {530, 5, 100, 100},
                                              {5, 110, 100, 100}}
                                  << 215;
        QTest::newRow("no thumbnails: twice the margin") << 737 << 10 << SizeList{} << true << 0.0f << RectList{}
                                                         << 20;
        QTest::newRow("no thumbnails: MinHeight") << 737 << 10 << SizeList{} << true << 531.0f << RectList{} << 531;
        QTest::newRow("no thumbnails: a margin larger than MinHeight")
            << 737 << 300 << SizeList{} << true << 531.0f << RectList{} << 600;
        QTest::newRow("entries without bitmap take no room")
            << 200 << 10 << SizeList{sq, QSize(), sq, QSize()} << true << 0.0f
            << RectList{{10, 10, 100, 100}, {}, {10, 120, 100, 100}, {}} << 230;
        QTest::newRow("an entry without bitmap does not open the first row")
            << 737 << 10 << SizeList{QSize(), sq, QSize(), sq} << true << 0.0f
            << RectList{{}, {10, 10, 100, 100}, {}, {120, 10, 100, 100}} << 120;
    }

    void calcThumbRects()
    {
        QFETCH(int, width);
        QFETCH(int, margin);
        QFETCH(SizeList, sizes);
        QFETCH(bool, autoSize);
        QFETCH(float, minHeight);
        QFETCH(RectList, rects);
        QFETCH(int, height);

        TFixedThumbnails view;
        view.resize(width, 77);
        view.SetInnerMargin(margin);
        view.SetAutoSize(autoSize);
        view.SetMinHeight(minHeight);
        for (const QSize &s : sizes)
            view.Put(s);

        const std::vector<TRectF> got = view.CalcThumbRects();
        QCOMPARE(int(got.size()), int(rects.size()));
        for (int i = 0; i < rects.size(); ++i) {
            if (rects[i].isEmpty()) {
                QVERIFY2(got[size_t(i)].IsEmpty(), qPrintable(QString::number(i)));
                continue;
            }
            QCOMPARE(toQRectF(got[size_t(i)]), rects[i]);
        }
        QCOMPARE(view.height(), height); // at once, not at some later paint
        QCOMPARE(view.width(), width);
    }

    // After a real load: each thumbnail where the layout puts it, 1:1, and its
    // caption over its top edge.
    void paintsThumbnailsAndCaptionsWhereTheLayoutPutsThem()
    {
        testing::TempHome home;
        const QString longName = QStringLiteral("a_caption_far_too_long_for_one_hundred_units.png");
        const QList<Picture> pictures{
            {"square.png", {300, 300}},  {"wide.png", {400, 200}},   {"tall.png", {160, 320}},
            {"photo.jpg", {800, 600}},   {"upright.png", {300, 400}}, {"icon.png", {64, 48}},
            {longName, {200, 200}},      {"band.bmp", {400, 100}},    {"portrait.tif", {240, 320}},
            {"last.png", {100, 100}},
        };
        for (const Picture &p : pictures)
            QVERIFY(testing::makePicture(home.pictures() + "/" + p.name, p.size.width(), p.size.height()));

        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        TThumbnails *view = selectPictures(form)->Thumbnails1;
        QVERIFY(testing::waitForLoad(view));
        paintNow(view);
        QCOMPARE(view->Count(), pictures.size());

        const std::vector<TRectF> rects = view->CalcThumbRects();
        const QImage shot = view->grab().toImage();
        QCOMPARE(shot.size(), view->size());
        const QRgb background = shot.pixel(2, 2); // inside the margin: never drawn on
        for (QColor c : {Body, QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue), QColor(Qt::yellow)})
            QVERIFY(!near(background, c, 40));

        bool twoRows = false;
        for (int i = 0; i < view->Count(); ++i) {
            const QString name = platform::lastComponent(view->Files().at(i));
            const QImage *bmp = view->Bitmap(i);
            QVERIFY2(bmp, qPrintable(name));
            const QRectF r = toQRectF(rects[size_t(i)]);
            const int w = qRound(bmp->deviceIndependentSize().width());
            const int h = qRound(bmp->deviceIndependentSize().height());
            QCOMPARE(r.size(), QSizeF(w, h)); // drawn 1:1
            twoRows = twoRows || r.top() > 10;

            // Corners of the picture, away from their edges and below the caption.
            const int L = int(r.left()), T = int(r.top()), R = int(r.right()) - 1, B = int(r.bottom()) - 1;
            const int qx = w / 8, qy = h / 8;
            struct Sample {
                QPoint at;
                QColor colour;
            };
            QList<Sample> samples{{{L + w / 2, T + h / 2}, Body},
                                  {{L + qx, B - qy}, Qt::blue},
                                  {{R - qx, B - qy}, Qt::yellow}};
            if (h / 4 >= 22)
                samples += {{{L + qx, T + 19}, Qt::red}, {{R - qx, T + 19}, Qt::green}};
            for (const Sample &s : samples) {
                const QRgb got = shot.pixel(s.at);
                QVERIFY2(near(got, s.colour, 40), qPrintable(QStringLiteral("%1 at (%2,%3): %4, want %5")
                                                                 .arg(name)
                                                                 .arg(s.at.x())
                                                                 .arg(s.at.y())
                                                                 .arg(describe(got), describe(s.colour.rgb()))));
            }
            // Nothing outside the thumbnail: the pixel left of it is in the margin.
            QCOMPARE(describe(shot.pixel(L - 3, T + h / 2)), describe(background));

            TCaptionLabel *caption = view->Caption(i);
            QVERIFY(caption);
            QVERIFY(caption->isVisible());
            QCOMPARE(caption->geometry(), QRect(L, T, w, TCaptionLabel::DefaultHeight));
            QCOMPARE(caption->text(), name);
            QVERIFY(caption->font().bold());
            QVERIFY(caption->wordWrap() == false);
            const QString shown = caption->ShownText();
            if (caption->fontMetrics().horizontalAdvance(name) > w) {
                QVERIFY2(shown.size() < name.size() && shown.endsWith(QChar(0x2026)), qPrintable(shown));
                QVERIFY(name.startsWith(shown.chopped(1)));
                QVERIFY(caption->fontMetrics().horizontalAdvance(shown) <= w);
            } else {
                QCOMPARE(shown, name);
            }
            // The caption's ink, in the grab of the view, is Indianred.
            int ink = 0;
            for (int y = T; y < T + TCaptionLabel::DefaultHeight; ++y)
                for (int x = L; x < L + w; ++x)
                    ink += near(shot.pixel(x, y), QColor::fromRgba(TCaptionLabel::FontColor), 6);
            QVERIFY2(ink >= 5, qPrintable(name));
        }
        QVERIFY(twoRows);
        const int longIndex = int(view->Files().indexOf(home.pictures() + "/" + longName));
        QVERIFY(longIndex >= 0);
        QVERIFY(view->Caption(longIndex)->ShownText() != longName);
    }

    // The caption draws its own colour and weight, whatever the style says.
    void captionIsBoldIndianred()
    {
        TFixedThumbnails view;
        view.resize(400, 200);
        view.Put({200, 100}, Qt::black, QStringLiteral("WWW mmm.png"));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        paintNow(&view);
        TCaptionLabel *caption = view.Caption(0);
        QCOMPARE(caption->size(), QSize(200, 17));

        const QImage bold = caption->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        int boldInk = 0, opaque = 0;
        for (int y = 0; y < bold.height(); ++y)
            for (int x = 0; x < bold.width(); ++x) {
                const QRgb p = bold.pixel(x, y);
                boldInk += qAlpha(p);
                if (qAlpha(p) == 255) {
                    ++opaque;
                    QCOMPARE(describe(p), describe(TCaptionLabel::FontColor));
                }
            }
        QVERIFY(opaque > 0);

        QImage regular(bold.size(), QImage::Format_ARGB32);
        regular.fill(Qt::transparent);
        {
            QPainter p(&regular);
            QFont f = caption->font();
            f.setBold(false);
            p.setFont(f);
            p.setPen(Qt::black);
            p.drawText(regular.rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, caption->text());
        }
        int regularInk = 0;
        for (int y = 0; y < regular.height(); ++y)
            for (int x = 0; x < regular.width(); ++x)
                regularInk += qAlpha(regular.pixel(x, y));
        QVERIFY2(boldInk > regularInk * 11 / 10, qPrintable(QStringLiteral("%1 vs %2").arg(boldInk).arg(regularInk)));
    }

    // While a bitmap waits for its caption, a paint draws no thumbnail at all;
    // the next paint, with the lists even again, draws all of them.
    void paintWithListsOfDifferentLengthDrawsNothing()
    {
        platform::VertScrollBox box;
        TFixedThumbnails *view = showInBox(box);
        QVERIFY(view);
        const QImage empty = view->grab().toImage();

        const QList<QColor> colours{QColor(220, 40, 40), QColor(40, 200, 40), QColor(240, 220, 30),
                                    QColor(200, 60, 220)};
        for (int i = 0; i < 3; ++i)
            view->Put({100, 80}, colours[i], QStringLiteral("p%1.png").arg(i));
        paintNow(view);
        auto drawn = [&](const QImage &shot, int i) {
            // Below the caption band, so only the thumbnail can be there.
            const QPoint at(10 + 110 * i + 50, 10 + 50);
            return near(shot.pixel(at), colours[i], 2);
        };
        {
            const QImage shot = view->grab().toImage();
            for (int i = 0; i < 3; ++i)
                QVERIFY(drawn(shot, i));
        }

        view->PutBitmap({100, 80}, colours[3]); // its caption is not there yet
        paintNow(view);
        {
            const QImage shot = view->grab().toImage();
            QCOMPARE(shot.size(), empty.size());
            QList<QRect> captions;
            for (int i = 0; i < 3; ++i)
                captions += view->Caption(i)->geometry();
            for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x) {
                    if (std::any_of(captions.begin(), captions.end(), [&](const QRect &c) { return c.contains(x, y); }))
                        continue;
                    if (shot.pixel(x, y) != empty.pixel(x, y))
                        QFAIL(qPrintable(QStringLiteral("drawn at (%1,%2)").arg(x).arg(y)));
                }
        }

        view->PutCaption(QStringLiteral("p3.png"));
        paintNow(view);
        const QImage shot = view->grab().toImage();
        for (int i = 0; i < 4; ++i)
            QVERIFY2(drawn(shot, i), qPrintable(QString::number(i)));
        QCOMPARE(view->Caption(3)->geometry(), QRect(340, 10, 100, 17));
        QVERIFY(view->Caption(3)->isVisible());
        QVERIFY(!view->IsLoading()); // a skipped paint is no failed paint
    }

    // The view keeps the viewport's width and at least MinHeight; the rows
    // follow at the next paint, and the box scrolls over all of them.
    void followsTheWidthOfTheScrollBox_data()
    {
        QTest::addColumn<int>("boxWidth");
        QTest::addColumn<int>("boxHeight");
        QTest::newRow("wide") << 1200 << 400;
        QTest::newRow("stored") << 749 << 531;
        QTest::newRow("narrow") << 420 << 531;
        QTest::newRow("one per row") << 200 << 300;
        QTest::newRow("low box") << 749 << 150;
    }

    void followsTheWidthOfTheScrollBox()
    {
        QFETCH(int, boxWidth);
        QFETCH(int, boxHeight);
        platform::VertScrollBox box;
        box.resize(749, 531);
        auto *view = new TFixedThumbnails;
        view->SetMinHeight(531);
        view->resize(737, 531);
        box.setWidget(view);
        for (int i = 0; i < 23; ++i)
            view->Put({100, 60 + (i * 7) % 40}, QColor(30, 120 + i * 5, 90), QStringLiteral("n%1.png").arg(i));
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        paintNow(view);

        box.resize(boxWidth, boxHeight);
        QCoreApplication::processEvents();
        QCOMPARE(view->width(), box.viewport()->width());
        paintNow(view);
        QCOMPARE(view->width(), box.viewport()->width());

        // Captions sit on the rows of the current width; the height holds them all.
        const std::vector<TRectF> rects = view->CalcThumbRects();
        float bottom = 0;
        for (int i = 0; i < view->Count(); ++i) {
            const TRectF &r = rects[size_t(i)];
            QCOMPARE(view->Caption(i)->pos(), QPoint(int(r.Left), int(r.Top)));
            QVERIFY(r.Left == 10 || r.Right + 10 < view->width());
            bottom = qMax(bottom, r.Bottom);
        }
        QVERIFY(view->height() >= 531);
        QCOMPARE(view->height(), qMax(531, int(bottom) + 10));
        QCOMPARE(box.verticalScrollBar()->maximum(), view->height() - box.viewport()->height());
    }

    // Re-flow after a resize of the real window keeps every thumbnail: no
    // event, no new bitmap, no load.
    void resizingTheWindowReflowsWithoutReload()
    {
        testing::TempHome home;
        for (int i = 0; i < 16; ++i)
            QVERIFY(testing::makePicture(home.pictures() + QStringLiteral("/r%1.png").arg(i), 200, 150 + 10 * (i % 5)));
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        TThumbnails *view = selectPictures(form)->Thumbnails1;
        QVERIFY(testing::waitForLoad(view));
        paintNow(view);
        QCOMPARE(view->Count(), 16);

        int events = 0;
        const TPageCountEvent host = view->OnLoadFile();
        view->SetOnLoadFile([&](QObject *sender, int32_t cnt) {
            ++events;
            host(sender, cnt);
        });
        QList<const QImage *> bitmaps;
        QList<TCaptionLabel *> captions;
        for (int i = 0; i < view->Count(); ++i) {
            bitmaps += view->Bitmap(i);
            captions += view->Caption(i);
        }
        const float minHeight = view->MinHeight();
        const QScrollBar *bar = form.FramedVertScrollBox1->verticalScrollBar();
        const QWidget *viewport = form.FramedVertScrollBox1->viewport();

        int rowsBefore = 0;
        for (const QSize size : {QSize(800, 673), QSize(1400, 673), QSize(1046, 673), QSize(1046, 400)}) {
            form.resize(size.width(), size.height() + form.MainMenu1->sizeHint().height());
            QCoreApplication::processEvents();
            paintNow(view);
            QCOMPARE(view->width(), viewport->width());
            const std::vector<TRectF> rects = view->CalcThumbRects();
            QSet<float> rows;
            float bottom = 0;
            for (int i = 0; i < view->Count(); ++i) {
                const TRectF &r = rects[size_t(i)];
                QCOMPARE(view->Caption(i)->geometry(), QRect(int(r.Left), int(r.Top), int(r.Right - r.Left), 17));
                QVERIFY(r.Left == 10 || r.Right + 10 < view->width());
                rows.insert(r.Top);
                bottom = qMax(bottom, r.Bottom);
            }
            if (size.width() == 800)
                rowsBefore = int(rows.size());
            if (size.width() == 1400)
                QVERIFY(int(rows.size()) < rowsBefore); // wider, fewer rows
            QVERIFY(float(view->height()) >= minHeight);
            QCOMPARE(view->height(), qMax(qCeil(minHeight), int(bottom) + 10));
            QCOMPARE(bar->maximum(), qMax(0, view->height() - viewport->height()));
        }
        QCOMPARE(events, 0);
        QVERIFY(!view->IsLoading());
        QCOMPARE(view->Count(), 16);
        for (int i = 0; i < view->Count(); ++i) {
            QCOMPARE(view->Bitmap(i), bitmaps[i]);
            QCOMPARE(view->Caption(i), captions[i]);
        }
    }

    // A folder taller than the box: the bar reaches the last row, which then
    // shows at the bottom of the viewport.
    void scrollsThroughEveryRow()
    {
        testing::TempHome home;
        const int n = 64;
        QVERIFY(makeNumberedPictures(home, n, QSize(200, 150)));
        TForm1 form;
        QVERIFY(showAndLoadPictures(form));
        TThumbnails *view = form.Thumbnails1;
        QCOMPARE(view->Count(), n);

        QScrollBar *bar = form.FramedVertScrollBox1->verticalScrollBar();
        QWidget *viewport = form.FramedVertScrollBox1->viewport();
        QVERIFY(view->height() > viewport->height());
        QCOMPARE(bar->maximum(), view->height() - viewport->height());
        QCOMPARE(bar->value(), 0);

        const std::vector<TRectF> rects = view->CalcThumbRects();
        QList<float> rowTops;
        for (const TRectF &r : rects)
            if (rowTops.isEmpty() || rowTops.last() != r.Top)
                rowTops += r.Top;
        QVERIFY(rowTops.size() >= 8);
        QCOMPARE(view->height(), int(rects.back().Bottom) + 10);

        // Every row can be brought to the top of the viewport, or, for the
        // last ones, into it with the bar at its end; there it is drawn.
        for (int i = 0; i < n; i += 5) {
            const TRectF &r = rects[size_t(i)];
            bar->setValue(int(r.Top) - 10);
            QCoreApplication::processEvents();
            paintNow(viewport);
            const QPoint centre = view->mapTo(viewport, QPoint(int(r.Left) + 50, int(r.Top) + 37));
            QVERIFY2(viewport->rect().contains(centre), qPrintable(QString::number(i)));
            const QImage shot = viewport->grab().toImage();
            QVERIFY2(near(shot.pixel(centre), Body, 30), qPrintable(describe(shot.pixel(centre))));
        }
        bar->setValue(bar->maximum());
        QCoreApplication::processEvents();
        const QRect last = view->Caption(n - 1)->geometry().translated(view->pos());
        QCOMPARE(last.top() + 75 + 10, viewport->height()); // the last row ends the view
    }

    // Only the captions near the visible part are shown (thousands of shown
    // child widgets make every paint walk them all); scrolling anywhere shows
    // the captions there, drawn over their thumbnails.
    void captionsShowWhereverTheBoxIsScrolled()
    {
        testing::TempHome home;
        const int n = 200;
        QVERIFY(makeNumberedPictures(home, n, QSize(100, 75)));
        TForm1 form;
        QVERIFY(showAndLoadPictures(form));
        TThumbnails *view = form.Thumbnails1;
        QCOMPARE(view->Count(), n);
        QScrollBar *bar = form.FramedVertScrollBox1->verticalScrollBar();
        QWidget *viewport = form.FramedVertScrollBox1->viewport();
        QVERIFY(view->height() > 4 * viewport->height());

        const auto captionInk = [&](int i) {
            const QRect r = view->Caption(i)->geometry().translated(view->pos()).intersected(viewport->rect());
            const QImage shot = viewport->grab().toImage();
            int ink = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    ink += near(shot.pixel(x, y), QColor::fromRgba(TCaptionLabel::FontColor), 40) ? 1 : 0;
            return ink;
        };
        QVERIFY(view->Caption(0)->isVisible());
        QVERIFY(captionInk(0) > 0);
        QVERIFY(!view->Caption(n - 1)->isVisible());

        for (int value : {bar->maximum() / 2, bar->maximum(), 0}) {
            bar->setValue(value);
            QCoreApplication::processEvents();
            paintNow(viewport);
            for (int i = 0; i < n; ++i) {
                const QRect onViewport = view->Caption(i)->geometry().translated(view->pos());
                if (!viewport->rect().contains(onViewport))
                    continue;
                QVERIFY2(view->Caption(i)->isVisible(), qPrintable(QStringLiteral("caption %1 at %2").arg(i).arg(value)));
                QVERIFY2(captionInk(i) > 0, qPrintable(QStringLiteral("caption %1 at %2").arg(i).arg(value)));
            }
        }
        QVERIFY(!view->Caption(n - 1)->isVisible());
    }

    // Entries without a bitmap paint like the rest and start no load.
    void entriesWithoutBitmapStartNoReload()
    {
        testing::TempHome home;
        testing::MessageCapture messages;
        QVERIFY(testing::makePicture(home.pictures() + "/a.png", 200, 200));
        QVERIFY(testing::writeFile(home.pictures() + "/b.png", QByteArray()));
        QVERIFY(testing::writeFile(home.pictures() + "/c.jpg", QByteArray("not a picture at all")));
        QVERIFY(testing::makePicture(home.pictures() + "/d.png", 200, 200));
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        TThumbnails *view = selectPictures(form)->Thumbnails1;
        QVERIFY(testing::waitForLoad(view));
        int events = 0;
        view->SetOnLoadFile([&](QObject *, int32_t) { ++events; });
        for (int k = 0; k < 3; ++k)
            paintNow(view);
        QTest::qWait(50);
        QCOMPARE(events, 0);
        QVERIFY(!view->IsLoading());
        QCOMPARE(view->Count(), 4);
        QList<int> drawn;
        for (int i = 0; i < 4; ++i)
            if (view->Bitmap(i))
                drawn += i;
        QCOMPARE(drawn.size(), 2);
        // The two good ones sit side by side in the first row.
        QCOMPARE(view->Caption(drawn[0])->pos(), QPoint(10, 10));
        QCOMPARE(view->Caption(drawn[1])->pos(), QPoint(120, 10));
        const QImage shot = view->grab().toImage();
        QVERIFY(near(shot.pixel(60, 60), Body, 10));
        QVERIFY(near(shot.pixel(170, 60), Body, 10));
        QVERIFY(!near(shot.pixel(280, 60), Body, 60));
        QVERIFY(messages.messages.isEmpty());
    }

    // Clear leaves both lists empty, so painting goes on, with nothing to draw.
    void clearEmptiesBothLists()
    {
        platform::VertScrollBox box;
        TFixedThumbnails *view = showInBox(box);
        QVERIFY(view);
        const QImage empty = view->grab().toImage();
        for (int i = 0; i < 16; ++i)
            view->Put({100, 100}, QColor(250, 20, 20), QStringLiteral("x%1.png").arg(i));
        paintNow(view);
        QVERIFY(view->height() > 300);

        view->Clear();
        QCOMPARE(view->Count(), 0);
        QVERIFY(view->findChildren<TCaptionLabel *>().isEmpty());
        paintNow(view);
        QCOMPARE(view->height(), 300);
        QVERIFY(view->grab().toImage() == empty);

        // And the view takes new entries as before.
        view->Put({100, 100}, QColor(250, 20, 20), QStringLiteral("y.png"));
        paintNow(view);
        QCOMPARE(view->Caption(0)->geometry(), QRect(10, 10, 100, 17));
        QVERIFY(near(view->grab().toImage().pixel(60, 60), QColor(250, 20, 20), 2));
    }
};

FOTRA_TEST_MAIN(TestLayout)
#include "tst_layout.moc"
