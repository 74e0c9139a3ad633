#include "standard_folders.h"

#include <QStandardPaths>

namespace platform {

QStringList standardFolders()
{
    const auto where = [](QStandardPaths::StandardLocation l) { return QStandardPaths::writableLocation(l); };
    QString downloads = where(QStandardPaths::DownloadLocation);
    if (downloads.isEmpty())
        downloads = where(QStandardPaths::DocumentsLocation);
    return {where(QStandardPaths::PicturesLocation), where(QStandardPaths::DesktopLocation),
            where(QStandardPaths::DocumentsLocation), downloads};
}

} // namespace platform
