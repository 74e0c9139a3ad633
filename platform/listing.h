#pragma once
// Directory listing and existence tests on std::filesystem: readdir order,
// hidden entries included, and names that are not valid UTF-8 kept intact
// (QDir sorts, and skips such names).
#include <QString>
#include <vector>

namespace platform {

struct FolderListing {
    std::vector<QString> folders; // full paths of the subfolders (links followed)
    std::vector<QString> files;   // full paths of every other entry
};

// One level of `folder`, in the file system's order. A folder that cannot be
// listed, or is not a folder (any more), lists as empty.
FolderListing listFolder(const QString &folder);

// Links are followed; all are false for the empty path.
bool isDirectory(const QString &path);
bool exists(const QString &path);
// Exists and is not a folder.
bool isFile(const QString &path);

} // namespace platform
