#include "CaptionLabel.h"

#include <QPainter>

TCaptionLabel::TCaptionLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    // Only the weight is set here: family and size still come from the style.
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    setWordWrap(false);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(DefaultWidth, DefaultHeight);
}

QString TCaptionLabel::ShownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideRight, width());
}

void TCaptionLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(QColor::fromRgba(FontColor));
    painter.drawText(rect(), int(alignment()) | Qt::TextSingleLine, ShownText());
}
