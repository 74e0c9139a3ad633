#pragma once
#include <QScrollArea>

namespace platform {

// A vertical scroll box: its content keeps the viewport's width and its own
// height, aligned to the top, and scrolls vertically only.
class VertScrollBox : public QScrollArea {
    Q_OBJECT
public:
    explicit VertScrollBox(QWidget *parent = nullptr);

    // Re-reads the content's size, then scrolls back to the top-left corner.
    void RealignAndScrollToTop();

protected:
    void resizeEvent(QResizeEvent *event) override;
    // Adds Home and End to the scroll keys the base class knows.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FollowViewportWidth();
};

} // namespace platform
