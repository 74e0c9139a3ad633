#include "progress_bar.h"

namespace platform {

ProgressBar::ProgressBar(QWidget *parent) : QProgressBar(parent)
{
    setTextVisible(false);
    setRange(0, FMax);
    setValue(0);
}

void ProgressBar::SetMax(int max)
{
    FMax = qMax(0, max);
    const int v = qMin(value(), FMax);
    setRange(0, qMax(1, FMax));
    setValue(v);
}

void ProgressBar::SetValue(int v) { setValue(qBound(0, v, FMax)); }

} // namespace platform
