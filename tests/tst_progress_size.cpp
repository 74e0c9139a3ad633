// The progress bar following a load, and the slider turning into a thumbnail size.
#include "CaptionLabel.h"
#include "TestSupport.h"
#include "Thumbnails.h"
#include "Unit1.h"
#include "native_path.h"

#include <QSlider>
#include <QThread>

namespace {

// Every picture is 400 x 300, so each size gives its own thumbnail size.
constexpr int kWidth = 400;
constexpr int kHeight = 300;

QSize ThumbSizeAt(int size) { return QSize(size, kHeight * size / kWidth); }

// A colour of its own for the k-th picture, so an entry shows which file it came from.
QColor ColourOf(int k) { return QColor(20 + 5 * k, 230 - 4 * k, 60 + 3 * (k % 7)); }

QString NameOf(int k) { return QStringLiteral("p%1.png").arg(k, 3, 10, QLatin1Char('0')); }

void MakePictures(const QString &folder, int n)
{
    for (int k = 0; k < n; ++k)
        QVERIFY(testing::makePicture(folder + "/" + NameOf(k), kWidth, kHeight, nullptr, ColourOf(k)));
}

int IndexOf(const QString &name) { return name.mid(1, 3).toInt(); }

// What the window's own handler did with each event, seen right after it ran.
struct TEventLog {
    QList<int> cnts;
    QList<int> barValues;
    bool allOnUiThread = true;
};

void RecordEvents(TForm1 &form, TEventLog &log)
{
    form.Thumbnails1->SetOnLoadFile([&form, &log](QObject *sender, int32_t cnt) {
        form.Thumbnails1LoadFile(sender, cnt);
        log.cnts.append(cnt);
        log.barValues.append(form.ProgressBar1->Value());
        if (QThread::currentThread() != form.thread())
            log.allOnUiThread = false;
    });
}

QList<int> Range(int from, int to)
{
    QList<int> r;
    for (int i = from; i <= to; ++i)
        r.append(i);
    return r;
}

// The bar after each event of a whole load of n files: 1, 2, ..., n-1, then 0.
QList<int> BarAfterLoad(int n)
{
    QList<int> r = Range(1, n - 1);
    r.append(0);
    return r;
}

// Every entry has a thumbnail of `size`, and entry i is Files[i]'s picture.
void CheckEntries(TThumbnails *view, int size)
{
    const QStringList &files = view->Files();
    QCOMPARE(view->Count(), int(files.size()));
    for (int i = 0; i < view->Count(); ++i) {
        const QImage *bmp = view->Bitmap(i);
        QVERIFY(bmp);
        QCOMPARE(bmp->deviceIndependentSize().toSize(), ThumbSizeAt(size));
        const QString name = platform::lastComponent(files[i]);
        QVERIFY(view->Caption(i));
        QCOMPARE(view->Caption(i)->text(), name);
        const QColor centre = bmp->pixelColor(bmp->width() / 2, bmp->height() / 2);
        const QColor expected = ColourOf(IndexOf(name));
        QVERIFY2(qAbs(centre.red() - expected.red()) <= 2 && qAbs(centre.green() - expected.green()) <= 2 &&
                     qAbs(centre.blue() - expected.blue()) <= 2,
                 qPrintable(QStringLiteral("entry %1 is not the picture of %2").arg(i).arg(name)));
    }
}

void SelectPictures(TForm1 &form)
{
    form.TreeView1->setCurrentItem(form.TreeView1->topLevelItem(0));
}

// Processes events until the current load has put at least one entry in.
bool WaitForFirstEntry(TThumbnails *view)
{
    return QTest::qWaitFor([view] { return view->Count() > 0; }, 30000);
}

} // namespace

