// A scripted session on the real window with a fixed seed: folder switches
// in the middle of loads, the slider dragged across every step, resizes,
// collapse all, copies and double clicks, then a close in the middle of a
// load. Nothing may crash or hang, and once the session settles the view
// shows exactly the last folder's pictures at the last size, in order.
//
// FOTRA_STRESS_STEPS sets the number of steps (default 300) and
// FOTRA_STRESS_SEED the seed; tests/stress_long.sh runs a long session.
#include "TestSupport.h"
#include "CaptionLabel.h"
#include "Thumbnails.h"
#include "Unit1.h"
#include "image_decoding.h"
#include "listing.h"
#include "native_path.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QThreadPool>

#include <map>

using namespace testing;

namespace {

struct Picture {
    QSize size;
    QColor color;
};

int envInt(const char *name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok ? v : fallback;
}

} // namespace

class TestStress : public QObject {
    Q_OBJECT

    std::map<QString, Picture> FPictures; // every picture made, by path

    bool makeFolder(const QString &folder, int count, QRandomGenerator &rng)
    {
        if (!testing::makeFolder(folder))
            return false;
        for (int i = 0; i < count; ++i) {
            const QString path = QStringLiteral("%1/p%2.%3").arg(folder).arg(i).arg(i % 3 == 0 ? "jpg" : "png");
            const QSize size(60 + int(rng.bounded(400)), 40 + int(rng.bounded(300)));
            // Colours far apart and flat, so that a grabbed pixel names its file.
            const QColor color = QColor::fromHsv(int(FPictures.size() * 37 % 360), 255, 120 + int(FPictures.size() % 5) * 30);
            QImage image(size, QImage::Format_RGB32);
            image.fill(color);
            if (!image.save(path))
                return false;
            FPictures[path] = {size, color};
        }
        return true;
    }

    static QList<QTreeWidgetItem *> allItems(QTreeWidget *tree)
    {
        QList<QTreeWidgetItem *> out;
        QList<QTreeWidgetItem *> todo;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            todo << tree->topLevelItem(i);
        while (!todo.isEmpty()) {
            QTreeWidgetItem *item = todo.takeFirst();
            out << item;
            for (int i = 0; i < item->childCount(); ++i)
                todo << item->child(i);
        }
        return out;
    }

