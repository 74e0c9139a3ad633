// Browsing the folder tree of the real window: what a selection lists, what
// it hands to the thumbnail view, and what it leaves alone.
#include "TestSupport.h"
#include "CaptionLabel.h"
#include "Thumbnails.h"
#include "Unit1.h"
#include "listing.h"
#include "native_path.h"

#include <QBuffer>
#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTreeWidgetItemIterator>
#include <QScrollBar>
#include <QStandardPaths>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

std::string native(const QString &path) { return platform::nativeFromPath(path); }

QStringList texts(const QTreeWidgetItem *item)
{
    QStringList out;
    for (int i = 0; i < item->childCount(); ++i)
        out << item->child(i)->text(0);
    return out;
}

QStringList tags(const QTreeWidgetItem *item)
{
    QStringList out;
    for (int i = 0; i < item->childCount(); ++i)
        out << TForm1::Tag(item->child(i));
    return out;
}

QTreeWidgetItem *child(const QTreeWidgetItem *item, const QString &text)
{
    for (int i = 0; i < item->childCount(); ++i)
        if (item->child(i)->text(0) == text)
            return item->child(i);
    return nullptr;
}

// What a folder's item should list, read straight from readdir: subfolders
// (links followed) in readdir order, then the picture files in readdir order.
QStringList expectedChildPaths(const QString &folder)
{
    QStringList folders, pictures;
    DIR *d = ::opendir(native(folder).c_str());
    if (!d)
        return {};
    while (const dirent *e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        const QString path = folder + u'/' + platform::pathFromNative(name);
        struct stat st{};
        if (::stat(native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            folders << path;
        else if (TForm1::IsImageFile(platform::displayText(platform::pathFromNative(name))))
            pictures << path;
    }
    ::closedir(d);
    return folders + pictures;
}

QStringList picturesOf(const QString &folder)
{
    QStringList out;
    for (const QString &p : expectedChildPaths(folder))
        if (!platform::isDirectory(p))
            out << p;
    return out;
}

bool writeNative(const std::string &path, const QImage &image, const char *format)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format))
        return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, data.constData(), size_t(data.size())) == data.size();
    return ::close(fd) == 0 && ok;
}

bool copyEntriesEnabled(const TForm1 &form, bool expected)
{
    return form.MenuItem6->isEnabled() == expected && form.MenuItem2->isEnabled() == expected
        && form.PopupMenu1->actions().at(1)->isEnabled() == expected;
}

// Changes the disk right before a chosen subfolder is listed, after its parent
// folder was: the moment a folder can vanish under a running selection.
class TChangingForm : public TForm1 {
public:
    QString FVictim;
    std::function<void()> FChange;

    void FillFolderItem(QTreeWidgetItem *Item, int Depth) override
    {
        if (FChange && Tag(Item) == FVictim)
            std::exchange(FChange, nullptr)();
        TForm1::FillFolderItem(Item, Depth);
    }
};

} // namespace

