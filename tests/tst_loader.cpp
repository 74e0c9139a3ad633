// The view's background load: order of entries, events and repaints, files
// that give no thumbnail, starting over, cancelling and going away mid-load.
#include "CaptionLabel.h"
#include "TestSupport.h"
#include "Thumbnails.h"
#include "Unit1.h"

#include <QThreadPool>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

// Records OnLoadFile events and repaints in one log, in the order they came.
class TLoggingView : public TThumbnails {
public:
    QStringList FLog;
    bool FEventsWellFormed = true; // sender is the view, the entry is appended

    TLoggingView()
    {
        SetOnLoadFile([this](QObject *Sender, int32_t cnt) {
            FLog << QString::number(cnt);
            FEventsWellFormed &= Sender == this && Count() == cnt;
        });
    }
    ~TLoggingView() override { StopLoading(); }

protected:
    void Repaint() override
    {
        FLog << u"R"_s;
        TThumbnails::Repaint();
    }
};

// Decodes like the view, but holds back chosen files until released, so a
// test knows a load is inside OpenFile at a given moment.
class THeldView : public TLoggingView {
public:
    std::function<bool(const QString &)> FHoldIf;

    ~THeldView() override
    {
        Release();
        StopLoading();
    }

    void Release()
    {
        std::lock_guard lock(FMutex);
        FHeld = false;
        FReleased.notify_all();
    }
    int Inside() const { return FInside; }
    int Started() const { return FStarted; }

    TThumbnailPair OpenFile(const QString &filename) const override
    {
        ++FStarted;
        if (FHoldIf && FHoldIf(filename)) {
            ++FInside;
            std::unique_lock lock(FMutex);
            FReleased.wait_for(lock, std::chrono::seconds(20), [this] { return !FHeld; });
            lock.unlock();
            TThumbnailPair pair = TThumbnails::OpenFile(filename);
            --FInside;
            return pair;
        }
        return TThumbnails::OpenFile(filename);
    }

private:
    mutable std::mutex FMutex;
    mutable std::condition_variable FReleased;
    bool FHeld = true;
    mutable std::atomic<int> FInside = 0;
    mutable std::atomic<int> FStarted = 0;
};

// Makes the first file finish after the second where two threads decode.
class TOutOfOrderView : public TLoggingView {
public:
    ~TOutOfOrderView() override { StopLoading(); }
    mutable QStringList FFinished; // guarded by FMutex
    mutable std::mutex FMutex;
    QString FFirst, FSecond;

    TThumbnailPair OpenFile(const QString &filename) const override
    {
        if (filename == FFirst) {
            std::unique_lock lock(FMutex);
            FSecondDone.wait_for(lock, std::chrono::seconds(5), [this] { return FFinished.contains(FSecond); });
        }
        TThumbnailPair pair = TThumbnails::OpenFile(filename);
        std::lock_guard lock(FMutex);
        FFinished << filename;
        FSecondDone.notify_all();
        return pair;
    }

private:
    mutable std::condition_variable FSecondDone;
};

QStringList expectedLog(int n)
{
    QStringList log;
    for (int k = 1; k <= n; ++k) {
        log << QString::number(k);
        if (k % 5 == 0)
            log << u"R"_s;
    }
    return log << u"R"_s;
}

