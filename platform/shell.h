#pragma once
#include <QString>
#include <functional>

namespace platform {

// Opens `path` in the desktop's default application for it (xdg-open),
// without waiting for it. Failures are the caller's to ignore.
void openInDefaultApp(const QString &path);

// Lets tests see the requests instead of starting programs; an empty
// handler restores the real one. Returns the previous handler.
using OpenHandler = std::function<void(const QString &path)>;
OpenHandler setOpenHandler(OpenHandler handler);

} // namespace platform
