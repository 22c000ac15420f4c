// Where the program keeps what it writes: the settings file and the Images
// folder of the snapshots. Both are formed here and nowhere else.
#pragma once

#include <QString>

// The settings file "quarl.cfg" in `programFolder`.
QString SettingsFilePath(const QString& programFolder);

// The snapshots' folder "Images" in `programFolder` (it may not exist yet).
QString ImagesFolderPath(const QString& programFolder);
