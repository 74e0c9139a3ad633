#include "CaptionLabel.h"

#include <QPainter>

TCaptionLabel::TCaptionLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setWordWrap(false);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(DefaultWidth, DefaultHeight);
}

void TCaptionLabel::paintEvent(QPaintEvent *)
{
    QFont bold = font();
    bold.setBold(true);
    QPainter painter(this);
    painter.setFont(bold);
    painter.setPen(QColor::fromRgba(FontColor));
    const QString shown = QFontMetrics(bold).elidedText(text(), Qt::ElideRight, width());
    painter.drawText(rect(), int(alignment()) | Qt::TextSingleLine, shown);
}
