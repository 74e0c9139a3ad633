#pragma once
#include <QStringList>

namespace platform {

// The user's pictures, desktop, documents and downloads folders, in this
// order, from the XDG user directories. Downloads falls back to documents;
// a folder the system cannot name is the empty string.
QStringList standardFolders();

} // namespace platform
