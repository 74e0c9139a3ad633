// The window as it starts: title, size, controls, menus, actions and roots.
#include "TestSupport.h"
#include "Thumbnails.h"
#include "Unit1.h"

#include <QMenuBar>
#include <QSlider>
#include <QStatusBar>

class TestWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startsWithFourRootsInOrder()
    {
        testing::TempHome home;
        TForm1 form;
        QCOMPARE(form.TreeView1->topLevelItemCount(), 4);
        const QStringList expected{home.pictures(), home.desktop(), home.documents(), home.downloads()};
        for (int i = 0; i < 4; ++i) {
            QTreeWidgetItem *root = form.TreeView1->topLevelItem(i);
            QCOMPARE(root->text(0), expected[i]);
            QCOMPARE(TForm1::Tag(root), expected[i]);
            QCOMPARE(root->childCount(), 0);
        }
        QVERIFY(form.TreeView1->selectedItems().isEmpty());
        QCOMPARE(form.Thumbnails1->Count(), 0);
        QVERIFY(!form.MenuItem6->isEnabled());
        QVERIFY(!form.MenuItem2->isEnabled());
    }

    void titleSizeAndStoredProperties()
    {
        testing::TempHome home;
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.windowTitle(), QStringLiteral("Fotra Viewer  v1.4.0"));
        QCOMPARE(form.centralWidget()->height() + form.StatusBar1->height(), 673);
        QCOMPARE(form.centralWidget()->width(), 1046);
        QCOMPARE(form.TreeView1->width(), 297);
        QCOMPARE(form.StatusBar1->height(), 22);
        QCOMPARE(form.Panel1->height(), 120);
        QCOMPARE(form.FramedVertScrollBox1->height(), 531);
        QCOMPARE(form.Thumbnails1->MinHeight(), 531.0f);
        QCOMPARE(form.Thumbnails1->ThumbnailSize(), 100);
        QCOMPARE(form.Thumbnails1->InnerMargin(), 10);
        QVERIFY(form.Thumbnails1->AutoSize());
        QCOMPARE(form.TrackBar1->minimum(), 0);
        QCOMPARE(form.TrackBar1->maximum(), 5);
        QCOMPARE(form.TrackBar1->value(), 0); // slider and thumbnails agree from the start
        QCOMPARE(form.Label1->text(), QString());
        QCOMPARE(form.ProgressBar1->Value(), 0);
        QCOMPARE(form.ProgressBar1->Max(), 100);
        QVERIFY(form.Label2->isHidden());
        QCOMPARE(form.Label2->text(), QStringLiteral("クリップボードにコピーされました"));
    }

    void menusAndActions()
    {
        testing::TempHome home;
        TForm1 form;
        const QList<QAction *> top = form.MainMenu1->actions();
        QCOMPARE(top.size(), 2);
        QCOMPARE(top[0]->text(), QStringLiteral("ファイル"));
        QCOMPARE(top[1]->text(), QStringLiteral("アイテム"));
        const QList<QAction *> file = form.MenuItem3->actions();
        QCOMPARE(file.size(), 1);
        QCOMPARE(file[0]->text(), QStringLiteral("Fotra を終了"));
        const QStringList items{QStringLiteral("全て折りたたむ"), QStringLiteral("クリップボードにコピー"),
                                QStringLiteral("ビューアで開く")};
        for (QMenu *menu : {form.MenuItem4, form.PopupMenu1}) {
            const QList<QAction *> entries = menu->actions();
            QCOMPARE(entries.size(), 3);
            for (int i = 0; i < 3; ++i)
                QCOMPARE(entries[i]->text(), items[i]);
            QVERIFY(entries[0]->isEnabled());
            QVERIFY(!entries[1]->isEnabled());
            QVERIFY(entries[2]->isEnabled());
        }
        // The actions stay enabled; only the entries carry the copy state.
        QVERIFY(form.Action2->isEnabled());
        QVERIFY(!form.FileHideAppOthers1->isVisible());
        QVERIFY(!form.FileHideAppOthers1->isEnabled());
        QCOMPARE(form.FileExit1->property("hint").toString(), QStringLiteral("終了|アプリケーションを終了します"));
        QCOMPARE(form.FileHideAppOthers1->property("hint").toString(),
                 QStringLiteral("他を非表示|他のすべてのアプリケーションを非表示にします"));
        for (QAction *a : {form.Action1, form.Action2, form.Action3})
            QCOMPARE(a->property("category").toString(), QStringLiteral("アイテム"));
        for (QAction *a : {form.Action1, form.Action2, form.Action3})
            QVERIFY(a->shortcut().isEmpty());
    }
};

FOTRA_TEST_MAIN(TestWindow)
#include "tst_window.moc"
