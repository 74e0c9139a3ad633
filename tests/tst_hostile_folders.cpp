// The real window on a folder tree made to hurt: no permissions, link loops,
// broken links, special files with picture names, names that are not UTF-8,
// paths near PATH_MAX, folders and files that change under a load, and very
// large folders. Nothing may crash, hang, block or show a wrong picture.
#include "HandMadePictures.h"
#include "TestSupport.h"
#include "CaptionLabel.h"
#include "Thumbnails.h"
#include "Unit1.h"
#include "listing.h"
#include "native_path.h"

#include <QDir>
#include <QTimer>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

using namespace testing;

namespace {

// Root passes every permission check through two capabilities. Without them
// in the effective set, root is held to the mode bits like any user, so the
// no-access cases mean the same when the suite runs as root (as in CI).
bool dropPermissionOverride()
{
    if (::geteuid() != 0)
        return true;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
        data[cap / 32].effective &= ~(1u << (cap % 32));
    return ::syscall(SYS_capset, &header, data) == 0;
}

bool writeNative(const std::string &path, const QByteArray &bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && ok;
}

QByteArray png(int w, int h, QColor color = QColor(40, 140, 200))
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    return encodedPicture(image, "png");
}

QString q(const std::string &native) { return platform::pathFromNative(native); }

const std::string kLatin1Folder = "dir-caf\xe9";
const std::string kShiftJisFolder = "\x83\x74\x83\x48\x83\x8b\x83\x5f"; // フォルダ
const std::vector<std::string> kOddNames = {
    "with space.png", "quote'single.png", "quote\"double.png", "new\nline.png", "日本語.png",
    "emoji-😀.png", "caf\xe9.png", "\x93\xfa\x96\x7b.png", // Latin-1 é; Shift-JIS 日本
};

} // namespace

class TestHostileFolders : public QObject {
    Q_OBJECT

    std::unique_ptr<TempHome> FHome;
    std::unique_ptr<TForm1> FForm;
    std::string FRoot; // the hostile tree, as bytes
    bool FPermissionsBite = false;
    std::vector<std::string> FLongChain; // folder names from "long" down
    std::vector<std::string> FLocked;    // paths made unreadable, to restore

    std::string at(const std::string &rel) const { return FRoot + "/" + rel; }
    bool mk(const std::string &rel) { return ::mkdir(at(rel).c_str(), 0755) == 0; }
    bool pic(const std::string &rel, int w = 40, int h = 30) { return writeNative(at(rel), png(w, h)); }
    bool link(const std::string &target, const std::string &rel) { return ::symlink(target.c_str(), at(rel).c_str()) == 0; }
    void lock(const std::string &rel, mode_t mode)
    {
        ::chmod(at(rel).c_str(), mode);
        FLocked.push_back(at(rel));
    }

    QTreeWidgetItem *rootItem() const { return FForm->TreeView1->topLevelItem(0); }

    static QTreeWidgetItem *childByName(QTreeWidgetItem *item, const QString &name)
    {
        for (int i = 0; i < item->childCount(); ++i)
            if (platform::lastComponent(TForm1::Tag(item->child(i))) == name)
                return item->child(i);
        return nullptr;
    }

    // Selects Pictures, then "hostile", then each of `names`, as a user would
    // click down the tree, waiting for each load.
    QTreeWidgetItem *selectDown(const QStringList &names)
    {
        QTreeWidgetItem *item = rootItem();
        FForm->TreeView1->setCurrentItem(item);
        for (const QString &name : QStringList{QStringLiteral("hostile")} + names) {
            if (!waitForLoad(FForm->Thumbnails1, 120000))
                return nullptr;
            item = childByName(item, name);
            if (!item)
                return nullptr;
            FForm->TreeView1->setCurrentItem(item);
        }
        return waitForLoad(FForm->Thumbnails1, 300000) ? item : nullptr;
    }

