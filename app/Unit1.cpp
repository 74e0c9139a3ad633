#include "Unit1.h"

#include "clipboard.h"
#include "error_display.h"
#include "image_decoding.h"
#include "listing.h"
#include "native_path.h"
#include "shell.h"
#include "standard_folders.h"

#include <QCoreApplication>
#include <QLocale>
#include <QtMath>

namespace {
constexpr int TagRole = Qt::UserRole;
constexpr int NoticeMilliseconds = 3000;
}

const std::array<QString, 6> TForm1::ImageExts = {
    QStringLiteral(".jpg"), QStringLiteral(".jpeg"), QStringLiteral(".png"),
    QStringLiteral(".bmp"), QStringLiteral(".tif"), QStringLiteral(".tiff"),
};

const QString TForm1::NoImageFiles = QStringLiteral("(no Image files)");

bool TForm1::IsImageFile(const QString &name)
{
    const QString last = platform::lastComponent(name);
    const qsizetype dot = last.lastIndexOf(u'.');
    if (dot < 0)
        return false;
    const QString ext = QLocale().toLower(last.mid(dot));
    return std::find(ImageExts.begin(), ImageExts.end(), ext) != ImageExts.end();
}

TForm1::TForm1(QWidget *parent) : QMainWindow(parent)
{
    setupUi(this);
    BindMenuEntries();
    FileExit1->setText(FileExit1->text().replace(QStringLiteral("%s"), QCoreApplication::applicationName()));
    connect(TreeView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu1->popup(TreeView1->viewport()->mapToGlobal(pos)); });
    Thumbnails1->SetOnLoadFile([this](QObject *sender, int32_t cnt) { Thumbnails1LoadFile(sender, cnt); });
    FNoticeTimer.setObjectName(QStringLiteral("NoticeTimer"));
    FNoticeTimer.setSingleShot(true);
    connect(&FNoticeTimer, &QTimer::timeout, Label2, &QWidget::hide);

    // The stored size is the client area below the menu bar.
    resize(1046, 673 + MainMenu1->sizeHint().height());
    for (QLayout *l : {layout(), centralwidget->layout(), Panel2->layout()})
        l->activate();
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::BindMenuEntries()
{
    // A menu entry takes its text from its action when created, and keeps an
    // enabled state of its own.
    for (QAction *entry : {MenuItem1, MenuItem2, MenuItem5, MenuItem6, MenuItem7, MenuItem8, MenuItem9}) {
        QAction *action = findChild<QAction *>(entry->property("action").toString());
        Q_ASSERT(action);
        connect(action, &QAction::changed, entry, [entry, action] { entry->setText(action->text()); });
        entry->setText(action->text());
        connect(entry, &QAction::triggered, action, &QAction::trigger);
    }
}

void TForm1::FormCreate()
{
    platform::guarded(this, [&] {
        for (const QString &path : platform::standardFolders())
            TreeView1->addTopLevelItem(NewItem(path, platform::displayText(path)));
        Thumbnails1->SetMinHeight(float(FramedVertScrollBox1->height()));
    });
}

QString TForm1::Tag(const QTreeWidgetItem *item) { return item->data(0, TagRole).toString(); }

QTreeWidgetItem *TForm1::NewItem(const QString &path, const QString &text)
{
    auto *item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, TagRole, path);
    return item;
}

bool TForm1::IsPictureItem(const QTreeWidgetItem *item)
{
    return IsImageFile(item->text(0)) && platform::isFile(Tag(item));
}

