#pragma once
// A control that shows thumbnails of a list of picture files: the host fills
// Files and calls Execute; the thumbnails are built on the thread pool, in
// list order, and flow into rows as wide as the control.
#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TCaptionLabel;
class TLoadJob;

// Sender is the view, cnt the 1-based position in Files of the file just done.
using TPageCountEvent = std::function<void(QObject *Sender, int32_t cnt)>;

// What OpenFile makes of one file: the thumbnail (Key) and the caption (Value).
// Widgets belong to the UI thread, so the caption travels as its text and the
// view makes the label from it there. Either may be empty.
struct TThumbnailPair {
    QImage Key;
    QString Value;
};

struct TRectF {
    float Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
};

class TThumbnails : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int ThumbnailSize READ ThumbnailSize WRITE SetThumbnailSize)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(int InnerMargin READ InnerMargin WRITE SetInnerMargin)
    Q_PROPERTY(float MinHeight READ MinHeight WRITE SetMinHeight)

public:
    explicit TThumbnails(QWidget *AOwner = nullptr);
    ~TThumbnails() override;

    // Asks the current load to stop; from its return on, that load appends
    // nothing and raises no event. Never waits.
    void Cancel();
    void Clear();
    // Starts over: cancels the current load, empties the view and loads Files.
    virtual void Execute();
    // Builds the pair for one file. Runs on a loading thread: it may read
    // ThumbnailSize and nothing else of the view.
    virtual TThumbnailPair OpenFile(const QString &filename) const;

    int ThumbnailSize() const { return FThumbnailSize; }
    void SetThumbnailSize(int Value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value) { FAutoSize = Value; }
    int InnerMargin() const { return FInnerMargin; }
    void SetInnerMargin(int Value) { FInnerMargin = Value; }
    float MinHeight() const { return FMinHeight; }
    void SetMinHeight(float Value) { FMinHeight = Value; }
    const TPageCountEvent &OnLoadFile() const { return FOnLoadFile; }
    void SetOnLoadFile(TPageCountEvent Value) { FOnLoadFile = std::move(Value); }
    QStringList &Files() { return FFiles; }
    // A load has been started and has not yet handed over its last repaint.
    bool IsLoading() const;

    // The entries, for hosts and tests: bitmap and caption of entry i, either
    // null for a file that gave no thumbnail.
    int Count() const { return int(FBmps.size()); }
    const QImage *Bitmap(int i) const { return FBmps.at(size_t(i)).get(); }
    TCaptionLabel *Caption(int i) const { return FLabels.at(size_t(i)).get(); }

    // One rectangle per entry, in list order; an entry without a bitmap gets
    // an empty one and takes no room. With AutoSize, sets the height.
    std::vector<TRectF> CalcThumbRects();

    static bool IsImageFile(const QString &name);
    static const std::array<QString, 6> ImageExts;

protected:
    void paintEvent(QPaintEvent *event) override; // Paint
    void resizeEvent(QResizeEvent *event) override; // Resize
    // Marks the view for painting; the load hands it over after every fifth file.
    virtual void Repaint();
    // Cancels and waits until no loading thread is inside OpenFile. Every
    // descendant that may go while loading calls it from its own destructor:
    // loading threads call OpenFile through the vtable, which the base
    // destructor rewrites (a data race even when OpenFile is not overridden).
    void StopLoading();

    int32_t FInnerMargin = 10;
    std::atomic<int32_t> FThumbnailSize = 100;
    bool FAutoSize = true;
    float FMinHeight = 600.0f;
    TPageCountEvent FOnLoadFile;
    std::shared_ptr<TLoadJob> FTask;
    // Earlier loads, cancelled but possibly still inside OpenFile.
    std::vector<std::weak_ptr<TLoadJob>> FCancelledTasks;
    // Entries without a thumbnail stay in both lists as null, so the lists
    // keep one length; layout and painting skip them.
    std::vector<std::unique_ptr<QImage>> FBmps;
    std::vector<std::unique_ptr<TCaptionLabel>> FLabels;
    QStringList FFiles;
    // How many captions, from the first, the last paint put in place, and at
    // which width and margin. Whoever empties the lists sets it to 0.
    size_t FPlacedCaptions = 0;
    int FPlacedWidth = -1;
    int32_t FPlacedMargin = -1;
    // The captions from FShownBegin to FShownEnd are shown: those near the
    // visible part. Qt walks every shown child at each paint and at each
    // show, so thousands of shown captions would make a load quadratic.
    size_t FShownBegin = 0;
    size_t FShownEnd = 0;
    // Device pixels per logical unit when the load started; read by OpenFile.
    std::atomic<double> FPixelRatio = 1.0;

private:
    friend class TLoadJob;
    // The logical size of each bitmap, kept beside the list so that a layout
    // pass reads one compact array instead of every image; rebuilt from the
    // first entry whose bitmap is not the one it was read from.
    struct TSizeEntry {
        const QImage *Bitmap;
        float Width, Height;
    };
    std::vector<TSizeEntry> FSizes;
    void UpdateSizes();
    void ShowCaptionsNear(const std::vector<TRectF> &rects);
    // On the UI thread, for the current load only.
    void AppendEntry(TThumbnailPair pair, int32_t cnt);
    // Moves each caption onto the top-left corner of its thumbnail, as wide as it.
    void PlaceCaptions(const std::vector<TRectF> &rects);
};