    // The view holds exactly the selected folder's picture items, in order.
    static void checkViewMatchesTree(TForm1 &form, QTreeWidgetItem *folder)
    {
        QStringList pictures;
        for (int i = 0; i < folder->childCount(); ++i)
            if (TForm1::IsImageFile(folder->child(i)->text(0)) && folder->child(i)->childCount() == 0 &&
                !TForm1::Tag(folder->child(i)).isEmpty() && !platform::isDirectory(TForm1::Tag(folder->child(i))))
                pictures << TForm1::Tag(folder->child(i));
        QCOMPARE(form.Thumbnails1->Files(), pictures);
        QCOMPARE(form.Thumbnails1->Count(), int(pictures.size()));
        QCOMPARE(form.Label1->text(), QStringLiteral(" %1 files").arg(pictures.size()));
    }

private Q_SLOTS:
    void initTestCase()
    {
        FHome = std::make_unique<TempHome>();
        FRoot = platform::nativeFromPath(FHome->pictures()) + "/hostile";
        QVERIFY(::mkdir(FRoot.c_str(), 0755) == 0);

        QVERIFY(mk("no-access") && pic("no-access/hidden.png"));
        lock("no-access", 0);
        QVERIFY(mk("locked-subs") && mk("locked-subs/sub1") && mk("locked-subs/sub2") && pic("locked-subs/sub1/x.png") &&
                pic("locked-subs/sub2/y.png") && pic("locked-subs/ok.png") && pic("locked-subs/secret.png"));
        lock("locked-subs/sub1", 0);
        lock("locked-subs/sub2", 0311); // can be entered, not listed
        lock("locked-subs/secret.png", 0);
        // Probe whether the mode bits bite for this process at all.
        const int probe = ::open(at("no-access").c_str(), O_RDONLY | O_DIRECTORY);
        FPermissionsBite = probe < 0;
        if (probe >= 0)
            ::close(probe);

        QVERIFY(mk("loops") && link(".", "loops/self") && link("b.png", "loops/a.png") && link("a.png", "loops/b.png") &&
                pic("loops/pic.png"));
        QVERIFY(mk("real") && pic("real/pic.png", 60, 40));
        QVERIFY(mk("links") && link("../real/pic.png", "links/to-file.png") && link("../real", "links/to-folder") &&
                link("../nowhere.png", "links/broken.png") && link("../nowhere", "links/broken-folder"));

        QVERIFY(mk("names") && mk("names/" + kLatin1Folder) && mk("names/" + kShiftJisFolder));
        for (const std::string &name : kOddNames)
            QVERIFY2(pic("names/" + name), name.c_str());
        QVERIFY(pic("names/" + kLatin1Folder + "/inside.png", 50, 20) && pic("names/" + kShiftJisFolder + "/inside.png", 20, 50));

        // Nested folders until the path is close to PATH_MAX, a picture at
        // the bottom whose full path still fits, and one folder beyond it.
        QVERIFY(mk("long"));
        constexpr size_t kDeepFolder = 3900;
        std::string path = at("long");
        for (int i = 0; path.size() < kDeepFolder; ++i) {
            const std::string number = std::to_string(i);
            const size_t length = std::min<size_t>(200, kDeepFolder - path.size() - 1);
            const std::string name = number + std::string(length > number.size() ? length - number.size() : 0, 'x');
            path += "/" + name;
            QVERIFY(::mkdir(path.c_str(), 0755) == 0);
            FLongChain.push_back(name);
        }
        const std::string deepName = std::string(PATH_MAX - 2 - path.size() - 1 - 4, 'p') + ".png";
        QVERIFY(writeNative(path + "/" + deepName, png(30, 20)));
        QCOMPARE(int((path + "/" + deepName).size()), PATH_MAX - 2);
        const int deepFd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
        QVERIFY(deepFd >= 0);
        QVERIFY(::mkdirat(deepFd, std::string(250, 'b').c_str(), 0755) == 0);
        ::close(deepFd);

        QVERIFY(mk("special") && ::mkfifo(at("special/fifo.png").c_str(), 0644) == 0 && link("/dev/null", "special/null.png") &&
                link("/dev/zero", "special/zero.jpg") && mk("special/folder.png") && pic("special/folder.png/in.png") &&
                pic("special/real.png"));

        QVERIFY(mk("vanish") && mk("vanish/gone") && pic("vanish/gone/a.png") && mk("vanish/becomes-file") && pic("vanish/keep.png"));

        QVERIFY(mk("many-files"));
        const QByteArray small = png(120, 90); // photo-like: thumbnails at full size
        for (int i = 0; i < 20000; ++i)
            QVERIFY(writeNative(at("many-files/p" + std::to_string(i) + ".png"), small));
        QVERIFY(mk("many-folders"));
        for (int i = 0; i < 2000; ++i)
            QVERIFY(mk("many-folders/f" + std::to_string(i)) && writeNative(at("many-folders/f" + std::to_string(i) + "/a.png"), small));

        FForm = std::make_unique<TForm1>();
        FForm->show();
    }