class TestProgressSize : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void barFollowsLoad_data()
    {
        QTest::addColumn<int>("n");
        QTest::newRow("one file") << 1;
        QTest::newRow("three files") << 3;
        QTest::newRow("seven files") << 7;
        QTest::newRow("ten files") << 10;
    }

    void barFollowsLoad()
    {
        QFETCH(int, n);
        testing::TempHome home;
        MakePictures(home.pictures(), n);
        TForm1 form;
        TEventLog log;
        RecordEvents(form, log);
        SelectPictures(form);
        QCOMPARE(form.ProgressBar1->Max(), n);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(log.cnts, Range(1, n));
        QCOMPARE(log.barValues, BarAfterLoad(n));
        QVERIFY(log.allOnUiThread);
        QCOMPARE(form.ProgressBar1->Value(), 0);
        QCOMPARE(form.ProgressBar1->Max(), n);
    }

    void sliderReloadsAtItsSize()
    {
        testing::TempHome home;
        MakePictures(home.pictures(), 3);
        TForm1 form;
        SelectPictures(form);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        CheckEntries(form.Thumbnails1, 100);

        TEventLog log;
        RecordEvents(form, log);
        form.TrackBar1->setValue(1);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(form.Thumbnails1->ThumbnailSize(), 150);
        CheckEntries(form.Thumbnails1, 150);

        // 1 -> 2 -> 1: two reloads, at 200 and then at 150.
        log = {};
        form.TrackBar1->setValue(2);
        QCOMPARE(form.Thumbnails1->ThumbnailSize(), 200);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        CheckEntries(form.Thumbnails1, 200);
        form.TrackBar1->setValue(1);
        QCOMPARE(form.Thumbnails1->ThumbnailSize(), 150);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        CheckEntries(form.Thumbnails1, 150);
        QCOMPARE(log.cnts, Range(1, 3) + Range(1, 3));
        QCOMPARE(log.barValues, BarAfterLoad(3) + BarAfterLoad(3));
        // The reloads keep the maximum the folder selection set.
        QCOMPARE(form.ProgressBar1->Max(), 3);
    }

    void everyStepHasItsSize_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("size");
        QTest::newRow("0") << 0 << 100;
        QTest::newRow("1") << 1 << 150;
        QTest::newRow("2") << 2 << 200;
        QTest::newRow("3") << 3 << 250;
        QTest::newRow("4") << 4 << 300;
        QTest::newRow("5") << 5 << 350;
    }

    void everyStepHasItsSize()
    {
        QFETCH(int, step);
        QFETCH(int, size);
        testing::TempHome home;
        MakePictures(home.pictures(), 2);
        TForm1 form;
        SelectPictures(form);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        // From the other end of the scale, so every step is a change.
        form.TrackBar1->setValue(step == 5 ? 0 : 5);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        form.TrackBar1->setValue(step);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(form.Thumbnails1->ThumbnailSize(), size);
        CheckEntries(form.Thumbnails1, size);
    }

    void sameSizeStartsNothing_data()
    {
        QTest::addColumn<int>("step");
        QTest::newRow("step 0 right after start-up") << 0;
        QTest::newRow("step 3") << 3;
    }

    void sameSizeStartsNothing()
    {
        QFETCH(int, step);
        testing::TempHome home;
        MakePictures(home.pictures(), 3);
        TForm1 form;
        form.TrackBar1->setValue(step);
        SelectPictures(form);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(form.Thumbnails1->ThumbnailSize(), 100 + 50 * step);
        std::vector<const QImage *> before;
        for (int i = 0; i < form.Thumbnails1->Count(); ++i)
            before.push_back(form.Thumbnails1->Bitmap(i));

        TEventLog log;
        RecordEvents(form, log);
        form.TrackBar1->setValue(step);
        form.TrackBar1Tracking(); // as if the slider reported its unchanged value
        QVERIFY(!form.Thumbnails1->IsLoading());
        QCoreApplication::processEvents();
        QVERIFY(log.cnts.isEmpty());
        QCOMPARE(form.Thumbnails1->Count(), int(before.size()));
        for (int i = 0; i < form.Thumbnails1->Count(); ++i)
            QCOMPARE(form.Thumbnails1->Bitmap(i), before[size_t(i)]);
    }

    void sliderChangeDuringLoad()
    {
        const int n = 40;
        testing::TempHome home;
        MakePictures(home.pictures(), n);
        TForm1 form;
        TEventLog log;
        RecordEvents(form, log);
        SelectPictures(form);
        QVERIFY(WaitForFirstEntry(form.Thumbnails1));
        // The load hands over a repaint every five files, so it cannot have
        // finished while the UI thread was only taking the first entries.
        QVERIFY(form.Thumbnails1->IsLoading());
        QVERIFY(form.Thumbnails1->Count() < n);

        QList<int> barChanges;
        connect(form.ProgressBar1, &QProgressBar::valueChanged, this, [&](int v) { barChanges.append(v); });
        log = {};
        // The bar signals changes only: from where it stands now, the new load
        // must move it exactly along its own events.
        QList<int> expectedChanges;
        int last = form.ProgressBar1->Value();
        for (int v : BarAfterLoad(n)) {
            if (v != last)
                expectedChanges.append(v);
            last = v;
        }
        form.TrackBar1->setValue(3);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        // Only the new load's events, and nothing else moved the bar.
        QCOMPARE(log.cnts, Range(1, n));
        QCOMPARE(log.barValues, BarAfterLoad(n));
        QCOMPARE(barChanges, expectedChanges);
        QCOMPARE(form.ProgressBar1->Max(), n);
        CheckEntries(form.Thumbnails1, 250);
    }

    void draggingBackAndForthDuringLoad()
    {
        const int n = 60;
        testing::TempHome home;
        MakePictures(home.pictures(), n);
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        SelectPictures(form);
        QVERIFY(WaitForFirstEntry(form.Thumbnails1));
        QVERIFY(form.Thumbnails1->IsLoading());

        // Across all steps and back, twice, letting a little of each load in.
        QList<Qt::Key> keys;
        for (int round = 0; round < 2; ++round) {
            for (int i = 0; i < 5; ++i)
                keys.append(Qt::Key_Right);
            for (int i = 0; i < 5; ++i)
                keys.append(Qt::Key_Left);
        }
        keys += {Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right};
        QList<int> sizesSeen;
        for (Qt::Key key : keys) {
            QCoreApplication::processEvents();
            QTest::keyClick(form.TrackBar1, key);
            sizesSeen.append(form.Thumbnails1->ThumbnailSize());
        }
        QCOMPARE(sizesSeen.mid(0, 5), (QList<int>{150, 200, 250, 300, 350}));
        QCOMPARE(sizesSeen.mid(5, 5), (QList<int>{300, 250, 200, 150, 100}));
        QCOMPARE(form.TrackBar1->value(), 4);

        TEventLog log;
        RecordEvents(form, log);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(form.Thumbnails1->ThumbnailSize(), 300);
        CheckEntries(form.Thumbnails1, 300);
        QCOMPARE(log.cnts, Range(1, n));
        QCOMPARE(log.barValues, BarAfterLoad(n));
        QCOMPARE(form.ProgressBar1->Value(), 0);
        QCOMPARE(form.ProgressBar1->Max(), n);
    }
};

FOTRA_TEST_MAIN(TestProgressSize)
#include "tst_progress_size.moc"