QTreeWidgetItem *TForm1::Selected() const
{
    const QList<QTreeWidgetItem *> selected = TreeView1->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void TForm1::SetCopyEntriesEnabled(bool enabled)
{
    MenuItem6->setEnabled(enabled);
    PopupMenu1->actions().at(1)->setEnabled(enabled);
}

void TForm1::FillFolderItem(QTreeWidgetItem *Item, int Depth)
{
    // The placeholder is known by its empty tag, so a real folder that happens
    // to be called "(no Image files)" fills like any other.
    if (Depth == 0 || Tag(Item).isEmpty())
        return;
    // A folder that cannot be listed, or vanished since its parent was listed,
    // lists as empty and so gets the placeholder.
    const platform::FolderListing listing = platform::listFolder(Tag(Item));
    QList<QTreeWidgetItem *> children;
    children.reserve(qsizetype(listing.folders.size() + listing.files.size()));
    for (const QString &folder : listing.folders) {
        QTreeWidgetItem *child = NewItem(folder, platform::displayText(platform::lastComponent(folder)));
        FillFolderItem(child, Depth - 1);
        children.append(child);
    }
    for (const QString &file : listing.files) {
        const QString name = platform::displayText(platform::lastComponent(file));
        if (!IsImageFile(name))
            continue;
        children.append(NewItem(file, name));
        if (Depth == 2)
            Thumbnails1->Files().append(file);
    }
    if (children.isEmpty() && Item->childCount() == 0)
        children.append(NewItem(QString(), NoImageFiles));
    Item->addChildren(children);
}

void TForm1::TreeView1Change()
{
    platform::guarded(this, [&] {
        QTreeWidgetItem *S = Selected();
        if (!S) {
            // Nothing selected: no copy entry stays enabled for nothing.
            SetCopyEntriesEnabled(false);
            return;
        }
        SetCopyEntriesEnabled(IsPictureItem(S));
        if (!platform::isDirectory(Tag(S)))
            return;
        qDeleteAll(S->takeChildren());
        Thumbnails1->Files().clear();
        FillFolderItem(S, 2);
        Thumbnails1->Execute();
        S->setExpanded(true);
        const qsizetype n = Thumbnails1->Files().size();
        Label1->setText(QStringLiteral(" %1 files").arg(n));
        ProgressBar1->SetValue(0);
        ProgressBar1->SetMax(int(n));
        FramedVertScrollBox1->RealignAndScrollToTop();
    });
}

void TForm1::TreeView1DblClick()
{
    platform::guarded(this, [&] {
        QTreeWidgetItem *S = Selected();
        if (!S || !IsPictureItem(S))
            return;
        if (QTreeWidgetItem *parentItem = S->parent())
            TreeView1->setCurrentItem(parentItem);
        else
            TreeView1->clearSelection();
    });
}

void TForm1::TrackBar1Tracking()
{
    platform::guarded(this, [&] {
        const int step = qCeil(double(TrackBar1->value()));
        Thumbnails1->SetThumbnailSize(step * 50 + 100);
    });
}

void TForm1::Thumbnails1LoadFile(QObject *, int32_t cnt)
{
    platform::guarded(this, [&] { ProgressBar1->SetValue(cnt == ProgressBar1->Max() ? 0 : cnt); });
}

void TForm1::Action1Execute()
{
    platform::guarded(this, [&] {
        TreeView1->collapseAll();
        TreeView1->clearSelection();
    });
}

void TForm1::Action2Execute()
{
    platform::guarded(this, [&] {
        QTreeWidgetItem *S = Selected();
        if (!S)
            return;
        const QString path = Tag(S);
        if (!IsImageFile(path))
            return;
        if (!platform::clipboardAvailable()) {
            platform::showMessage(this, QCoreApplication::applicationName(), QStringLiteral("OSが未サポートです"));
            PopupMenu1->actions().at(1)->setEnabled(false);
            return;
        }
        const QImage picture = platform::decodeWhole(path);
        platform::putImageOnClipboard(picture);
        // Auto-size: the stored width cuts the text off in most CJK fonts.
        Label2->resize(qMax(Label2->width(), Label2->sizeHint().width()), Label2->height());
        // A later copy restarts the notice, so it stays 3 s after the last one.
        Label2->show();
        FNoticeTimer.start(NoticeMilliseconds);
    });
}

void TForm1::Action3Execute()
{
    platform::guarded(this, [&] {
        QTreeWidgetItem *S = Selected();
        if (!S)
            return;
        const QString path = Tag(S);
        if (!platform::isFile(path))
            return;
        platform::openInDefaultApp(path);
    });
}