    void cleanupTestCase()
    {
        FForm.reset();
        for (const std::string &p : FLocked)
            ::chmod(p.c_str(), 0755);
        FHome.reset();
    }

    // Each folder of the tree, selected: what its branch lists, which of its
    // pictures get a thumbnail and which an empty entry; never a message box.
    void selectingEachFolder_data()
    {
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<bool>("needsPermissions");
        QTest::addColumn<QStringList>("children");
        QTest::addColumn<QStringList>("thumbnails");
        QTest::addColumn<QStringList>("empty");
        const QString none = TForm1::NoImageFiles;
        QTest::newRow("no read permission") << QStringList{"no-access"} << true << QStringList{none} << QStringList{} << QStringList{};
        QTest::newRow("unreadable subfolders and file")
            << QStringList{"locked-subs"} << true << QStringList{"sub1", "sub2", "ok.png", "secret.png"} << QStringList{"ok.png"}
            << QStringList{"secret.png"};
        QTest::newRow("symlink loops") << QStringList{"loops"} << false << QStringList{"self", "a.png", "b.png", "pic.png"}
                                       << QStringList{"pic.png"} << QStringList{"a.png", "b.png"};
        QTest::newRow("loop followed twice") << QStringList{"loops", "self", "self"} << false
                                             << QStringList{"self", "a.png", "b.png", "pic.png"} << QStringList{"pic.png"}
                                             << QStringList{"a.png", "b.png"};
        QTest::newRow("links to file and folder, broken links")
            << QStringList{"links"} << false << QStringList{"to-folder", "to-file.png", "broken.png"} << QStringList{"to-file.png"}
            << QStringList{"broken.png"};
        QStringList odd;
        for (const std::string &n : kOddNames)
            odd << platform::displayText(q(n));
        QTest::newRow("odd names") << QStringList{"names"} << false
                                   << (QStringList{platform::displayText(q(kLatin1Folder)), platform::displayText(q(kShiftJisFolder))} + odd)
                                   << odd << QStringList{};
        QTest::newRow("Latin-1 folder") << QStringList{"names", q(kLatin1Folder)} << false << QStringList{"inside.png"}
                                        << QStringList{"inside.png"} << QStringList{};
        QTest::newRow("Shift-JIS folder") << QStringList{"names", q(kShiftJisFolder)} << false << QStringList{"inside.png"}
                                          << QStringList{"inside.png"} << QStringList{};
        QTest::newRow("FIFO, devices, folder named .png")
            << QStringList{"special"} << false << QStringList{"folder.png", "fifo.png", "null.png", "zero.jpg", "real.png"}
            << QStringList{"real.png"} << QStringList{"fifo.png", "null.png", "zero.jpg"};
        QTest::newRow("inside the folder named .png") << QStringList{"special", "folder.png"} << false << QStringList{"in.png"}
                                                      << QStringList{"in.png"} << QStringList{};
    }

    void selectingEachFolder()
    {
        QFETCH(QStringList, path);
        QFETCH(bool, needsPermissions);
        QFETCH(QStringList, children);
        QFETCH(QStringList, thumbnails);
        QFETCH(QStringList, empty);
        if (needsPermissions && !FPermissionsBite)
            QSKIP("mode bits do not restrict this process (root that cannot drop CAP_DAC_OVERRIDE)");
        MessageCapture capture;
        QTreeWidgetItem *folder = selectDown(path);
        QVERIFY(folder);
        QVERIFY(folder->isExpanded());
        QStringList got;
        for (int i = 0; i < folder->childCount(); ++i)
            got << folder->child(i)->text(0);
        QCOMPARE(std::multiset<QString>(got.begin(), got.end()), std::multiset<QString>(children.begin(), children.end()));
        checkViewMatchesTree(*FForm, folder);
        TThumbnails *view = FForm->Thumbnails1;
        for (int i = 0; i < view->Count(); ++i) {
            const QString name = platform::displayText(platform::lastComponent(view->Files()[i]));
            if (thumbnails.contains(name)) {
                QVERIFY2(view->Bitmap(i), qPrintable(name));
                QCOMPARE(view->Caption(i)->text(), name);
            } else {
                QVERIFY2(empty.contains(name), qPrintable(name));
                QVERIFY2(!view->Bitmap(i), qPrintable(name));
            }
        }
        QCOMPARE(int(view->Files().size()), int(thumbnails.size() + empty.size()));
        QVERIFY2(capture.messages.isEmpty(), qPrintable(capture.messages.value(0).text));
    }

