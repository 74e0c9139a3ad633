#include "Thumbnails.h"

#include "CaptionLabel.h"
#include "LoadJob.h"
#include "image_decoding.h"
#include "listing.h"
#include "native_path.h"

#include <QLocale>
#include <QPaintEvent>
#include <QPainter>
#include <QtMath>

const std::array<QString, 6> TThumbnails::ImageExts = {
    QStringLiteral(".jpg"), QStringLiteral(".jpeg"), QStringLiteral(".png"),
    QStringLiteral(".tif"), QStringLiteral(".tiff"), QStringLiteral(".bmp"),
};

bool TThumbnails::IsImageFile(const QString &name)
{
    const QString last = platform::lastComponent(name);
    const qsizetype dot = last.lastIndexOf(u'.');
    if (dot < 0)
        return false;
    const QString ext = QLocale().toLower(last.mid(dot));
    return std::find(ImageExts.begin(), ImageExts.end(), ext) != ImageExts.end();
}

TThumbnails::TThumbnails(QWidget *AOwner) : QWidget(AOwner) {}

TThumbnails::~TThumbnails()
{
    StopLoading();
    // The labels go before QWidget would delete them as children.
    FLabels.clear();
    FBmps.clear();
}

void TThumbnails::Cancel()
{
    if (FTask)
        FTask->Cancel();
}

void TThumbnails::StopLoading()
{
    // OpenFile is a member: no loading thread may still be in it once the
    // view is gone, whichever load it belongs to.
    if (FTask)
        FTask->CancelAndWaitForOpenFile();
    for (const std::weak_ptr<TLoadJob> &old : FCancelledTasks)
        if (const std::shared_ptr<TLoadJob> job = old.lock())
            job->CancelAndWaitForOpenFile();
    FCancelledTasks.clear();
}

void TThumbnails::Clear()
{
    // Both lists, so that painting, which needs them of one length, goes on.
    FBmps.clear();
    FLabels.clear();
    FPlacedCaptions = 0;
    FShownBegin = FShownEnd = 0;
    Repaint();
}

void TThumbnails::SetThumbnailSize(int Value)
{
    if (Value == FThumbnailSize)
        return;
    FThumbnailSize = Value;
    Execute();
}

void TThumbnails::Execute()
{
    Cancel();
    FBmps.clear();
    FLabels.clear();
    FPlacedCaptions = 0;
    FShownBegin = FShownEnd = 0;
    FPixelRatio = devicePixelRatioF();
    std::erase_if(FCancelledTasks, [](const std::weak_ptr<TLoadJob> &old) { return old.expired(); });
    if (FTask)
        FCancelledTasks.push_back(FTask);
    FTask = std::make_shared<TLoadJob>(this, FFiles);
    FTask->Start();
}

TThumbnailPair TThumbnails::OpenFile(const QString &filename) const
{
    if (!platform::exists(filename) || !IsImageFile(filename))
        return {};
    TThumbnailPair pair;
    pair.Value = platform::displayText(platform::lastComponent(filename));
    try {
        const double ratio = FPixelRatio;
        const int size = FThumbnailSize;
        pair.Key = platform::decodeThumbnail(filename, qRound(size * ratio));
        // The logical size is the one factor 1 gives, so the layout does not
        // depend on the screen; the decoded pixels fill it. A picture smaller
        // than the device box has fewer pixels than that, not a smaller size.
        const QSize logical = platform::fitIntoBox(pair.Key.size(), size);
        pair.Key.setDevicePixelRatio(double(qMax(pair.Key.width(), pair.Key.height())) /
                                     qMax(logical.width(), logical.height()));
    } catch (...) {
        return {};
    }
    return pair;
}

void TThumbnails::AppendEntry(TThumbnailPair pair, int32_t cnt)
{
    std::unique_ptr<QImage> bmp;
    if (!pair.Key.isNull())
        bmp = std::make_unique<QImage>(std::move(pair.Key));
    std::unique_ptr<TCaptionLabel> label;
    if (!pair.Value.isEmpty())
        label = std::make_unique<TCaptionLabel>(pair.Value, this); // shown once placed
    FBmps.push_back(std::move(bmp));
    FLabels.push_back(std::move(label));
    if (FOnLoadFile)
        FOnLoadFile(this, cnt);
}

void TThumbnails::Repaint() { update(); }

bool TThumbnails::IsLoading() const { return FTask && !FTask->IsFinished() && !FTask->IsCancelled(); }

void TThumbnails::UpdateSizes()
{
    size_t valid = 0;
    const size_t n = qMin(FSizes.size(), FBmps.size());
    while (valid < n && FSizes[valid].Bitmap == FBmps[valid].get())
        ++valid;
    FSizes.resize(valid);
    FSizes.reserve(FBmps.size());
    for (size_t i = valid; i < FBmps.size(); ++i) {
        const QImage *b = FBmps[i].get();
        const QSizeF logical = b ? b->deviceIndependentSize() : QSizeF();
        FSizes.push_back({b, float(qFloor(logical.width() + 1e-6)), float(qFloor(logical.height() + 1e-6))});
    }
}