// Processes events only until `done` holds, so a load is caught early on.
bool pumpUntil(const std::function<bool()> &done)
{
    QDeadlineTimer deadline(30000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

QSize sizeOf(int i) { return QSize(20 + 3 * i, 12 + 2 * i); }

} // namespace

class TestLoader : public QObject {
    Q_OBJECT
    QTemporaryDir FDir;
    QStringList FPictures; // distinct sizes: sizeOf(i)

    QStringList pictures(int n) const { return FPictures.mid(0, n); }

private Q_SLOTS:
    void initTestCase()
    {
        for (int i = 0; i < 24; ++i) {
            const QString path = FDir.filePath(u"p%1.png"_s.arg(i, 2, 10, QChar(u'0')));
            QVERIFY(testing::makePicture(path, sizeOf(i).width(), sizeOf(i).height()));
            FPictures << path;
        }
    }

    void cleanup() { QVERIFY(QThreadPool::globalInstance()->waitForDone(30000)); }

    void eventAndRepaintOrder_data()
    {
        QTest::addColumn<int>("n");
        QTest::newRow("none") << 0;
        QTest::newRow("one") << 1;
        QTest::newRow("five") << 5;
        QTest::newRow("seven") << 7;
        QTest::newRow("ten") << 10;
        QTest::newRow("eleven") << 11;
    }
    void eventAndRepaintOrder()
    {
        QFETCH(int, n);
        TLoggingView view;
        view.Files() = pictures(n);
        view.Execute();
        QVERIFY(view.FLog.isEmpty()); // Execute itself neither repaints nor raises events
        QVERIFY(testing::waitForLoad(&view));
        QCOMPARE(view.FLog, expectedLog(n));
        QVERIFY(view.FEventsWellFormed);
        QCOMPARE(view.Count(), n);
    }

    void literalOrders()
    {
        // The same orders written out, so the helper above cannot hide a fault.
        QCOMPARE(expectedLog(7).join(u' '), u"1 2 3 4 5 R 6 7 R"_s);
        QCOMPARE(expectedLog(10).join(u' '), u"1 2 3 4 5 R 6 7 8 9 10 R R"_s);
        QCOMPARE(expectedLog(0).join(u' '), u"R"_s);
    }

    void emptyFilesEmptiesTheView()
    {
        TLoggingView view;
        view.Files() = pictures(3);
        view.Execute();
        QVERIFY(testing::waitForLoad(&view));
        QCOMPARE(view.Count(), 3);
        view.FLog.clear();
        view.Files().clear();
        view.Execute();
        QCOMPARE(view.Count(), 0);
        QVERIFY(testing::waitForLoad(&view));
        QCOMPARE(view.FLog, QStringList{u"R"_s});
        QCOMPARE(view.Count(), 0);
    }

    void entriesKeepFilesOrderWithParallelDecoding()
    {
        TOutOfOrderView view;
        view.Files() = pictures(12);
        view.FFirst = FPictures[0];
        view.FSecond = FPictures[1];
        view.Execute();
        QVERIFY(testing::waitForLoad(&view));
        if (QThreadPool::globalInstance()->maxThreadCount() > 1) {
            std::lock_guard lock(view.FMutex);
            QVERIFY2(view.FFinished.indexOf(FPictures[1]) < view.FFinished.indexOf(FPictures[0]),
                     "the fixture should make decoding finish out of order");
        }
        QCOMPARE(view.FLog, expectedLog(12));
        QCOMPARE(view.Count(), 12);
        for (int i = 0; i < 12; ++i) {
            QVERIFY(view.Bitmap(i));
            QCOMPARE(view.Bitmap(i)->size(), sizeOf(i));
            QVERIFY(view.Caption(i));
            QCOMPARE(view.Caption(i)->text(), u"p%1.png"_s.arg(i, 2, 10, QChar(u'0')));
            QCOMPARE(view.Caption(i)->parentWidget(), &view);
        }
    }

    void filesWithoutThumbnailKeepTheirPlace()
    {
        QTemporaryDir dir;
        QVERIFY(testing::writeFile(dir.filePath(u"bad.png"_s), "not a picture"));
        QVERIFY(testing::writeFile(dir.filePath(u"empty.jpg"_s), QByteArray()));
        QVERIFY(testing::makePicture(dir.filePath(u"notes.txt"_s), 10, 10, "png"));
        QVERIFY(QDir(dir.path()).mkdir(u"folder.jpg"_s));
        const QStringList files{FPictures[0], dir.filePath(u"bad.png"_s), FPictures[2],
                                dir.filePath(u"missing.jpg"_s), dir.filePath(u"notes.txt"_s),
                                FPictures[5], dir.filePath(u"empty.jpg"_s), dir.filePath(u"folder.jpg"_s),
                                FPictures[8]};
        const QList<int> good{0, 2, 5, 8};
        TLoggingView view;
        view.Files() = files;
        view.Execute();
        QVERIFY(testing::waitForLoad(&view));
        QCOMPARE(view.FLog, expectedLog(int(files.size())));
        QVERIFY(view.FEventsWellFormed);
        QCOMPARE(view.Count(), files.size());
        for (int i = 0; i < files.size(); ++i) {
            if (good.contains(i)) {
                QVERIFY(view.Bitmap(i));
                QCOMPARE(view.Bitmap(i)->size(), sizeOf(i));
                QCOMPARE(view.Caption(i)->text(), u"p%1.png"_s.arg(i, 2, 10, QChar(u'0')));
            } else {
                QVERIFY2(!view.Bitmap(i) && !view.Caption(i), qPrintable(files[i]));
            }
        }
        // Painting copes with the holes.
        view.resize(400, 300);
        const QImage shot = view.grab().toImage();
        QVERIFY(!shot.isNull());
        QCOMPARE(view.Count(), files.size());
    }

    void executeDuringALoadStartsOver()
    {
        QTemporaryDir other;
        QStringList fresh;
        for (int i = 0; i < 6; ++i) {
            fresh << other.filePath(u"new%1.png"_s.arg(i));
            QVERIFY(testing::makePicture(fresh.last(), 70 + i, 40));
        }
        THeldView view;
        const QStringList old = pictures(20);
        view.FHoldIf = [old](const QString &f) { return old.indexOf(f) >= 3; };
        view.Files() = old;
        view.Execute();
        // The old load has appended some entries and is inside OpenFile now.
        QTRY_VERIFY(view.Count() >= 1 && view.Inside() > 0);
        QCOMPARE(view.FLog, expectedLog(view.Count()).mid(0, view.Count()));

        view.FLog.clear();
        view.Files() = fresh;
        view.Execute();
        QCOMPARE(view.Count(), 0);
        view.Release();
        QVERIFY(testing::waitForLoad(&view));
        QTRY_COMPARE(view.Inside(), 0);
        QVERIFY(QThreadPool::globalInstance()->waitForDone(30000));
        QCoreApplication::processEvents();
        QCOMPARE(view.FLog, expectedLog(6));
        QVERIFY(view.FEventsWellFormed);
        QCOMPARE(view.Count(), 6);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(view.Caption(i)->text(), u"new%1.png"_s.arg(i));
            QCOMPARE(view.Bitmap(i)->size(), QSize(70 + i, 40));
        }
        // Only the labels of the entries are children: the old ones are gone.
        QCOMPARE(view.findChildren<TCaptionLabel *>().size(), 6);
    }

    void cancelStopsAppendsAndEvents()
    {
        THeldView view;
        view.FHoldIf = [this](const QString &f) { return FPictures.indexOf(f) >= 2; };
        view.Files() = pictures(10);
        view.Execute();
        QTRY_VERIFY(view.Count() >= 1 && view.Inside() > 0);
        const int appended = view.Count();
        view.Cancel();
        QVERIFY(!view.IsLoading());
        view.Release();
        QTRY_COMPARE(view.Inside(), 0);
        QVERIFY(QThreadPool::globalInstance()->waitForDone(30000));
        QCoreApplication::processEvents();
        QCOMPARE(view.FLog, expectedLog(appended).mid(0, appended));
        QCOMPARE(view.Count(), appended);
    }

    void destroyingTheViewMidLoad_data()
    {
        QTest::addColumn<int>("entriesFirst"); // events to wait for before deleting
        QTest::addColumn<bool>("held");
        QTest::newRow("right after Execute") << 0 << false;
        QTest::newRow("after some entries") << 7 << false;
        QTest::newRow("inside an overridden OpenFile") << 0 << true;
    }
    void destroyingTheViewMidLoad()
    {
        QFETCH(int, entriesFirst);
        QFETCH(bool, held);
        QStringList many;
        for (int i = 0; i < 400; ++i)
            many << FPictures[i % FPictures.size()];
        auto events = std::make_shared<std::atomic<int>>(0);
        std::unique_ptr<TLoggingView> view;
        THeldView *heldView = nullptr;
        if (held) {
            heldView = new THeldView;
            heldView->FHoldIf = [](const QString &) { return true; };
            view.reset(heldView);
        } else {
            view = std::make_unique<TLoggingView>();
        }
        view->SetOnLoadFile([events](QObject *, int32_t) { ++*events; });
        view->Files() = many;
        view->Execute();
        if (entriesFirst > 0)
            QVERIFY(pumpUntil([&] { return *events >= entriesFirst; }));
        if (heldView)
            QTRY_VERIFY(heldView->Inside() > 0); // its destructor must get the threads out
        const int before = *events;
        QVERIFY(before < many.size());
        view.reset();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(30000));
        QCoreApplication::processEvents();
        QCOMPARE(int(*events), before);
    }

    void closingTheWindowMidLoad()
    {
        testing::TempHome home;
        for (int i = 0; i < 60; ++i)
            QVERIFY(testing::makePicture(home.pictures() + u"/p%1.jpg"_s.arg(i), 300, 200));
        auto form = std::make_unique<TForm1>();
        form->show();
        form->TreeView1->setCurrentItem(form->TreeView1->topLevelItem(0));
        QVERIFY(pumpUntil([&form] { return form->Thumbnails1->Count() >= 3; }));
        QVERIFY(form->Thumbnails1->IsLoading());
        form->close();
        form.reset();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(30000));
        QCoreApplication::processEvents();
    }

    void thumbnailSizeReloadsOnlyOnChange()
    {
        QTemporaryDir dir;
        QStringList files;
        for (int i = 0; i < 6; ++i) {
            files << dir.filePath(u"big%1.jpg"_s.arg(i));
            QVERIFY(testing::makePicture(files.last(), 400 + 40 * i, 300));
        }
        TLoggingView view;
        view.Files() = files;
        view.Execute();
        QVERIFY(testing::waitForLoad(&view));
        for (int i = 0; i < 6; ++i)
            QCOMPARE(view.Bitmap(i)->size(), QSize(100, 300 * 100 / (400 + 40 * i)));

        view.FLog.clear();
        view.SetThumbnailSize(100);
        QVERIFY(!view.IsLoading());
        QCOMPARE(view.Count(), 6);
        QCoreApplication::processEvents();
        QVERIFY(view.FLog.isEmpty());

        view.SetThumbnailSize(150);
        QCOMPARE(view.ThumbnailSize(), 150);
        QCOMPARE(view.Count(), 0);
        QVERIFY(view.IsLoading());
        QVERIFY(testing::waitForLoad(&view));
        QCOMPARE(view.FLog, expectedLog(6));
        QCOMPARE(view.Count(), 6);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(view.Bitmap(i)->size(), QSize(150, 300 * 150 / (400 + 40 * i)));
    }

    void storedPropertiesStartNothing()
    {
        TLoggingView view;
        QCOMPARE(view.ThumbnailSize(), 100);
        QCOMPARE(view.InnerMargin(), 10);
        QCOMPARE(view.MinHeight(), 600.0f);
        QVERIFY(view.AutoSize());
        QVERIFY(view.Files().isEmpty());
        view.Files() = pictures(3);
        view.SetThumbnailSize(100);
        view.SetInnerMargin(4);
        view.SetMinHeight(50);
        view.SetAutoSize(false);
        QVERIFY(!view.IsLoading());
        QCoreApplication::processEvents();
        QVERIFY(view.FLog.isEmpty());
        QCOMPARE(view.Count(), 0);
    }

    void imageFileTest_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("image");
        QTest::newRow("upper JPG") << u"IMG_0001.JPG"_s << true;
        QTest::newRow("jpeg") << u"a.jpeg"_s << true;
        QTest::newRow("mixed TiFf") << u"scan.TiFf"_s << true;
        QTest::newRow("tif") << u"scan.tif"_s << true;
        QTest::newRow("png") << u"a.png"_s << true;
        QTest::newRow("bmp") << u"a.Bmp"_s << true;
        QTest::newRow("gif") << u"anim.gif"_s << false;
        QTest::newRow("no extension") << u"README"_s << false;
        QTest::newRow("only the extension") << u".jpg"_s << true;
        QTest::newRow("dot at the end") << u"photo."_s << false;
        QTest::newRow("extension not last") << u"photo.jpg.txt"_s << false;
        QTest::newRow("two extensions") << u"photo.txt.jpg"_s << true;
        QTest::newRow("trailing blank") << u"photo.jpg "_s << false;
        QTest::newRow("full path") << u"/home/u/Pictures/x.png"_s << true;
        QTest::newRow("dot in folder name only") << u"/home/u/trip.jpg/readme"_s << false;
        QTest::newRow("dots in folder names") << u"/a.b/c.d/e.PNG"_s << true;
        QTest::newRow("japanese name") << u"/写真/夏.JPG"_s << true;
        QTest::newRow("empty") << QString() << false;
    }
    void imageFileTest()
    {
        QFETCH(QString, name);
        QFETCH(bool, image);
        QCOMPARE(TThumbnails::IsImageFile(name), image);
        QCOMPARE(TForm1::IsImageFile(name), image); // the window's own copy agrees
    }

    void bothExtensionTablesHoldTheSameSix()
    {
        QStringList view(TThumbnails::ImageExts.begin(), TThumbnails::ImageExts.end());
        QStringList form(TForm1::ImageExts.begin(), TForm1::ImageExts.end());
        QCOMPARE(form, (QStringList{u".jpg"_s, u".jpeg"_s, u".png"_s, u".bmp"_s, u".tif"_s, u".tiff"_s}));
        QCOMPARE(view, (QStringList{u".jpg"_s, u".jpeg"_s, u".png"_s, u".tif"_s, u".tiff"_s, u".bmp"_s}));
    }
};

FOTRA_TEST_MAIN(TestLoader)
#include "tst_loader.moc"
