// The item commands: collapse all, copy to the clipboard, open in the viewer, quit.
#include "TestSupport.h"
#include "Thumbnails.h"
#include "Unit1.h"
#include "clipboard.h"
#include "native_path.h"
#include "shell.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kCopied = QStringLiteral("クリップボードにコピーされました");

// Pictures/
//   trip/          a.png 640x480, sub/ (with s.png)
//   big.png        1234 x 567
//   small.jpg      60 x 40
//   bad/           broken.jpg (not a picture at all), empty.png (zero bytes)
//   empty/         nothing inside
struct TFixture {
    testing::TempHome home;
    QString pictures = home.pictures();
    TFixture()
    {
        testing::makePicture(pictures + "/trip/a.png", 640, 480);
        testing::makePicture(pictures + "/trip/sub/s.png", 30, 30);
        testing::makePicture(pictures + "/big.png", 1234, 567, nullptr, QColor(200, 90, 30));
        testing::makePicture(pictures + "/small.jpg", 60, 40);
        testing::writeFile(pictures + "/bad/broken.jpg", "this is no picture, only some words");
        testing::writeFile(pictures + "/bad/empty.png", QByteArray());
        testing::makeFolder(pictures + "/empty");
    }
};

QTreeWidgetItem *Child(QTreeWidgetItem *parent, const QString &text)
{
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == text)
            return parent->child(i);
    return nullptr;
}

// Selects the pictures root and waits for its thumbnails.
QTreeWidgetItem *OpenPictures(TForm1 &form)
{
    QTreeWidgetItem *root = form.TreeView1->topLevelItem(0);
    form.TreeView1->setCurrentItem(root);
    testing::waitForLoad(form.Thumbnails1);
    return root;
}

QAction *Entry(TForm1 &form, const QString &name) { return form.findChild<QAction *>(name); }

QTimer *NoticeTimer(TForm1 &form) { return form.findChild<QTimer *>(QStringLiteral("NoticeTimer")); }

// What a pixel-exact comparison needs: one format on both sides.
QImage Argb(const QImage &image) { return image.convertToFormat(QImage::Format_ARGB32); }

QImage Decoded(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    return Argb(reader.read());
}

QString SystemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Something recognisable on the clipboard, to see that a failed copy leaves it alone.
QImage PutSentinel()
{
    QImage sentinel(7, 5, QImage::Format_ARGB32);
    sentinel.fill(QColor(1, 2, 3));
    QGuiApplication::clipboard()->setImage(sentinel);
    return sentinel;
}

void AllItems(QTreeWidgetItem *item, QList<QTreeWidgetItem *> &out)
{
    out.append(item);
    for (int i = 0; i < item->childCount(); ++i)
        AllItems(item->child(i), out);
}

void AddEntryColumns(const char *copyEntryMain, const char *copyEntryPopup)
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("main menu") << QString::fromLatin1(copyEntryMain);
    QTest::newRow("context menu") << QString::fromLatin1(copyEntryPopup);
}

// Sees the viewer requests instead of starting programs, while it lives.
class TOpenRecorder {
public:
    explicit TOpenRecorder(QStringList &requests)
        : FPrevious(platform::setOpenHandler([&requests](const QString &path) { requests.append(path); }))
    {
    }
    ~TOpenRecorder() { platform::setOpenHandler(FPrevious); }

private:
    platform::OpenHandler FPrevious;
};

} // namespace

class TestCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { platform::setClipboardAvailable(true); }
    void cleanup() { platform::setClipboardAvailable(true); }

    // --- collapse all ---

    void collapseAll_data() { AddEntryColumns("MenuItem5", "MenuItem1"); }
    void collapseAll()
    {
        QFETCH(QString, entry);
        TFixture fx;
        TForm1 form;
        QTreeWidgetItem *root = OpenPictures(form);
        QTreeWidgetItem *trip = Child(root, "trip");
        QVERIFY(trip);
        form.TreeView1->setCurrentItem(trip); // fills trip, two levels deep
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        for (int i = 0; i < form.TreeView1->topLevelItemCount(); ++i)
            form.TreeView1->topLevelItem(i)->setExpanded(true);
        Child(trip, "sub")->setExpanded(true);
        form.TreeView1->setCurrentItem(Child(trip, "a.png"));
        QVERIFY(form.MenuItem6->isEnabled());
        QVERIFY(form.MenuItem2->isEnabled());
        const int count = form.Thumbnails1->Count();
        QCOMPARE(count, 1);
        const QImage *bitmap = form.Thumbnails1->Bitmap(0);
        const QStringList files = form.Thumbnails1->Files();

        Entry(form, entry)->trigger();

        QList<QTreeWidgetItem *> items;
        for (int i = 0; i < form.TreeView1->topLevelItemCount(); ++i)
            AllItems(form.TreeView1->topLevelItem(i), items);
        QVERIFY(items.size() > 8);
        for (QTreeWidgetItem *item : items)
            QVERIFY2(!item->isExpanded(), qPrintable(item->text(0)));
        QVERIFY(form.TreeView1->selectedItems().isEmpty());
        QVERIFY(!form.MenuItem6->isEnabled());
        QVERIFY(!form.MenuItem2->isEnabled());
        QVERIFY(form.Action2->isEnabled());
        QVERIFY(!form.Thumbnails1->IsLoading());
        QCOMPARE(form.Thumbnails1->Count(), count);
        QCOMPARE(form.Thumbnails1->Bitmap(0), bitmap);
        QCOMPARE(form.Thumbnails1->Files(), files);
    }

    // --- copy ---

    void copyPutsWholePicture_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::newRow("main menu, png") << "MenuItem6" << "big.png" << QSize(1234, 567);
        QTest::newRow("context menu, png") << "MenuItem2" << "big.png" << QSize(1234, 567);
        QTest::newRow("main menu, small jpeg") << "MenuItem6" << "small.jpg" << QSize(60, 40);
    }
    void copyPutsWholePicture()
    {
        QFETCH(QString, entry);
        QFETCH(QString, name);
        QFETCH(QSize, size);
        TFixture fx;
        testing::MessageCapture capture;
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTreeWidgetItem *item = Child(OpenPictures(form), name);
        QVERIFY(item);
        form.TreeView1->setCurrentItem(item);
        PutSentinel();
        QVERIFY(form.Label2->isHidden());

        Entry(form, entry)->trigger();

        QVERIFY(capture.messages.isEmpty());
        const QImage pasted = QGuiApplication::clipboard()->image();
        QCOMPARE(pasted.size(), size);
        QCOMPARE(Argb(pasted), Decoded(fx.pictures + "/" + name));
        QVERIFY(form.Label2->isVisible());
        QCOMPARE(form.Label2->text(), kCopied);
        QVERIFY(form.Label2->width() >= form.Label2->fontMetrics().horizontalAdvance(kCopied)); // not cut off
        QTimer *timer = NoticeTimer(form);
        QVERIFY(timer);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 3000);
        QVERIFY(timer->isSingleShot());
        // The window goes on working while the notice waits.
        form.TreeView1->setCurrentItem(Child(form.TreeView1->topLevelItem(0), "empty"));
        QCOMPARE(form.Label1->text(), QStringLiteral(" 0 files"));
        QVERIFY(form.Label2->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!timer->isActive(), 6000);
        QVERIFY(form.Label2->isHidden());
    }

    void secondCopyRestartsNotice()
    {
        TFixture fx;
        testing::MessageCapture capture;
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.TreeView1->setCurrentItem(Child(OpenPictures(form), "small.jpg"));
        QTimer *timer = NoticeTimer(form);
        QVERIFY(timer);
        // Watches for the notice going away while its wait still runs.
        bool hiddenEarly = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (timer->isActive() && form.Label2->isHidden())
                hiddenEarly = true;
        });
        watch.start(25);

        form.MenuItem6->trigger();
        QVERIFY(form.Label2->isVisible());
        QTest::qWait(1500);
        const int leftOfFirst = timer->remainingTime();
        QVERIFY(leftOfFirst > 0);
        form.MenuItem2->trigger();
        QVERIFY(form.Label2->isVisible());
        // Restarted: the whole wait again from the second copy.
        QCOMPARE(timer->interval(), 3000);
        QVERIFY(timer->remainingTime() > leftOfFirst + 1000);
        // Past the point where the first copy's notice would have ended.
        QTest::qWait(leftOfFirst + 300);
        QVERIFY(timer->isActive());
        QVERIFY(form.Label2->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!timer->isActive(), 6000);
        QVERIFY(!hiddenEarly);
        QVERIFY(form.Label2->isHidden());
        QVERIFY(capture.messages.isEmpty());
    }

    void copyUndecodableShowsError_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("words in a .jpg") << "broken.jpg";
        QTest::newRow("zero bytes") << "empty.png";
    }
    void copyUndecodableShowsError()
    {
        QFETCH(QString, name);
        TFixture fx;
        testing::MessageCapture capture;
        TForm1 form;
        QTreeWidgetItem *item = Child(Child(OpenPictures(form), "bad"), name);
        QVERIFY(item);
        form.TreeView1->setCurrentItem(item);
        QVERIFY(form.MenuItem6->isEnabled());
        const QImage sentinel = PutSentinel();

        form.MenuItem6->trigger();

        QCOMPARE(capture.messages.size(), 1);
        QCOMPARE(capture.messages[0].kind, platform::MessageKind::Error);
        QCOMPARE(capture.messages[0].title, QStringLiteral("エラー"));
        const QString path = fx.pictures + "/bad/" + name;
        QCOMPARE(capture.messages[0].text, QStringLiteral("ビットマップの読み込みに失敗しました (%1)。").arg(path));
        QCOMPARE(Argb(QGuiApplication::clipboard()->image()), Argb(sentinel));
        QVERIFY(form.Label2->isHidden());
        QVERIFY(!NoticeTimer(form)->isActive());
    }

    void copyUnopenableShowsError_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("deleted after listing") << "deleted";
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("no read permission") << "unreadable";
    }
    void copyUnopenableShowsError()
    {
        QFETCH(QString, kind);
        if (kind == "unreadable" && ::geteuid() == 0)
            QSKIP("root reads every file");
        TFixture fx;
        const QString path = fx.pictures + "/odd.png";
        int reason = 0;
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            reason = EINVAL;
        } else {
            QVERIFY(testing::makePicture(path, 20, 20));
            reason = kind == "deleted" ? ENOENT : EACCES;
            if (kind == "unreadable")
                QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0), 0);
        }
        testing::MessageCapture capture;
        TForm1 form;
        QTreeWidgetItem *item = Child(OpenPictures(form), "odd.png");
        QVERIFY(item);
        form.TreeView1->setCurrentItem(item);
        QVERIFY(form.MenuItem6->isEnabled());
        if (kind == "deleted")
            QVERIFY(QFile::remove(path));
        const QImage sentinel = PutSentinel();

        form.MenuItem2->trigger();

        QCOMPARE(capture.messages.size(), 1);
        QCOMPARE(capture.messages[0].kind, platform::MessageKind::Error);
        QCOMPARE(capture.messages[0].title, QStringLiteral("エラー"));
        QCOMPARE(capture.messages[0].text,
                 QStringLiteral("ファイル %1 は開けません。 %2 ").arg(path, SystemReason(reason)));
        QCOMPARE(Argb(QGuiApplication::clipboard()->image()), Argb(sentinel));
        QVERIFY(form.Label2->isHidden());
    }

    void copyOfNonUtf8Name()
    {
        TFixture fx;
        // "写真.png" in Shift-JIS, as unpacked from an archive made on Windows.
        const std::string native = platform::nativeFromPath(fx.pictures) + "/\x8e\xca\x90\x5e.png";
        QVERIFY(testing::makePicture(fx.pictures + "/tmp.png", 33, 22, nullptr, QColor(9, 99, 199)));
        QCOMPARE(::rename(QFile::encodeName(fx.pictures + "/tmp.png").constData(), native.c_str()), 0);
        testing::MessageCapture capture;
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTreeWidgetItem *item = Child(OpenPictures(form), QStringLiteral("写真.png"));
        QVERIFY(item);
        form.TreeView1->setCurrentItem(item);
        QVERIFY(form.MenuItem6->isEnabled());
        form.MenuItem6->trigger();
        QVERIFY(capture.messages.isEmpty());
        QImage expected(33, 22, QImage::Format_ARGB32);
        {
            QFile file;
            const int fd = ::open(native.c_str(), O_RDONLY);
            QVERIFY(fd >= 0);
            QVERIFY(file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
            QImageReader reader(&file);
            expected = Argb(reader.read());
        }
        QCOMPARE(Argb(QGuiApplication::clipboard()->image()), expected);
        QVERIFY(form.Label2->isVisible());
    }

    void copyOfFolderNamedLikePicture()
    {
        TFixture fx;
        QVERIFY(testing::makeFolder(fx.pictures + "/holiday.jpg"));
        testing::MessageCapture capture;
        TForm1 form;
        QTreeWidgetItem *folder = Child(OpenPictures(form), "holiday.jpg");
        QVERIFY(folder);
        form.TreeView1->setCurrentItem(folder);
        QVERIFY(!form.MenuItem6->isEnabled());
        const QImage sentinel = PutSentinel();
        // The entry is off; the action itself still refuses to copy a folder.
        form.Action2->trigger();
        QCOMPARE(capture.messages.size(), 1);
        QCOMPARE(capture.messages[0].text, QStringLiteral("ファイル %1 は開けません。 %2 ")
                                               .arg(fx.pictures + "/holiday.jpg", SystemReason(EISDIR)));
        QCOMPARE(Argb(QGuiApplication::clipboard()->image()), Argb(sentinel));
        QVERIFY(form.Label2->isHidden());
    }

    void copyWithNothingSelectedDoesNothing()
    {
        TFixture fx;
        testing::MessageCapture capture;
        TForm1 form;
        form.TreeView1->setCurrentItem(Child(OpenPictures(form), "big.png"));
        form.MenuItem5->trigger(); // collapse all: nothing selected
        const QImage sentinel = PutSentinel();
        form.Action2->trigger();
        QVERIFY(capture.messages.isEmpty());
        QCOMPARE(Argb(QGuiApplication::clipboard()->image()), Argb(sentinel));
        QVERIFY(form.Label2->isHidden());
    }

    void noClipboardService_data() { AddEntryColumns("MenuItem6", "MenuItem2"); }
    void noClipboardService()
    {
        QFETCH(QString, entry);
        TFixture fx;
        testing::MessageCapture capture;
        TForm1 form;
        form.TreeView1->setCurrentItem(Child(OpenPictures(form), "big.png"));
        const QImage sentinel = PutSentinel();
        platform::setClipboardAvailable(false);

        Entry(form, entry)->trigger();

        QCOMPARE(capture.messages.size(), 1);
        QCOMPARE(capture.messages[0].kind, platform::MessageKind::Plain);
        QCOMPARE(capture.messages[0].title, QStringLiteral("Fotra"));
        QCOMPARE(capture.messages[0].text, QStringLiteral("OSが未サポートです"));
        QVERIFY(!form.MenuItem2->isEnabled());
        QVERIFY(!form.PopupMenu1->actions().at(1)->isEnabled());
        QVERIFY(form.MenuItem6->isEnabled());
        QVERIFY(form.Label2->isHidden());
        platform::setClipboardAvailable(true);
        QCOMPARE(Argb(QGuiApplication::clipboard()->image()), Argb(sentinel));
    }

    // --- open in the viewer ---

    void openInViewer_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QStringList>("select"); // the path of items from the pictures root
        QTest::addColumn<bool>("requests");
        QTest::newRow("main menu, picture") << "MenuItem9" << QStringList{"big.png"} << true;
        QTest::newRow("context menu, picture") << "MenuItem8" << QStringList{"small.jpg"} << true;
        QTest::newRow("picture in a subfolder") << "MenuItem9" << QStringList{"trip", "a.png"} << true;
        QTest::newRow("undecodable picture") << "MenuItem8" << QStringList{"bad", "broken.jpg"} << true;
        QTest::newRow("folder") << "MenuItem9" << QStringList{"trip"} << false;
        QTest::newRow("root folder") << "MenuItem8" << QStringList{} << false;
        QTest::newRow("placeholder") << "MenuItem9" << QStringList{"empty", "(no Image files)"} << false;
        QTest::newRow("nothing selected") << "MenuItem8" << QStringList{"-"} << false;
    }
    void openInViewer()
    {
        QFETCH(QString, entry);
        QFETCH(QStringList, select);
        QFETCH(bool, requests);
        TFixture fx;
        testing::MessageCapture capture;
        QStringList requested;
        TOpenRecorder recorder(requested);
        {
            TForm1 form;
            QTreeWidgetItem *item = OpenPictures(form);
            if (select == QStringList{"-"}) {
                form.TreeView1->clearSelection();
                item = nullptr;
            } else {
                for (const QString &text : select) {
                    form.TreeView1->setCurrentItem(item);
                    item = Child(item, text);
                    QVERIFY(item);
                }
                form.TreeView1->setCurrentItem(item);
            }
            QVERIFY(testing::waitForLoad(form.Thumbnails1));

            Entry(form, entry)->trigger();

            if (requests)
                QCOMPARE(requested, QStringList{TForm1::Tag(item)});
            else
                QVERIFY(requested.isEmpty());
            QVERIFY(capture.messages.isEmpty());
        }
        if (requests) {
            QString expected = fx.pictures;
            for (const QString &text : select)
                expected += "/" + text;
            QCOMPARE(requested.value(0), expected);
        }
    }

    // --- quit ---

    void quitClosesWindow_data()
    {
        QTest::addColumn<bool>("midLoad");
        QTest::newRow("idle") << false;
        QTest::newRow("in the middle of a load") << true;
    }
    void quitClosesWindow()
    {
        QFETCH(bool, midLoad);
        testing::TempHome home;
        if (midLoad)
            for (int k = 0; k < 60; ++k)
                QVERIFY(testing::makePicture(home.pictures() + QStringLiteral("/m%1.png").arg(k), 500, 400));
        {
            TForm1 form;
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            if (midLoad) {
                form.TreeView1->setCurrentItem(form.TreeView1->topLevelItem(0));
                QVERIFY(QTest::qWaitFor([&] { return form.Thumbnails1->Count() > 0; }, 30000));
                QVERIFY(form.Thumbnails1->IsLoading());
            }
            // The quit entry, chosen while the program's own event loop runs:
            // the loop ends as when the window is closed.
            QTimer::singleShot(0, &form, [&form] { form.MenuItem7->trigger(); });
            QTimer stuck;
            stuck.setSingleShot(true);
            connect(&stuck, &QTimer::timeout, this, [] { QCoreApplication::exit(99); });
            stuck.start(20000);
            const int rc = QApplication::exec();
            stuck.stop();
            QCOMPARE(rc, 0);
            QVERIFY(!form.isVisible());
        }
        // The window is gone with its load: whatever the load still posts finds nothing to touch.
        QTest::qWait(50);
    }

    // --- the real error box ---

    void defaultErrorDisplayIsCriticalBox()
    {
        TFixture fx;
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.TreeView1->setCurrentItem(Child(Child(OpenPictures(form), "bad"), "broken.jpg"));

        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        qsizetype buttonCount = -1;
        bool seen = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || seen)
                return;
            seen = true;
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->standardButtons();
            buttonCount = box->buttons().size();
            box->button(QMessageBox::Ok)->click();
        });
        poll.start(20);
        // Stop waiting however the box behaves, so the test cannot hang.
        QTimer::singleShot(10000, this, [] {
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        });

        form.MenuItem6->trigger(); // returns once the box is closed

        poll.stop();
        QVERIFY(seen);
        QCOMPARE(title, QStringLiteral("エラー"));
        QCOMPARE(icon, QMessageBox::Critical);
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(buttonCount, 1);
        QCOMPARE(text, QStringLiteral("ビットマップの読み込みに失敗しました (%1)。").arg(fx.pictures + "/bad/broken.jpg"));
        QVERIFY(form.isVisible()); // the program goes on
        QVERIFY(form.Label2->isHidden());
    }
};

FOTRA_TEST_MAIN(TestCommands)
#include "tst_commands.moc"