class TestFolderTree : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void exampleFolderItemByItem()
    {
        testing::TempHome home;
        const QString F = home.pictures();
        QVERIFY(testing::makePicture(F + "/A/x.png", 40, 30));
        QVERIFY(testing::makeFolder(F + "/A/C"));
        QVERIFY(testing::makePicture(F + "/A/C/deep.jpg", 20, 20));
        QVERIFY(testing::makeFolder(F + "/B"));
        QVERIFY(testing::makePicture(F + "/p.jpg", 80, 60));
        QVERIFY(testing::writeFile(F + "/q.txt", "text"));
        testing::MessageCapture messages;
        TForm1 form;
        QTreeWidgetItem *root = form.TreeView1->topLevelItem(0);
        form.TreeView1->setCurrentItem(root);

        // Subfolders in the file system's order, then the pictures.
        const QStringList order = expectedChildPaths(F);
        QCOMPARE(order.size(), 3);
        QCOMPARE(order.last(), F + "/p.jpg");
        QCOMPARE(tags(root), order);
        QStringList names;
        for (const QString &p : order)
            names << platform::lastComponent(p);
        QCOMPARE(texts(root), names);
        QVERIFY(root->isExpanded());

        QTreeWidgetItem *A = child(root, u"A"_s);
        QTreeWidgetItem *B = child(root, u"B"_s);
        QTreeWidgetItem *p = child(root, u"p.jpg"_s);
        QVERIFY(A && B && p);
        QCOMPARE(texts(A), (QStringList{u"C"_s, u"x.png"_s}));
        QCOMPARE(tags(A), (QStringList{F + "/A/C", F + "/A/x.png"}));
        QCOMPARE(child(A, u"C"_s)->childCount(), 0); // third level: filled only when selected
        QCOMPARE(texts(B), QStringList{TForm1::NoImageFiles});
        QVERIFY(TForm1::Tag(B->child(0)).isEmpty());
        QCOMPARE(B->child(0)->childCount(), 0);
        QCOMPARE(p->childCount(), 0);
        QVERIFY(!A->isExpanded());
        QVERIFY(!B->isExpanded());

        QCOMPARE(form.Thumbnails1->Files(), QStringList{F + "/p.jpg"});
        QCOMPARE(form.Label1->text(), u" 1 files"_s);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(form.Thumbnails1->Count(), 1);
        QVERIFY(form.Thumbnails1->Bitmap(0));
        QCOMPARE(form.Thumbnails1->Bitmap(0)->size(), QSize(80, 60));
        QCOMPARE(form.Thumbnails1->Caption(0)->text(), u"p.jpg"_s);
        QVERIFY(messages.messages.isEmpty());
    }

    void orderIsTheFileSystemsNotSorted()
    {
        testing::TempHome home;
        const QString F = home.documents();
        for (int i = 0; i < 12; ++i) {
            QVERIFY(testing::makeFolder(F + u"/dir%1"_s.arg((i * 5) % 12)));
            QVERIFY(testing::makePicture(F + u"/pic%1.png"_s.arg((i * 7) % 12), 10 + i, 10));
            QVERIFY(testing::writeFile(F + u"/note%1.txt"_s.arg(i), "x"));
        }
        TForm1 form;
        QTreeWidgetItem *root = form.TreeView1->topLevelItem(2);
        form.TreeView1->setCurrentItem(root);
        const QStringList expected = expectedChildPaths(F);
        QCOMPARE(expected.size(), 24);
        QStringList sorted = expected.mid(12);
        sorted.sort();
        QVERIFY2(sorted != expected.mid(12), "readdir should not give these back sorted");
        QCOMPARE(tags(root), expected);
        QCOMPARE(form.Thumbnails1->Files(), expected.mid(12));
        QCOMPARE(form.Label1->text(), u" 12 files"_s);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        for (int i = 0; i < 12; ++i)
            QCOMPARE(form.Thumbnails1->Caption(i)->text(), platform::lastComponent(expected[12 + i]));
    }

    void emptyFolderShowsThePlaceholderAndEmptiesTheView()
    {
        testing::TempHome home;
        QVERIFY(testing::makePicture(home.pictures() + "/p.jpg", 30, 30));
        TForm1 form;
        form.TreeView1->setCurrentItem(form.TreeView1->topLevelItem(0));
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(form.Thumbnails1->Count(), 1);

        QTreeWidgetItem *desktop = form.TreeView1->topLevelItem(1);
        form.TreeView1->setCurrentItem(desktop);
        QCOMPARE(texts(desktop), QStringList{TForm1::NoImageFiles});
        QVERIFY(TForm1::Tag(desktop->child(0)).isEmpty());
        QVERIFY(form.Thumbnails1->Files().isEmpty());
        QCOMPARE(form.Label1->text(), u" 0 files"_s);
        QCOMPARE(form.Thumbnails1->Count(), 0);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(form.Thumbnails1->Count(), 0);
    }

    void extensionDecidesWhatIsListed()
    {
        testing::TempHome home;
        const QString F = home.pictures();
        QVERIFY(testing::makePicture(F + "/PHOTO.JPEG", 50, 40, "jpeg"));
        QVERIFY(testing::makePicture(F + "/photo.gif", 50, 40, "png")); // a picture, but not by its name
        QVERIFY(testing::makePicture(F + "/scan.TiF", 30, 20, "tiff"));
        QVERIFY(testing::makePicture(F + "/noext", 30, 20, "png"));
        QVERIFY(testing::makePicture(F + "/shot.png.bak", 30, 20, "png"));
        TForm1 form;
        QTreeWidgetItem *root = form.TreeView1->topLevelItem(0);
        form.TreeView1->setCurrentItem(root);
        QStringList shown = texts(root);
        shown.sort();
        QCOMPARE(shown, (QStringList{u"PHOTO.JPEG"_s, u"scan.TiF"_s}));
        QCOMPARE(form.Label1->text(), u" 2 files"_s);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(form.Thumbnails1->Count(), 2);
        for (int i = 0; i < 2; ++i) {
            QVERIFY(form.Thumbnails1->Bitmap(i));
            const QString name = form.Thumbnails1->Caption(i)->text();
            QCOMPARE(form.Thumbnails1->Bitmap(i)->size(), name == u"PHOTO.JPEG"_s ? QSize(50, 40) : QSize(30, 20));
        }
    }

    void hiddenEntriesAreListedDotsNever()
    {
        testing::TempHome home;
        const QString F = home.pictures();
        QVERIFY(testing::makePicture(F + "/.hidden.jpg", 20, 20));
        QVERIFY(testing::makePicture(F + "/.secret/inside.png", 20, 20));
        TForm1 form;
        QTreeWidgetItem *root = form.TreeView1->topLevelItem(0);
        form.TreeView1->setCurrentItem(root);
        QCOMPARE(texts(root), (QStringList{u".secret"_s, u".hidden.jpg"_s}));
        QCOMPARE(texts(child(root, u".secret"_s)), QStringList{u"inside.png"_s});
        QCOMPARE(form.Thumbnails1->Files(), QStringList{F + "/.hidden.jpg"});
        for (QTreeWidgetItemIterator it(form.TreeView1); *it; ++it) {
            QVERIFY((*it)->text(0) != u"."_s && (*it)->text(0) != u".."_s);
            QVERIFY(!TForm1::Tag(*it).endsWith(u"/."_s) && !TForm1::Tag(*it).endsWith(u"/.."_s));
        }
    }

    void reselectionRebuildsTheBranch()
    {
        testing::TempHome home;
        const QString F = home.pictures();
        QVERIFY(testing::makePicture(F + "/A/x.png", 20, 20));
        QVERIFY(testing::makePicture(F + "/p.jpg", 20, 20));
        TForm1 form;
        QTreeWidgetItem *root = form.TreeView1->topLevelItem(0);
        form.TreeView1->setCurrentItem(root);
        child(root, u"A"_s)->setExpanded(true);
        QVERIFY(testing::makePicture(F + "/A/y.png", 20, 20));
        QVERIFY(testing::makePicture(F + "/new.png", 20, 20));

        form.TreeView1->setCurrentItem(form.TreeView1->topLevelItem(1));
        QVERIFY(root->isExpanded()); // branches outside the selection keep what they showed
        QCOMPARE(root->childCount(), 2);
        form.TreeView1->setCurrentItem(root);
        QCOMPARE(tags(root), expectedChildPaths(F));
        QCOMPARE(root->childCount(), 3);
        QTreeWidgetItem *A = child(root, u"A"_s);
        QVERIFY(!A->isExpanded());
        QCOMPARE(A->childCount(), 2);
        QCOMPARE(form.Thumbnails1->Files(), picturesOf(F));
        QCOMPARE(form.Label1->text(), u" 2 files"_s);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(form.Thumbnails1->Count(), 2);
    }

    void selectingTheSelectedFolderDoesNothing()
    {
        testing::TempHome home;
        const QString F = home.pictures();
        QVERIFY(testing::makePicture(F + "/p.jpg", 20, 20));
        QVERIFY(testing::makePicture(F + "/A/x.png", 20, 20));
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTreeWidgetItem *root = form.TreeView1->topLevelItem(0);
        form.TreeView1->setCurrentItem(root);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QTreeWidgetItem *A = child(root, u"A"_s);
        A->setExpanded(true);
        QVERIFY(testing::makePicture(F + "/later.png", 20, 20));

        form.TreeView1->setCurrentItem(root);
        QTest::mouseClick(form.TreeView1->viewport(), Qt::LeftButton, {},
                          form.TreeView1->visualItemRect(root).center());
        QCOMPARE(form.TreeView1->currentItem(), root);
        QCOMPARE(root->childCount(), 2);
        QCOMPARE(root->child(0), A);
        QVERIFY(A->isExpanded());
        QCOMPARE(form.Thumbnails1->Files(), QStringList{F + "/p.jpg"});
        QVERIFY(!form.Thumbnails1->IsLoading());
        QCOMPARE(form.Thumbnails1->Count(), 1);
    }

    void doubleClickOnPictureReloadsItsFolder_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("handler") << 0;
        QTest::newRow("signal") << 1;
        QTest::newRow("mouse") << 2;
    }
    void doubleClickOnPictureReloadsItsFolder()
    {
        QFETCH(int, how);
        testing::TempHome home;
        const QString F = home.pictures();
        QVERIFY(testing::makePicture(F + "/A/x.png", 20, 20));
        QVERIFY(testing::makePicture(F + "/top.jpg", 20, 20));
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTreeWidgetItem *root = form.TreeView1->topLevelItem(0);
        form.TreeView1->setCurrentItem(root);
        QTreeWidgetItem *A = child(root, u"A"_s);
        form.TreeView1->setCurrentItem(A);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QTreeWidgetItem *x = child(A, u"x.png"_s);
        form.TreeView1->setCurrentItem(x);
        QCOMPARE(form.Thumbnails1->Files(), QStringList{F + "/A/x.png"}); // a picture changes nothing
        QVERIFY(testing::makePicture(F + "/A/y.png", 20, 20));

        switch (how) {
        case 0: form.TreeView1DblClick(); break;
        case 1: Q_EMIT form.TreeView1->itemDoubleClicked(x, 0); break;
        default:
            // Through the window, as the window system sends it: press, release, press, release.
            QTest::mouseDClick(form.windowHandle(), Qt::LeftButton, {},
                               form.TreeView1->viewport()->mapTo(&form, form.TreeView1->visualItemRect(x).center()));
        }
        QCOMPARE(form.TreeView1->currentItem(), A);
        QCOMPARE(form.TreeView1->selectedItems(), QList<QTreeWidgetItem *>{A});
        QCOMPARE(texts(A), (QStringList() << platform::lastComponent(expectedChildPaths(F + "/A")[0])
                                          << platform::lastComponent(expectedChildPaths(F + "/A")[1])));
        QCOMPARE(form.Thumbnails1->Files(), picturesOf(F + "/A"));
        QCOMPARE(form.Label1->text(), u" 2 files"_s);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(form.Thumbnails1->Count(), 2);
    }

    void doubleClickOnAFolderStaysThere_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain folder") << u"B"_s;
        QTest::newRow("folder named like a picture") << u"holiday.jpg"_s;
        QTest::newRow("placeholder") << TForm1::NoImageFiles;
    }
    void doubleClickOnAFolderStaysThere()
    {
        QFETCH(QString, name);
        testing::TempHome home;
        const QString F = home.pictures();
        QVERIFY(testing::makeFolder(F + "/B"));
        QVERIFY(testing::makeFolder(F + "/holiday.jpg"));
        QVERIFY(testing::makePicture(F + "/p.jpg", 20, 20));
        TForm1 form;
        QTreeWidgetItem *root = form.TreeView1->topLevelItem(0);
        form.TreeView1->setCurrentItem(root);
        QTreeWidgetItem *item = name == TForm1::NoImageFiles ? child(root, u"B"_s)->child(0) : child(root, name);
        QVERIFY(item);
        form.TreeView1->setCurrentItem(item);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        const QStringList files = form.Thumbnails1->Files();
        form.TreeView1DblClick();
        QCOMPARE(form.TreeView1->currentItem(), item);
        QCOMPARE(form.Thumbnails1->Files(), files);
        QVERIFY(!form.Thumbnails1->IsLoading());
    }

    void copyEntriesOnlyForAPicture_data()
    {
        QTest::addColumn<QString>("item"); // path below the root, "" for the root itself
        QTest::addColumn<bool>("enabled");
        QTest::newRow("picture") << u"p.jpg"_s << true;
        QTest::newRow("picture in a subfolder") << u"A/x.PNG"_s << true;
        QTest::newRow("folder") << u"A"_s << false;
        QTest::newRow("folder named holiday.jpg") << u"holiday.jpg"_s << false;
        QTest::newRow("placeholder") << u"B/"_s + TForm1::NoImageFiles << false;
        QTest::newRow("picture gone since listing") << u"gone.jpg"_s << false;
        QTest::newRow("root") << QString() << false;
    }
    void copyEntriesOnlyForAPicture()
    {
        QFETCH(QString, item);
        QFETCH(bool, enabled);
        testing::TempHome home;
        const QString F = home.pictures();
        QVERIFY(testing::makePicture(F + "/A/x.PNG", 20, 20));
        QVERIFY(testing::makeFolder(F + "/B"));
        QVERIFY(testing::makePicture(F + "/holiday.jpg/in.png", 20, 20));
        QVERIFY(testing::makePicture(F + "/p.jpg", 20, 20));
        QVERIFY(testing::makePicture(F + "/gone.jpg", 20, 20));
        testing::MessageCapture messages;
        TForm1 form;
        QTreeWidgetItem *root = form.TreeView1->topLevelItem(0);
        form.TreeView1->setCurrentItem(root);
        QVERIFY(QFile::remove(F + "/gone.jpg"));
        // From the opposite state, so a handler that writes nothing fails.
        QTreeWidgetItem *p = child(root, u"p.jpg"_s);
        form.TreeView1->setCurrentItem(enabled ? child(root, u"A"_s) : p);
        QVERIFY(copyEntriesEnabled(form, !enabled));
        QTreeWidgetItem *target = root;
        for (const QString &part : item.split(u'/', Qt::SkipEmptyParts))
            target = child(target, part);
        QVERIFY(target);
        form.TreeView1->setCurrentItem(target);
        QVERIFY(copyEntriesEnabled(form, enabled));
        // The actions themselves stay enabled.
        QVERIFY(form.Action2->isEnabled());
        QVERIFY(messages.messages.isEmpty());
    }

    void selectingNothingDisablesTheCopyEntries()
    {
        testing::TempHome home;
        QVERIFY(testing::makePicture(home.pictures() + "/p.jpg", 20, 20));
        TForm1 form;
        QTreeWidgetItem *root = form.TreeView1->topLevelItem(0);
        form.TreeView1->setCurrentItem(root);
        form.TreeView1->setCurrentItem(child(root, u"p.jpg"_s));
        QVERIFY(copyEntriesEnabled(form, true));
        form.TreeView1->clearSelection();
        QVERIFY(form.TreeView1->selectedItems().isEmpty());
        QVERIFY(copyEntriesEnabled(form, false));
        QCOMPARE(form.Thumbnails1->Files(), QStringList{home.pictures() + "/p.jpg"});
    }

    void realFolderNamedLikeThePlaceholderIsFilled()
    {
        testing::TempHome home;
        const QString F = home.pictures();
        const QString odd = F + u'/' + TForm1::NoImageFiles;
        QVERIFY(testing::makePicture(odd + "/in.png", 30, 20));
        QVERIFY(testing::makeFolder(odd + "/deeper"));
        TForm1 form;
        QTreeWidgetItem *root = form.TreeView1->topLevelItem(0);
        form.TreeView1->setCurrentItem(root);
        QTreeWidgetItem *item = child(root, TForm1::NoImageFiles);
        QVERIFY(item);
        QCOMPARE(TForm1::Tag(item), odd);
        QCOMPARE(texts(item), (QStringList{u"deeper"_s, u"in.png"_s}));

        form.TreeView1->setCurrentItem(item);
        QCOMPARE(texts(item), (QStringList{u"deeper"_s, u"in.png"_s}));
        QCOMPARE(texts(child(item, u"deeper"_s)), QStringList{TForm1::NoImageFiles});
        QCOMPARE(form.Thumbnails1->Files(), QStringList{odd + "/in.png"});
        QCOMPARE(form.Label1->text(), u" 1 files"_s);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(form.Thumbnails1->Count(), 1);
        QVERIFY(form.Thumbnails1->Bitmap(0));
        QCOMPARE(form.Thumbnails1->Bitmap(0)->size(), QSize(30, 20));
    }

    void subfolderVanishingDuringTheSelection_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("deleted") << 0;
        QTest::newRow("turned into a file") << 1;
        QTest::newRow("turned into a broken link") << 2;
        QTest::newRow("turned into a link to a file") << 3;
    }
    void subfolderVanishingDuringTheSelection()
    {
        QFETCH(int, how);
        testing::TempHome home;
        const QString F = home.pictures();
        const QString gone = F + "/Gone";
        QVERIFY(testing::makePicture(gone + "/g.png", 20, 20));
        QVERIFY(testing::makePicture(F + "/Stay/s.png", 20, 20));
        QVERIFY(testing::makePicture(F + "/p.jpg", 40, 30));
        QVERIFY(testing::makePicture(F + "/q.png", 30, 40));
        QVERIFY(testing::makePicture(home.desktop() + "/old.png", 25, 25));
        testing::MessageCapture messages;
        TChangingForm form;
        // Thumbnails of another folder on screen first.
        form.TreeView1->setCurrentItem(form.TreeView1->topLevelItem(1));
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(form.Thumbnails1->Count(), 1);
        form.ProgressBar1->SetValue(1);

        form.FVictim = gone;
        form.FChange = [&] {
            QVERIFY(QDir(gone).removeRecursively());
            if (how == 1)
                QVERIFY(testing::writeFile(gone, "now a file"));
            else if (how == 2)
                QVERIFY(QFile::link(F + "/nowhere", gone));
            else if (how == 3)
                QVERIFY(QFile::link(F + "/p.jpg", gone));
        };
        QTreeWidgetItem *root = form.TreeView1->topLevelItem(0);
        form.TreeView1->setCurrentItem(root);
        QVERIFY2(!form.FChange, "the subfolder was listed");
        QVERIFY(messages.messages.isEmpty());
        QTreeWidgetItem *item = child(root, u"Gone"_s);
        QVERIFY(item);
        QCOMPARE(texts(item), QStringList{TForm1::NoImageFiles});
        QVERIFY(TForm1::Tag(item->child(0)).isEmpty());
        QCOMPARE(texts(child(root, u"Stay"_s)), QStringList{u"s.png"_s});
        QVERIFY(child(root, u"p.jpg"_s) && child(root, u"q.png"_s));
        QVERIFY(root->isExpanded());
        const QStringList files = form.Thumbnails1->Files();
        QCOMPARE(files.size(), 2);
        QVERIFY(files.contains(F + "/p.jpg") && files.contains(F + "/q.png"));
        QCOMPARE(form.Label1->text(), u" 2 files"_s);
        QCOMPARE(form.ProgressBar1->Value(), 0);
        QCOMPARE(form.ProgressBar1->Max(), 2);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(form.Thumbnails1->Count(), 2);
        for (int i = 0; i < 2; ++i)
            QCOMPARE(form.Thumbnails1->Caption(i)->text(), platform::lastComponent(files[i]));
    }

    void folderWithoutReadPermission()
    {
        if (::geteuid() == 0) {
            // Permissions do not bind root: run this case again as nobody.
            const QString setpriv = QStandardPaths::findExecutable(u"setpriv"_s);
            if (setpriv.isEmpty())
                QSKIP("running as root, and no setpriv to drop to an unprivileged user");
            QProcess p;
            p.setProcessChannelMode(QProcess::MergedChannels);
            p.start(setpriv, {u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s,
                              QCoreApplication::applicationFilePath(), u"folderWithoutReadPermission"_s});
            QVERIFY(p.waitForFinished(120000));
            const QString out = QString::fromLocal8Bit(p.readAll());
            if (!out.contains(u"Start testing"_s))
                QSKIP(qPrintable(u"could not run as nobody: "_s + out.left(300)));
            QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, qPrintable(out));
            QVERIFY2(out.contains(u"PASS   : TestFolderTree::folderWithoutReadPermission()"_s), qPrintable(out));
            return;
        }
        testing::TempHome home;
        const QString F = home.pictures();
        const QString locked = F + "/Locked";
        QVERIFY(testing::makePicture(locked + "/l.png", 20, 20));
        QVERIFY(testing::makePicture(F + "/p.jpg", 20, 20));
        QVERIFY(QFile::setPermissions(locked, {}));
        const auto unlock = qScopeGuard([&] { QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
        testing::MessageCapture messages;
        TForm1 form;
        QTreeWidgetItem *root = form.TreeView1->topLevelItem(0);
        form.TreeView1->setCurrentItem(root);
        QTreeWidgetItem *item = child(root, u"Locked"_s);
        QVERIFY(item);
        QCOMPARE(texts(item), QStringList{TForm1::NoImageFiles});
        QCOMPARE(form.Thumbnails1->Files(), QStringList{F + "/p.jpg"});

        form.TreeView1->setCurrentItem(item);
        QCOMPARE(texts(item), QStringList{TForm1::NoImageFiles});
        QVERIFY(form.Thumbnails1->Files().isEmpty());
        QCOMPARE(form.Label1->text(), u" 0 files"_s);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(form.Thumbnails1->Count(), 0);
        QVERIFY(messages.messages.isEmpty());
    }

    void namesThatAreNotUtf8()
    {
        testing::TempHome home;
        const std::string F = native(home.pictures());
        const std::string sjisFolder = F + "/\x8E\xCA\x90\x5E"; // 写真 in Shift-JIS
        QCOMPARE(::mkdir(sjisFolder.c_str(), 0755), 0);
        QImage wide(60, 30, QImage::Format_RGB32), tall(20, 50, QImage::Format_RGB32), square(35, 35, QImage::Format_RGB32);
        wide.fill(Qt::red), tall.fill(Qt::green), square.fill(Qt::blue);
        QVERIFY(writeNative(sjisFolder + "/\x82\xA0.png", wide, "png"));  // あ.png
        QVERIFY(writeNative(sjisFolder + "/caf\xE9.jpg", tall, "jpeg"));   // Latin-1 café
        QVERIFY(writeNative(F + "/\xED\xB2\x80.bmp", square, "bmp"));     // looks like an escaped surrogate
        testing::MessageCapture messages;
        TForm1 form;
        QTreeWidgetItem *root = form.TreeView1->topLevelItem(0);
        form.TreeView1->setCurrentItem(root);
        QTreeWidgetItem *folder = child(root, u"写真"_s);
        QVERIFY2(folder, qPrintable(texts(root).join(u", "_s)));
        QCOMPARE(native(TForm1::Tag(folder)), sjisFolder);
        QCOMPARE(form.Thumbnails1->Files().size(), 1);
        QCOMPARE(native(form.Thumbnails1->Files()[0]), F + "/\xED\xB2\x80.bmp");

        form.TreeView1->setCurrentItem(folder);
        QStringList shown = texts(folder);
        shown.sort();
        QCOMPARE(shown, (QStringList{u"caf\uFFFD.jpg"_s, u"あ.png"_s}));
        for (const QString &t : shown)
            QCOMPARE(QString::fromUtf8(t.toUtf8()), t); // nothing unreadable reaches the screen
        for (int i = 0; i < folder->childCount(); ++i) {
            struct stat st{};
            QCOMPARE(::stat(native(TForm1::Tag(folder->child(i))).c_str(), &st), 0);
        }
        QCOMPARE(form.Thumbnails1->Files(), tags(folder));
        QCOMPARE(form.Label1->text(), u" 2 files"_s);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(form.Thumbnails1->Count(), 2);
        for (int i = 0; i < 2; ++i) {
            QVERIFY(form.Thumbnails1->Bitmap(i));
            const QString caption = form.Thumbnails1->Caption(i)->text();
            QCOMPARE(caption, folder->child(i)->text(0));
            QCOMPARE(form.Thumbnails1->Bitmap(i)->size(), caption == u"あ.png"_s ? QSize(60, 30) : QSize(20, 50));
        }
        QVERIFY(messages.messages.isEmpty());
    }

    void rootWhoseFolderIsMissingDoesNothing()
    {
        testing::TempHome home;
        QVERIFY(testing::makePicture(home.pictures() + "/p.jpg", 20, 20));
        TForm1 form;
        QVERIFY(QDir(home.desktop()).removeRecursively());
        testing::MessageCapture messages;
        form.TreeView1->setCurrentItem(form.TreeView1->topLevelItem(0));
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        form.ProgressBar1->SetValue(1);

        QTreeWidgetItem *desktop = form.TreeView1->topLevelItem(1);
        QCOMPARE(desktop->text(0), home.desktop());
        form.TreeView1->setCurrentItem(desktop);
        QCOMPARE(desktop->childCount(), 0);
        QCOMPARE(form.Thumbnails1->Files(), QStringList{home.pictures() + "/p.jpg"});
        QCOMPARE(form.Label1->text(), u" 1 files"_s);
        QCOMPARE(form.ProgressBar1->Value(), 1);
        QVERIFY(!form.Thumbnails1->IsLoading());
        QCOMPARE(form.Thumbnails1->Count(), 1);
        QVERIFY(copyEntriesEnabled(form, false));
        QVERIFY(messages.messages.isEmpty());
    }

    void newSelectionScrollsBackToTop()
    {
        testing::TempHome home;
        for (int i = 0; i < 40; ++i)
            QVERIFY(testing::makePicture(home.pictures() + u"/p%1.png"_s.arg(i), 100, 100));
        QVERIFY(testing::makePicture(home.desktop() + "/d.png", 100, 100));
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QScrollBar *bar = form.FramedVertScrollBox1->verticalScrollBar();
        QTreeWidgetItem *pictures = form.TreeView1->topLevelItem(0);
        for (QTreeWidgetItem *next : {form.TreeView1->topLevelItem(1), form.TreeView1->topLevelItem(2)}) {
            form.TreeView1->setCurrentItem(pictures);
            QVERIFY(testing::waitForLoad(form.Thumbnails1));
            QTRY_VERIFY(bar->maximum() > 200); // the rows have grown the view
            bar->setValue(bar->maximum());
            QVERIFY(bar->value() > 0);
            form.TreeView1->setCurrentItem(next);
            QCOMPARE(bar->value(), 0);
            QVERIFY(testing::waitForLoad(form.Thumbnails1));
        }
    }

    void progressBarStartsAtZeroOfTheCount()
    {
        testing::TempHome home;
        for (int i = 0; i < 3; ++i)
            QVERIFY(testing::makePicture(home.pictures() + u"/p%1.png"_s.arg(i), 20, 20));
        TForm1 form;
        form.ProgressBar1->SetMax(100);
        form.ProgressBar1->SetValue(40);
        form.TreeView1->setCurrentItem(form.TreeView1->topLevelItem(0));
        QCOMPARE(form.ProgressBar1->Value(), 0);
        QCOMPARE(form.ProgressBar1->Max(), 3);
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(form.ProgressBar1->Max(), 3);

        form.ProgressBar1->SetValue(2);
        form.TreeView1->setCurrentItem(form.TreeView1->topLevelItem(1)); // empty
        QCOMPARE(form.ProgressBar1->Value(), 0);
        QCOMPARE(form.ProgressBar1->Max(), 0);
    }
};

FOTRA_TEST_MAIN(TestFolderTree)
#include "tst_folder_tree.moc"
