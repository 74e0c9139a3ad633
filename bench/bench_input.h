#pragma once
// Generated input for the benchmark: photo-like pictures (gradients, shapes
// and sensor-like noise, so that JPEG files have the size real photos have),
// tiny files for the listing, kept in a work folder and reused while the
// parameters stay the same.
#include <QString>
#include <QStringList>

namespace bench {

struct PictureSet {
    QString folder;
    int count = 0;
    int width = 0;
    int height = 0;
    const char *format = "jpeg"; // "jpeg" or "png"
    bool progressive = false;
    int quality = 90;
};

// Makes sure `set.folder` holds `set.count` pictures named p00000.jpg...
// (or .png) made for these parameters; makes what is missing on every core.
// Returns the paths in name order.
QStringList ensurePictures(const PictureSet &set);

// A folder of `files` tiny pictures and `subfolders` subfolders of
// `perSubfolder` tiny pictures each.
void ensureListingTree(const QString &folder, int files, int subfolders, int perSubfolder);

// Reads every file once, so that the timed runs find them in the page cache.
qint64 warmPageCache(const QStringList &files);

} // namespace bench
