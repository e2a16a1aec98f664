#pragma once

#include <QString>

// The installed game's folder of each player: its working directory, where the score list is kept
// (base/data/score.inf, and score.inf beside base/ when that cannot be written) and where a file of
// the player's own wins over the installed one. The score list's code takes the working directory
// as given; this is the one place that decides where it is.
namespace PlayerFolder {

// The data home's pemy/, as QStandardPaths finds it from the process's environment:
// $XDG_DATA_HOME/pemy; ~/.local/share/pemy when XDG_DATA_HOME is unset, empty or not absolute (then
// it is dropped from the environment). Empty, with `*error` set, when HOME is needed and is unset
// or relative (the folder would then lie wherever the game happens to start).
QString location(QString *error);

// Makes the folder at `location`, and base/ and base/data/ in it, and makes it the working
// directory. Refuses, with `*error` set, a folder that lies inside `installedData` (the installed
// game's folder of base/) once its links are resolved, and a base/ or base/data/ that is a link:
// the scores would be written where the player's folder does not hold them. Nothing else is made
// or touched.
bool enter(const QString &location, const QString &installedData, QString *error);

// `text` with every character that is not printable as "?", so that a message stays one line.
QString printable(const QString &text);

} // namespace PlayerFolder