    void unreadableSubfolderGetsPlaceholder()
    {
        if (!FPermissionsBite)
            QSKIP("mode bits do not restrict this process (root that cannot drop CAP_DAC_OVERRIDE)");
        QTreeWidgetItem *folder = selectDown({"locked-subs"});
        QVERIFY(folder);
        for (const char *sub : {"sub1", "sub2"}) {
            QTreeWidgetItem *item = childByName(folder, QString::fromLatin1(sub));
            QVERIFY(item);
            QCOMPARE(item->childCount(), 1);
            QCOMPARE(item->child(0)->text(0), TForm1::NoImageFiles);
        }
    }

    void pathNearPathMax()
    {
        MessageCapture capture;
        QStringList names{"long"};
        for (const std::string &n : FLongChain)
            names << q(n);
        QTreeWidgetItem *deepest = selectDown(names);
        QVERIFY(deepest);
        QCOMPARE(FForm->Thumbnails1->Count(), 1);
        QVERIFY(FForm->Thumbnails1->Bitmap(0));
        QCOMPARE(FForm->Thumbnails1->Bitmap(0)->size(), QSize(30, 20));
        QCOMPARE(int(platform::nativeFromPath(FForm->Thumbnails1->Files()[0]).size()), PATH_MAX - 2);
        // The folder below has a path longer than PATH_MAX: it shows, but
        // selecting it cannot list it; nothing breaks and the view stays.
        QTreeWidgetItem *beyond = childByName(deepest, QString(250, u'b'));
        QVERIFY(beyond);
        FForm->TreeView1->setCurrentItem(beyond);
        QVERIFY(waitForLoad(FForm->Thumbnails1));
        QCOMPARE(FForm->Thumbnails1->Count(), 1);
        QVERIFY(capture.messages.isEmpty());
    }

    // A folder that disappears, or turns into a file, after its parent listed
    // it: selecting it does nothing; nothing is shown.
    void folderVanishesBeforeItsSelection()
    {
        MessageCapture capture;
        QTreeWidgetItem *parent = selectDown({"vanish"});
        QVERIFY(parent);
        QCOMPARE(FForm->Thumbnails1->Count(), 1);
        std::filesystem::remove_all(at("vanish/gone"));
        QVERIFY(::rmdir(at("vanish/becomes-file").c_str()) == 0 && pic("vanish/becomes-file"));
        for (const char *name : {"gone", "becomes-file"}) {
            QTreeWidgetItem *item = childByName(parent, QString::fromLatin1(name));
            QVERIFY(item);
            FForm->TreeView1->setCurrentItem(item);
            QVERIFY(waitForLoad(FForm->Thumbnails1));
            QCOMPARE(FForm->Thumbnails1->Count(), 1);
            QCOMPARE(FForm->Label1->text(), QStringLiteral(" 1 files"));
        }
        QVERIFY(capture.messages.isEmpty());
    }

