#include "vert_scroll_box.h"

#include <QKeyEvent>
#include <QScrollBar>

namespace platform {

VertScrollBox::VertScrollBox(QWidget *parent) : QScrollArea(parent)
{
    setWidgetResizable(false);
    setFrameShape(QFrame::NoFrame);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Always on: with "as needed" the bar coming and going changes the width,
    // which re-flows the rows, which can take the bar away again.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void VertScrollBox::RealignAndScrollToTop()
{
    FollowViewportWidth();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void VertScrollBox::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    FollowViewportWidth();
}

void VertScrollBox::keyPressEvent(QKeyEvent *event)
{
    const bool toStart = event->key() == Qt::Key_Home || event->matches(QKeySequence::MoveToStartOfDocument);
    const bool toEnd = event->key() == Qt::Key_End || event->matches(QKeySequence::MoveToEndOfDocument);
    if (toStart || toEnd) {
        verticalScrollBar()->triggerAction(toStart ? QAbstractSlider::SliderToMinimum
                                                   : QAbstractSlider::SliderToMaximum);
        event->accept();
        return;
    }
    QScrollArea::keyPressEvent(event);
}

void VertScrollBox::FollowViewportWidth()
{
    if (QWidget *content = widget(); content && content->width() != viewport()->width())
        content->resize(viewport()->width(), content->height());
}

} // namespace platform
