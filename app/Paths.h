// Where the program keeps what it writes: the settings file and the Images
// folder of the snapshots. Both are formed here and nowhere else.
//
// A copy of the program run from anywhere (the build folder, a copy in the
// user's home) keeps both beside itself, so that several copies never share
// their settings. The installed copy, the one in the bin folder of the prefix
// the build was configured with, may not write there (and root must not), so
// it keeps them in the user's own folders instead: the settings in
// $XDG_CONFIG_HOME/quarl (~/.config/quarl), the pictures in the user's
// pictures folder (~/Pictures/Quarl). The settings file's format is the same.
#pragma once

#include <QString>

// The installation prefix this build was configured with (/usr for the
// Debian package, /usr/local by default).
QString ConfiguredInstallPrefix();

// True when `programFolder` is the bin folder of `installPrefix`, symbolic
// links resolved on both sides. Both must exist.
bool IsInstalledCopy(const QString& programFolder, const QString& installPrefix);

// The settings file "quarl.cfg" of the copy run from `programFolder`. Empty
// when the installed copy finds no usable home folder (HOME unset): it then
// neither reads nor writes settings rather than write into "/".
QString SettingsFilePath(const QString& programFolder,
                         const QString& installPrefix = ConfiguredInstallPrefix());

// The snapshots' folder "Images" of the copy run from `programFolder` (it
// may not exist yet; QDir::mkpath creates it with its parents). Empty like
// SettingsFilePath.
QString ImagesFolderPath(const QString& programFolder,
                         const QString& installPrefix = ConfiguredInstallPrefix());

// Before the settings are written: the installed copy creates its per-user
// settings folder when it is missing, private to the user (mode 0700, as
// for any folder under $XDG_CONFIG_HOME). A copy run from elsewhere writes
// beside itself and creates nothing. Failures are silent: the write that
// follows then fails, silently too.
void MakeSettingsFolder(const QString& programFolder,
                        const QString& installPrefix = ConfiguredInstallPrefix());