    // Files deleted, rewritten in place or replaced while their folder loads:
    // each entry is the old picture, the new one, or empty, never anything else.
    void filesChangeDuringLoad()
    {
        QVERIFY(mk("churn"));
        constexpr int n = 120;
        for (int i = 0; i < n; ++i)
            QVERIFY(pic("churn/c" + std::to_string(i) + ".png", 40, 30));
        QTreeWidgetItem *hostile = selectDown({});
        QVERIFY(hostile);
        QTreeWidgetItem *churn = childByName(hostile, "churn");
        QVERIFY(churn);
        FForm->TreeView1->setCurrentItem(churn);
        for (int i = 0; i < n; ++i) {
            const std::string p = at("churn/c" + std::to_string(i) + ".png");
            switch (i % 4) {
            case 0: ::unlink(p.c_str()); break;
            case 1: writeNative(p, png(50, 10)); break;                       // rewritten in place
            case 2: writeNative(p + ".new", png(10, 50)); ::rename((p + ".new").c_str(), p.c_str()); break;
            default: break;
            }
        }
        QVERIFY(waitForLoad(FForm->Thumbnails1));
        TThumbnails *view = FForm->Thumbnails1;
        QCOMPARE(view->Count(), n);
        for (int i = 0; i < n; ++i) {
            const QImage *bmp = view->Bitmap(i);
            const int k = int(QString(platform::lastComponent(view->Files()[i])).mid(1).split(u'.').first().toInt());
            std::set<std::pair<int, int>> allowed{{40, 30}};
            if (k % 4 == 1)
                allowed.insert({50, 10});
            if (k % 4 == 2)
                allowed.insert({10, 50});
            if (bmp)
                QVERIFY2(allowed.count({bmp->width(), bmp->height()}), qPrintable(view->Files()[i]));
            else // renamed over and untouched files are whole at every moment
                QVERIFY2(k % 4 == 0 || k % 4 == 1, qPrintable(view->Files()[i]));
        }
    }

    // A very large folder and one with very many subfolders: the selection
    // completes, every picture arrives in order, and the event loop keeps
    // running while the load goes on.
    void veryLargeFolders_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("subfolders");
        QTest::addColumn<int>("pictures");
        QTest::newRow("20,000 pictures") << QStringLiteral("many-files") << 0 << 20000;
        QTest::newRow("2,000 subfolders") << QStringLiteral("many-folders") << 2000 << 0;
    }

    void veryLargeFolders()
    {
        QFETCH(QString, folder);
        QFETCH(int, subfolders);
        QFETCH(int, pictures);
        QTreeWidgetItem *item = selectDown({});
        QVERIFY(item);
        item = childByName(item, folder);
        QVERIFY(item);
        int ticksWhileLoading = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ticksWhileLoading += FForm->Thumbnails1->IsLoading() ? 1 : 0; });
        ticker.start(1);
        FForm->TreeView1->setCurrentItem(item);
        QVERIFY(waitForLoad(FForm->Thumbnails1, 600000));
        ticker.stop();
        QCOMPARE(item->childCount(), subfolders + pictures);
        TThumbnails *view = FForm->Thumbnails1;
        QCOMPARE(view->Count(), pictures);
        checkViewMatchesTree(*FForm, item);
        for (int i = 0; i < view->Count(); ++i)
            QVERIFY(view->Bitmap(i) && view->Caption(i)->text() == platform::lastComponent(view->Files()[i]));
        for (int i = 0; i < subfolders; ++i)
            QCOMPARE(item->child(i)->childCount(), 1);
        if (pictures > 0)
            QVERIFY(ticksWhileLoading > 0);
    }

    // The copy command on a FIFO or a device with a picture name reports the
    // loader's error at once instead of blocking on it.
    void copyOfSpecialFileDoesNotBlock_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("FIFO") << QStringLiteral("fifo.png");
        QTest::newRow("/dev/zero") << QStringLiteral("zero.jpg");
        QTest::newRow("/dev/null") << QStringLiteral("null.png");
    }

    void copyOfSpecialFileDoesNotBlock()
    {
        QFETCH(QString, name);
        QTreeWidgetItem *folder = selectDown({"special"});
        QVERIFY(folder);
        QTreeWidgetItem *item = childByName(folder, name);
        QVERIFY(item);
        FForm->TreeView1->setCurrentItem(item);
        MessageCapture capture;
        FForm->Action2Execute();
        QCOMPARE(capture.messages.size(), 1);
        QCOMPARE(capture.messages[0].title, QStringLiteral("エラー"));
        QVERIFY2(capture.messages[0].text.startsWith(QStringLiteral("ファイル ")), qPrintable(capture.messages[0].text));
        QVERIFY(FForm->Label2->isHidden());
    }
};

int main(int argc, char **argv)
{
    // Before any thread exists, so that every thread of the process inherits it.
    dropPermissionOverride();
    QApplication app(argc, argv);
    initTestApplication(app);
    TestHostileFolders tc;
    QTEST_SET_MAIN_SOURCE_PATH
    const int rc = QTest::qExec(&tc, argc, argv);
    finishTestApplication();
    return rc;
}

#include "tst_hostile_folders.moc"
