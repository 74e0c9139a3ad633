#pragma once
#include <QProgressBar>

namespace platform {

// A progress bar whose maximum may be 0: QProgressBar turns a 0..0 range
// into an animated "busy" bar, where an empty bar is wanted.
class ProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit ProgressBar(QWidget *parent = nullptr);

    int Max() const { return FMax; }
    void SetMax(int max);
    int Value() const { return value(); }
    void SetValue(int value);

private:
    int FMax = 100;
};

} // namespace platform
