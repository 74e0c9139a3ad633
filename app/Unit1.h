#pragma once
// The main window: folder tree, thumbnails, status bar and item commands.
#include "ui_Unit1.h"

#include <QMainWindow>
#include <QTimer>

#include <array>
#include <cstdint>

class TForm1 : public QMainWindow, public Ui::TForm1 {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    static bool IsImageFile(const QString &name);
    static const std::array<QString, 6> ImageExts;
    static const QString NoImageFiles;

    // The full path an item stands for; empty for the placeholder.
    static QString Tag(const QTreeWidgetItem *item);

    // Virtual so a test can change the disk between two listings.
    virtual void FillFolderItem(QTreeWidgetItem *Item, int Depth);

public Q_SLOTS:
    void FormCreate();
    void TreeView1Change();
    void TreeView1DblClick();
    void TrackBar1Tracking();
    void Thumbnails1LoadFile(QObject *Sender, int32_t cnt);
    void Action1Execute();
    void Action2Execute();
    void Action3Execute();

private:
    void BindMenuEntries();
    void SetCopyEntriesEnabled(bool enabled);
    static QTreeWidgetItem *NewItem(const QString &path, const QString &text);
    // A picture item: its text passes the image-file test and its tag names a file.
    static bool IsPictureItem(const QTreeWidgetItem *item);
    QTreeWidgetItem *Selected() const;

    // Hides Label2; a child named "NoticeTimer", so it can be found.
    QTimer FNoticeTimer{this};
};