    static bool near(QColor a, QColor b)
    {
        return qAbs(a.red() - b.red()) <= 24 && qAbs(a.green() - b.green()) <= 24 && qAbs(a.blue() - b.blue()) <= 24;
    }

private Q_SLOTS:
    void scriptedSession()
    {
        const int steps = envInt("FOTRA_STRESS_STEPS", 300);
        const quint32 seed = quint32(envInt("FOTRA_STRESS_SEED", 20260704));
        qInfo("steps %d, seed %u", steps, seed);
        QRandomGenerator rng(seed);

        TempHome home;
        const QString p = home.pictures();
        QVERIFY(makeFolder(p + "/empty", 0, rng));
        QVERIFY(makeFolder(p + "/three", 3, rng));
        QVERIFY(makeFolder(p + "/seven", 7, rng));
        QVERIFY(makeFolder(p + "/forty", 40, rng));
        QVERIFY(makeFolder(p + "/forty/inner", 12, rng));
        QVERIFY(makeFolder(p + "/many", 150, rng));
        QVERIFY(makeFolder(home.documents() + "/docs", 5, rng));
        QVERIFY(makePicture(home.desktop() + "/broken.jpg", 10, 10));
        QVERIFY(writeFile(home.desktop() + "/broken.jpg", "not a picture"));

        MessageCapture capture;
        auto form = std::make_unique<TForm1>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        TThumbnails *view = form->Thumbnails1;

        QString lastFolder;          // the folder whose pictures the view should end with
        int expectedSize = view->ThumbnailSize();
        int copies = 0, failedCopies = 0;

        for (int step = 0; step < steps; ++step) {
            const QList<QTreeWidgetItem *> items = allItems(form->TreeView1);
            QList<QTreeWidgetItem *> folders, pictures;
            for (QTreeWidgetItem *item : items) {
                if (platform::isDirectory(TForm1::Tag(item)))
                    folders << item;
                else if (platform::isFile(TForm1::Tag(item)))
                    pictures << item;
            }
            switch (rng.bounded(10)) {
            case 0:
            case 1:
            case 2: { // select a folder, often while the last load still runs
                QTreeWidgetItem *f = folders.at(int(rng.bounded(quint32(folders.size()))));
                if (f != form->TreeView1->currentItem() || !f->isSelected()) {
                    form->TreeView1->setCurrentItem(f);
                    lastFolder = TForm1::Tag(f);
                }
                break;
            }
            case 3: { // drag the slider from one end to the other
                const bool up = rng.bounded(2);
                for (int v = 0; v <= form->TrackBar1->maximum(); ++v) {
                    form->TrackBar1->setValue(up ? v : form->TrackBar1->maximum() - v);
                    if (rng.bounded(3) == 0)
                        QCoreApplication::processEvents();
                }
                break;
            }
            case 4: // one slider step
                form->TrackBar1->setValue(int(rng.bounded(quint32(form->TrackBar1->maximum() + 1))));
                break;
            case 5:
                form->resize(400 + int(rng.bounded(900)), 300 + int(rng.bounded(600)));
                break;
            case 6:
                form->Action1->trigger(); // collapse all
                break;
            case 7: { // copy a picture
                if (pictures.isEmpty())
                    break;
                QTreeWidgetItem *pic = pictures.at(int(rng.bounded(quint32(pictures.size()))));
                form->TreeView1->setCurrentItem(pic);
                const qsizetype before = capture.messages.size();
                form->Action2->trigger();
                const auto it = FPictures.find(TForm1::Tag(pic));
                if (it != FPictures.end()) {
                    QCOMPARE(capture.messages.size(), before);
                    QCOMPARE(QGuiApplication::clipboard()->image().size(), it->second.size);
                    QVERIFY(!form->Label2->isHidden());
                    ++copies;
                } else {
                    QCOMPARE(capture.messages.size(), before + 1);
                    ++failedCopies;
                }
                break;
            }
            case 8: { // double-click a picture: back to its folder
                if (pictures.isEmpty())
                    break;
                QTreeWidgetItem *pic = pictures.at(int(rng.bounded(quint32(pictures.size()))));
                const QString folder = TForm1::Tag(pic->parent()); // the reload frees pic
                form->TreeView1->setCurrentItem(pic);
                form->TreeView1DblClick();
                lastFolder = folder;
                break;
            }
            default: // let the loads run a little
                for (int k = int(rng.bounded(20)); k > 0; --k)
                    QCoreApplication::processEvents();
                break;
            }
            expectedSize = 100 + 50 * form->TrackBar1->value();
            if (rng.bounded(4) == 0)
                QCoreApplication::processEvents();
        }
        qInfo("%d copies, %d failed as expected", copies, failedCopies);

        // Settle: the view holds the last selection at the last size, in order.
        QVERIFY(waitForLoad(view, 120000));
        QCOMPARE(view->ThumbnailSize(), expectedSize);
        QStringList expected;
        if (!lastFolder.isEmpty())
            for (const QString &f : platform::listFolder(lastFolder).files)
                if (TForm1::IsImageFile(f))
                    expected << f;
        qInfo("ends on %s: %d pictures at %d", qPrintable(lastFolder), int(expected.size()), expectedSize);
        QCOMPARE(view->Files(), expected);
        QCOMPARE(view->Count(), int(expected.size()));
        // The view's own painting, without the captions over it.
        QImage shown(view->size(), QImage::Format_ARGB32);
        shown.fill(Qt::black);
        view->render(&shown, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        const std::vector<TRectF> rects = view->CalcThumbRects();
        for (int i = 0; i < view->Count(); ++i) {
            const Picture &pic = FPictures.at(expected[i]);
            const QImage *bmp = view->Bitmap(i);
            QVERIFY(bmp);
            QCOMPARE(bmp->size(), platform::fitIntoBox(pic.size, expectedSize));
            QCOMPARE(view->Caption(i)->text(), platform::lastComponent(expected[i]));
            const QPoint middle(int((rects[size_t(i)].Left + rects[size_t(i)].Right) / 2),
                                int((rects[size_t(i)].Top + rects[size_t(i)].Bottom) / 2));
            QVERIFY2(near(shown.pixelColor(middle), pic.color),
                     qPrintable(QStringLiteral("entry %1 (%2)").arg(i).arg(expected[i])));
        }

        // Close in the middle of a load: neither a crash nor a hang.
        QTreeWidgetItem *root = form->TreeView1->topLevelItem(0);
        form->TreeView1->setCurrentItem(root);
        for (int i = 0; i < root->childCount(); ++i)
            if (root->child(i)->text(0) == u"many")
                form->TreeView1->setCurrentItem(root->child(i));
        QCoreApplication::processEvents();
        QVERIFY(view->IsLoading());
        form->close();
        form.reset();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(60000));
        QCoreApplication::processEvents();
    }
};

FOTRA_TEST_MAIN(TestStress)
#include "tst_stress.moc"
