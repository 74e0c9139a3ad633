#include "clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace platform {
namespace {
bool gAvailable = true;
}

bool clipboardAvailable() { return gAvailable && QGuiApplication::clipboard() != nullptr; }

void putImageOnClipboard(const QImage &image) { QGuiApplication::clipboard()->setImage(image); }

void setClipboardAvailable(bool available) { gAvailable = available; }

} // namespace platform
