#include "vert_scroll_box.h"

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

void VertScrollBox::FollowViewportWidth()
{
    if (QWidget *content = widget(); content && content->width() != viewport()->width())
        content->resize(viewport()->width(), content->height());
}

} // namespace platform
