#pragma once
// Paths travel through the program as QString, so tree tags and the view's
// file list stay plain strings. Bytes that are not valid UTF-8 are kept as
// the lone code units U+DC80..U+DCFF, so every path turns back into exactly
// the bytes it came from (names unpacked from other systems' archives).
#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

QString pathFromNative(std::string_view bytes);
std::string nativeFromPath(const QString &path);
inline std::filesystem::path fsPath(const QString &path) { return std::filesystem::path(nativeFromPath(path)); }
inline QString pathFromFs(const std::filesystem::path &p) { return pathFromNative(p.native()); }

// Joins a folder path and an entry name with exactly one separator.
QString joinPath(const QString &folder, const QString &name);
// The last component of a path (the whole string when it has no '/').
QString lastComponent(const QString &path);
// Text to show for a path or name: kept bytes are read as Shift-JIS when they
// form valid Shift-JIS, otherwise each shows as U+FFFD.
QString displayText(const QString &path);

} // namespace platform
