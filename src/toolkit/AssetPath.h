#pragma once

#include <QString>

// Asset paths are written the way the game names them: relative to the working directory, with
// backslashes, and with letter case that need not match the disk ("Base\image\Ico\b1.ico" finds
// base/image/Ico/b1.ico). Before a load only existence is tested.
namespace AssetPath {

// The file on disk that `gamePath` names, or an empty string when there is none.
QString resolve(const QString &gamePath);

// Whether `gamePath` names an existing file (not a directory).
bool exists(const QString &gamePath);

} // namespace AssetPath
