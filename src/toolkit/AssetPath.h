#pragma once

#include <QString>

// Asset paths are written the way the game names them: relative to the working directory, with
// backslashes, and with letter case that need not match the disk ("Base\image\Ico\b1.ico" finds
// base/image/Ico/b1.ico). Before a load only existence is tested.
//
// The installed game looks each file up in the working directory (the player's folder) first and
// in the installed data second, so a player's own file wins over the installed one. Only the game's
// data answer from the installed tree: a path under "base", but never under "base\data", the
// player's scores, nor one beside "base"; so nothing that the game writes is ever found there.
namespace AssetPath {

// The file on disk that `gamePath` names, or an empty string when there is none.
QString resolve(const QString &gamePath);

// Whether `gamePath` names an existing file (not a directory).
bool exists(const QString &gamePath);

// The installed data's folder, which holds base/; empty (the default) for none, as when the game
// runs from the source tree.
void setInstalledData(const QString &folder);

} // namespace AssetPath
