#pragma once
#include <QImage>

namespace platform {

// Whether the system offers a clipboard to put pictures on.
bool clipboardAvailable();
void putImageOnClipboard(const QImage &image);

// Lets tests take the clipboard service away.
void setClipboardAvailable(bool available);

} // namespace platform
