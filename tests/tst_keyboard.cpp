// The window without a mouse: Tab between the three areas, the tree's arrow
// keys, its context menu from the keyboard, and the scroll keys of the
// thumbnail area.
#include "TestSupport.h"
#include "Thumbnails.h"
#include "Unit1.h"
#include "shell.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QScrollBar>
#include <QSlider>

namespace {

// A shown, active window on a home whose Pictures holds `pictures` pictures
// of 100 x 100 and one subfolder.
struct TShownForm {
    explicit TShownForm(int pictures = 3)
    {
        testing::makeFolder(home.pictures() + "/sub");
        for (int i = 0; i < pictures; ++i)
            testing::makePicture(home.pictures() + QStringLiteral("/p%1.png").arg(i, 2, 10, QLatin1Char('0')), 100,
                                 100);
        form = std::make_unique<TForm1>();
        form->show();
        form->activateWindow();
    }
    bool ready() { return QTest::qWaitForWindowActive(form.get()); }

    testing::TempHome home;
    testing::MessageCapture messages;
    std::unique_ptr<TForm1> form;
};

// What the platform does with the context-menu key: a keyboard context menu
// event for the focus widget, at its input cursor (an item view's current item).
void pressContextMenuKey(QWidget *window)
{
    QWidget *focus = window->focusWidget();
    QVERIFY(focus);
    const QPoint pos = focus->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
    QContextMenuEvent event(QContextMenuEvent::Keyboard, pos, focus->mapToGlobal(pos));
    QCoreApplication::sendEvent(focus, &event);
}

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tabMovesBetweenTreeThumbnailsAndSlider()
    {
        TShownForm f;
        QVERIFY(f.ready());
        TForm1 &form = *f.form;
        form.TreeView1->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(form.TreeView1->hasFocus());
        const QList<QWidget *> order{form.FramedVertScrollBox1, form.TrackBar1, form.TreeView1};
        for (QWidget *next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        for (QWidget *previous : QList<QWidget *>{form.TrackBar1, form.FramedVertScrollBox1, form.TreeView1}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
            QCOMPARE(QApplication::focusWidget(), previous);
        }
        QVERIFY(f.messages.messages.isEmpty());
    }

    void arrowKeysOnTheSliderSetTheThumbnailSize()
    {
        TShownForm f;
        QVERIFY(f.ready());
        TForm1 &form = *f.form;
        form.TrackBar1->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(form.TrackBar1->hasFocus());
        QTest::keyClick(form.TrackBar1, Qt::Key_Right);
        QCOMPARE(form.TrackBar1->value(), 1);
        QCOMPARE(form.Thumbnails1->ThumbnailSize(), 150);
        QTest::keyClick(form.TrackBar1, Qt::Key_End);
        QCOMPARE(form.Thumbnails1->ThumbnailSize(), 350);
        QTest::keyClick(form.TrackBar1, Qt::Key_Left);
        QCOMPARE(form.Thumbnails1->ThumbnailSize(), 300);
    }

    void arrowKeysInTheTreeSelectAndLoad()
    {
        TShownForm f;
        QVERIFY(f.ready());
        TForm1 &form = *f.form;
        QTreeWidget *tree = form.TreeView1;
        tree->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(tree->hasFocus());

        // Tab focus makes the first root current without selecting it; Down
        // selects the next one and Home goes back, each loading like a click.
        QTreeWidgetItem *pictures = tree->topLevelItem(0);
        QCOMPARE(tree->currentItem(), pictures);
        QVERIFY(tree->selectedItems().isEmpty());
        QCOMPARE(form.Label1->text(), QString());
        QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(tree->currentItem(), tree->topLevelItem(1));
        QVERIFY(tree->topLevelItem(1)->isSelected());
        QCOMPARE(form.Label1->text(), QStringLiteral(" 0 files"));
        QTest::keyClick(tree, Qt::Key_Home);
        QCOMPARE(tree->currentItem(), pictures);
        QVERIFY(pictures->isSelected());
        QCOMPARE(form.Label1->text(), QStringLiteral(" 3 files"));
        QVERIFY(pictures->isExpanded());
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QCOMPARE(form.Thumbnails1->Count(), 3);

        // Down walks into the branch. Reaching the subfolder selects it, which
        // rebuilds and opens it: its placeholder comes next, then the picture.
        QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(tree->currentItem()->text(0), QStringLiteral("sub"));
        QCOMPARE(form.Label1->text(), QStringLiteral(" 0 files"));
        QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(tree->currentItem()->text(0), TForm1::NoImageFiles);
        QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(tree->currentItem()->text(0), QStringLiteral("p00.png"));
        QVERIFY(form.MenuItem6->isEnabled()); // a picture: copy is on
        QVERIFY(form.PopupMenu1->actions().at(1)->isEnabled());

        // Left goes to the parent, a second Left collapses it.
        QTest::keyClick(tree, Qt::Key_Left);
        QCOMPARE(tree->currentItem(), pictures);
        QVERIFY(!form.MenuItem6->isEnabled());
        QTest::keyClick(tree, Qt::Key_Left);
        QVERIFY(!pictures->isExpanded());

        // End reaches the last root, Downloads, which is empty.
        QTest::keyClick(tree, Qt::Key_End);
        QCOMPARE(tree->currentItem(), tree->topLevelItem(3));
        QCOMPARE(form.Label1->text(), QStringLiteral(" 0 files"));
        QVERIFY(f.messages.messages.isEmpty());
    }

    void contextMenuKeyOpensTheTreeMenu()
    {
        TShownForm f;
        QVERIFY(f.ready());
        TForm1 &form = *f.form;
        QTreeWidget *tree = form.TreeView1;
        tree->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(tree->hasFocus());
        QTest::keyClick(tree, Qt::Key_Space); // selects the current item, Pictures
        QCOMPARE(form.Label1->text(), QStringLiteral(" 3 files"));
        for (int i = 0; i < 3; ++i) // sub, its placeholder, p00.png
            QTest::keyClick(tree, Qt::Key_Down);
        QTreeWidgetItem *picture = tree->currentItem();
        QCOMPARE(picture->text(0), QStringLiteral("p00.png"));

        pressContextMenuKey(&form);
        QTRY_VERIFY(form.PopupMenu1->isVisible());
        // It opens at the current item, not wherever the pointer is.
        const QRect item = tree->visualItemRect(picture);
        QCOMPARE(form.PopupMenu1->pos(), tree->viewport()->mapToGlobal(item.center()));
        QVERIFY(form.PopupMenu1->actions().at(1)->isEnabled());

        // The menu is usable from the keyboard too: the third entry opens
        // the picture in the default viewer.
        QStringList opened;
        platform::setOpenHandler([&](const QString &path) { opened << path; });
        QMenu *menu = form.PopupMenu1;
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Down);
        QCOMPARE(menu->activeAction(), menu->actions().at(2));
        QTest::keyClick(menu, Qt::Key_Return);
        QTRY_VERIFY(!menu->isVisible());
        platform::setOpenHandler({});
        QCOMPARE(opened, QStringList{f.home.pictures() + "/p00.png"});

        // Escape closes it without running anything.
        pressContextMenuKey(&form);
        QTRY_VERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu->isVisible());
        QVERIFY(f.messages.messages.isEmpty());
    }

    void scrollKeysMoveTheThumbnailArea_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("where"); // top, bottom, page, line, between

        QTest::newRow("Page Down") << QList<int>{Qt::Key_PageDown} << "page";
        QTest::newRow("Page Down, Page Up") << QList<int>{Qt::Key_PageDown, Qt::Key_PageUp} << "top";
        QTest::newRow("End") << QList<int>{Qt::Key_End} << "bottom";
        QTest::newRow("End, Home") << QList<int>{Qt::Key_End, Qt::Key_Home} << "top";
        QTest::newRow("Down") << QList<int>{Qt::Key_Down} << "line";
        QTest::newRow("Down, Up") << QList<int>{Qt::Key_Down, Qt::Key_Up} << "top";
        QTest::newRow("End, Up") << QList<int>{Qt::Key_End, Qt::Key_Up} << "between";
    }

    void scrollKeysMoveTheThumbnailArea()
    {
        QFETCH(QList<int>, keys);
        QFETCH(QString, where);
        // 60 pictures of 100: six to a row, ten rows, 1110 high in a box of 531.
        TShownForm f(60);
        QVERIFY(f.ready());
        TForm1 &form = *f.form;
        form.TreeView1->setCurrentItem(form.TreeView1->topLevelItem(0));
        QVERIFY(testing::waitForLoad(form.Thumbnails1));
        QTRY_COMPARE(form.Thumbnails1->height(), 1110);
        QScrollBar *bar = form.FramedVertScrollBox1->verticalScrollBar();
        QTRY_COMPARE(bar->maximum(), 1110 - form.FramedVertScrollBox1->viewport()->height());

        // Tab from the tree reaches the area.
        form.TreeView1->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(form.TreeView1->hasFocus());
        QTest::keyClick(form.TreeView1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form.FramedVertScrollBox1);
        for (int key : keys)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));

        const int value = bar->value();
        if (where == "top")
            QCOMPARE(value, 0);
        else if (where == "bottom")
            QCOMPARE(value, bar->maximum());
        else if (where == "page")
            QCOMPARE(value, qMin(bar->pageStep(), bar->maximum()));
        else if (where == "line")
            QCOMPARE(value, bar->singleStep());
        else
            QCOMPARE(value, bar->maximum() - bar->singleStep());
        QVERIFY(value == 0 || bar->singleStep() > 0);
        // The keys scroll; they neither reload nor move the tree.
        QCOMPARE(form.Thumbnails1->Count(), 60);
        QCOMPARE(form.TreeView1->currentItem(), form.TreeView1->topLevelItem(0));
    }

    void clickingTheThumbnailsFocusesTheArea()
    {
        TShownForm f;
        QVERIFY(f.ready());
        TForm1 &form = *f.form;
        form.TreeView1->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(form.TreeView1->hasFocus());
        QTest::mouseClick(form.Thumbnails1, Qt::LeftButton, {}, QPoint(300, 300));
        QCOMPARE(QApplication::focusWidget(), form.FramedVertScrollBox1);
    }
};

FOTRA_TEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
