#pragma once
#include <QColor>
#include <QLabel>

// The file name over the top edge of a thumbnail: one line, bold, in its own
// colour whatever the style says, cut with an ellipsis when too long, and
// transparent to the mouse so clicks reach the view.
class TCaptionLabel : public QLabel {
    Q_OBJECT
public:
    TCaptionLabel(const QString &text, QWidget *parent);

    // The text as drawn at the current width: whole, or cut at a character
    // with an ellipsis.
    QString ShownText() const;

    static constexpr QRgb FontColor = 0xFFCD5C5C; // "Indianred"
    static constexpr int DefaultWidth = 120;
    static constexpr int DefaultHeight = 17;

protected:
    void paintEvent(QPaintEvent *event) override;
};
