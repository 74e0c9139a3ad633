// The program as a desktop citizen: its name and icon, the system font, and
// the first start on an account whose standard folders do not exist yet.
#include "Application.h"
#include "CaptionLabel.h"
#include "TestSupport.h"
#include "Thumbnails.h"
#include "Unit1.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFontDatabase>
#include <QIcon>
#include <QStandardPaths>
#include <QStatusBar>

namespace {

// HOME pointed at a folder of the test's choosing, XDG_CONFIG_HOME unset, as
// on an account that has never run a desktop session.
class TFreshHome {
public:
    explicit TFreshHome(const QString &home)
        : FOldHome(qgetenv("HOME")), FOldConfig(qgetenv("XDG_CONFIG_HOME")),
          FHadConfig(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
    {
        qputenv("HOME", QFile::encodeName(home));
        qunsetenv("XDG_CONFIG_HOME");
    }
    ~TFreshHome()
    {
        qputenv("HOME", FOldHome);
        if (FHadConfig)
            qputenv("XDG_CONFIG_HOME", FOldConfig);
    }

private:
    QByteArray FOldHome, FOldConfig;
    bool FHadConfig;
};

QStringList EntriesBelow(const QString &dir)
{
    QStringList entries;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << it.next();
    return entries;
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nameAndIcon()
    {
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Fotra"));
        QCOMPARE(QCoreApplication::organizationName(), QString());
        QCOMPARE(QCoreApplication::organizationDomain(), QString());
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("fotra"));

        testing::TempHome home;
        TForm1 form;
        const QIcon icon = form.windowIcon();
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.cacheKey(), QApplication::windowIcon().cacheKey());
        // The same picture as the one installed for the menu entry.
        const QImage shipped(QStringLiteral(":/fotra/icons/fotra-48.png"));
        QVERIFY(!shipped.isNull());
        // Pixmaps hold premultiplied pixels: compare in that form.
        QCOMPARE(icon.pixmap(QSize(48, 48), 1.0).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 shipped.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }

    void followsTheSystemFont()
    {
        // The style sets colours and shapes only, never a font.
        QVERIFY(!qApp->styleSheet().contains(QStringLiteral("font"), Qt::CaseInsensitive));

        const QFont previous = QApplication::font();
        const QStringList families = QFontDatabase::families();
        QVERIFY(!families.isEmpty());
        // A family other than the default one, at an unusual size.
        QString family = families.first();
        for (const QString &f : families)
            if (f != previous.family()) {
                family = f;
                break;
            }
        QFont system(family);
        system.setPointSize(19);
        QApplication::setFont(system);

        testing::TempHome home;
        QVERIFY(testing::makePicture(home.pictures() + "/a.png", 120, 90));
        {
            TForm1 form;
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            form.TreeView1->setCurrentItem(form.TreeView1->topLevelItem(0));
            QVERIFY(testing::waitForLoad(form.Thumbnails1));
            QCOMPARE(form.Thumbnails1->Count(), 1);
            const QList<QWidget *> widgets{form.TreeView1, form.Label1, form.Label2, form.MainMenu1,
                                           form.PopupMenu1, form.StatusBar1, form.Thumbnails1->Caption(0)};
            for (QWidget *w : widgets) {
                QCOMPARE(w->font().family(), family);
                QCOMPARE(w->font().pointSize(), 19);
            }
        }
        QApplication::setFont(previous);
    }

    void firstRunWithoutStandardFolders_data()
    {
        QTest::addColumn<QString>("userDirs"); // contents of ~/.config/user-dirs.dirs, empty for none
        QTest::addColumn<bool>("homeExists");

        QTest::newRow("empty home") << QString() << true;
        QTest::newRow("user dirs naming missing folders")
            << QStringLiteral("XDG_PICTURES_DIR=\"$HOME/Bilder\"\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                              "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n")
            << true;
        QTest::newRow("home not made yet") << QString() << false;
    }

    void firstRunWithoutStandardFolders()
    {
        QFETCH(QString, userDirs);
        QFETCH(bool, homeExists);
        QTemporaryDir base;
        QVERIFY(base.isValid());
        const QString homePath = base.path() + "/home";
        if (homeExists)
            QVERIFY(QDir().mkpath(homePath));
        if (!userDirs.isEmpty())
            QVERIFY(testing::writeFile(homePath + "/.config/user-dirs.dirs", userDirs.toUtf8()));
        const QStringList before = EntriesBelow(base.path());

        TFreshHome fresh(homePath);
        testing::MessageCapture messages;
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        // The roots are what the system reports, folders that exist or not.
        const QStringList reported{
            QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
            QStandardPaths::writableLocation(QStandardPaths::DesktopLocation),
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
            QStandardPaths::writableLocation(QStandardPaths::DownloadLocation),
        };
        QCOMPARE(form.TreeView1->topLevelItemCount(), 4);
        for (int i = 0; i < 4; ++i) {
            QVERIFY(reported[i].startsWith(homePath));
            QVERIFY(!QFileInfo::exists(reported[i]));
            QCOMPARE(form.TreeView1->topLevelItem(i)->text(0), reported[i]);
        }

        // Selecting a missing one does nothing at all.
        for (int i = 0; i < 4; ++i) {
            QTreeWidgetItem *root = form.TreeView1->topLevelItem(i);
            form.TreeView1->setCurrentItem(root);
            QCOMPARE(root->childCount(), 0);
            QVERIFY(form.Thumbnails1->Files().isEmpty());
            QCOMPARE(form.Label1->text(), QString());
            QCOMPARE(form.ProgressBar1->Max(), 100);
        }
        QVERIFY(messages.messages.isEmpty());

        // Nothing was written on the way.
        QCoreApplication::processEvents();
        QCOMPARE(EntriesBelow(base.path()), before);

        // Once the folder exists, selecting it again fills it.
        QVERIFY(testing::makePicture(reported[0] + "/first.png", 64, 48));
        form.TreeView1->setCurrentItem(form.TreeView1->topLevelItem(1));
        form.TreeView1->setCurrentItem(form.TreeView1->topLevelItem(0));
        QCOMPARE(form.Label1->text(), QStringLiteral(" 1 files"));
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(form.Thumbnails1->Count(), 1);
        QVERIFY(messages.messages.isEmpty());
    }
};

FOTRA_TEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
