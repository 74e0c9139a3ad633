#include "listing.h"

#include "native_path.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace platform {

FolderListing listFolder(const QString &folder)
{
    FolderListing out;
    if (folder.isEmpty())
        return out;
    std::error_code ec;
    fs::directory_iterator it(fsPath(folder), ec);
    if (ec)
        return out;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            break;
        const fs::directory_entry &entry = *it;
        std::error_code statEc;
        QString path = joinPath(folder, pathFromNative(entry.path().filename().native()));
        if (entry.is_directory(statEc))
            out.folders.push_back(std::move(path));
        else
            out.files.push_back(std::move(path));
    }
    return out;
}

bool isDirectory(const QString &path)
{
    std::error_code ec;
    return !path.isEmpty() && fs::is_directory(fsPath(path), ec);
}

bool exists(const QString &path)
{
    std::error_code ec;
    return !path.isEmpty() && fs::exists(fsPath(path), ec);
}

bool isFile(const QString &path)
{
    std::error_code ec;
    const fs::file_status st = path.isEmpty() ? fs::file_status() : fs::status(fsPath(path), ec);
    return fs::exists(st) && !fs::is_directory(st);
}

} // namespace platform