std::vector<TRectF> TThumbnails::CalcThumbRects()
{
    std::vector<TRectF> rects;
    rects.reserve(FBmps.size());
    float X = float(FInnerMargin);
    float Y = float(FInnerMargin);
    float RowHeight = 0;
    int InRow = 0;
    const double viewWidth = width();
    UpdateSizes();
    for (const TSizeEntry &b : FSizes) {
        // A file that gave no thumbnail keeps its null entry in both lists
        // (so they stay of one length) and takes no room: an empty rectangle
        // where the next thumbnail would go, which painting skips.
        if (!b.Bitmap) {
            rects.push_back({X, Y, X, Y});
            continue;
        }
        const double w = b.Width;
        const double h = b.Height;
        if (viewWidth > double(X) + w + FInnerMargin || InRow == 0) {
            rects.push_back({X, Y, float(X + w), float(Y + h)});
            X = float(X + w + FInnerMargin);
            RowHeight = float(qMax(double(RowHeight), h));
            ++InRow;
        } else {
            X = float(FInnerMargin);
            Y = float(double(Y) + RowHeight + FInnerMargin);
            RowHeight = float(h);
            InRow = 1;
            rects.push_back({X, Y, float(X + w), float(Y + h)});
            X = float(X + w + FInnerMargin);
        }
    }
    if (FAutoSize) {
        const double content = double(Y) + RowHeight + FInnerMargin;
        const double height = content > FMinHeight ? content : FMinHeight;
        const int pixels = qCeil(height);
        if (pixels != this->height())
            resize(width(), pixels);
    }
    return rects;
}

void TThumbnails::paintEvent(QPaintEvent *event)
{
    if (FBmps.size() != FLabels.size())
        return; // a load is between its two appends
    try {
        const std::vector<TRectF> rects = CalcThumbRects();
        {
            QPainter canvas(this);
            if (!canvas.isActive())
                return;
            canvas.setRenderHint(QPainter::SmoothPixmapTransform, false);
            canvas.setOpacity(1.0);
            // Rows go down the list, so the tops never decrease: everything
            // after the first thumbnail below the exposed part is below it too.
            const QRect exposed = event->rect();
            const float exposedTop = float(exposed.top()), exposedBottom = float(exposed.bottom() + 1);
            for (size_t i = 0; i < rects.size(); ++i) {
                const TRectF &r = rects[i];
                if (r.Top >= exposedBottom)
                    break;
                const QImage *bmp = FBmps.at(i).get();
                if (!bmp || r.IsEmpty() || r.Bottom <= exposedTop)
                    continue;
                canvas.drawImage(QRectF(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top), *bmp, QRectF(bmp->rect()));
            }
        }
        PlaceCaptions(rects);
    } catch (...) {
        Execute(); // a failed paint starts a fresh load
    }
}

void TThumbnails::PlaceCaptions(const std::vector<TRectF> &rects)
{
    // An entry's place depends only on the entries before it, the width and
    // the margin, and entries are only appended or all dropped at once. So
    // with the same width and margin only the captions appended since the
    // last paint can be out of place; touching all of them at every paint
    // would cost a walk over thousands of widgets per scroll step.
    if (width() != FPlacedWidth || FInnerMargin != FPlacedMargin || FPlacedCaptions > rects.size())
        FPlacedCaptions = 0;
    for (size_t i = FPlacedCaptions; i < rects.size(); ++i) {
        TCaptionLabel *label = FLabels.at(i).get();
        const TRectF &r = rects[i];
        if (!label || !FBmps.at(i) || r.IsEmpty())
            continue;
        const QRect place(qRound(r.Left), qRound(r.Top), qRound(r.Right - r.Left), label->height());
        if (label->geometry() != place)
            label->setGeometry(place);
    }
    FPlacedCaptions = rects.size();
    FPlacedWidth = width();
    FPlacedMargin = FInnerMargin;
    ShowCaptionsNear(rects);
}

void TThumbnails::ShowCaptionsNear(const std::vector<TRectF> &rects)
{
    // Near: within one visible height above or below the visible part, so a
    // scroll step rarely has to show any.
    const QRect visible = visibleRegion().boundingRect();
    const float bandTop = float(visible.top() - visible.height());
    const float bandBottom = float(visible.bottom() + 1 + visible.height());
    size_t begin = rects.size(), end = rects.size();
    if (!visible.isEmpty()) {
        // Tops never decrease along the list; a row's thumbnails share their top.
        begin = 0;
        while (begin < rects.size() && rects[begin].Top + float(TCaptionLabel::DefaultHeight) < bandTop)
            ++begin;
        end = begin;
        while (end < rects.size() && rects[end].Top < bandBottom)
            ++end;
    }
    const auto setShown = [&](size_t i, bool shown) {
        if (i >= FLabels.size())
            return;
        TCaptionLabel *label = FLabels[i].get();
        if (label && label->isHidden() == shown && (!shown || (FBmps.at(i) && !rects[i].IsEmpty())))
            label->setVisible(shown);
    };
    for (size_t i = FShownBegin; i < FShownEnd; ++i)
        if (i < begin || i >= end)
            setShown(i, false);
    for (size_t i = begin; i < end; ++i)
        setShown(i, true);
    FShownBegin = begin;
    FShownEnd = end;
}

void TThumbnails::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (FMinHeight > float(height()))
        resize(width(), qCeil(FMinHeight));
}
