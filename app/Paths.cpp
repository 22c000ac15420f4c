#include "app/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <sys/stat.h>

#ifndef QUARL_INSTALL_PREFIX
#error "QUARL_INSTALL_PREFIX must name the configured installation prefix"
#endif

namespace {

const QString kSettingsFileName = QStringLiteral("quarl.cfg");
const QString kImagesFolderName = QStringLiteral("Images");
// The per-user folders of the installed copy.
const QString kUserSettingsFolderName = QStringLiteral("quarl");
const QString kUserImagesFolderName = QStringLiteral("Quarl");

// A folder of the user's from QStandardPaths, or empty when it cannot be
// trusted: without HOME Qt falls back to "/" and a relative XDG_CONFIG_HOME
// would point into whatever folder the program was started from.
QString userFolder(QStandardPaths::StandardLocation location) {
    const QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty() || QDir::isRelativePath(home)) return {};
    QString folder = QStandardPaths::writableLocation(location);
    if (location == QStandardPaths::GenericConfigLocation && QDir::isRelativePath(folder))
        folder = QDir(home).filePath(QStringLiteral(".config")); // such a value is to be ignored
    if (folder.isEmpty() || QDir::isRelativePath(folder)) return {};
    return QDir::cleanPath(folder);
}

QString userSettingsFolder() {
    const QString config = userFolder(QStandardPaths::GenericConfigLocation);
    return config.isEmpty() ? QString() : QDir(config).filePath(kUserSettingsFolderName);
}

} // namespace

QString ConfiguredInstallPrefix() {
    return QStringLiteral(QUARL_INSTALL_PREFIX);
}

bool IsInstalledCopy(const QString& programFolder, const QString& installPrefix) {
    if (programFolder.isEmpty() || installPrefix.isEmpty()) return false;
    const QString bin =
        QFileInfo(QDir(installPrefix).filePath(QStringLiteral("bin"))).canonicalFilePath();
    return !bin.isEmpty() && QFileInfo(programFolder).canonicalFilePath() == bin;
}

QString SettingsFilePath(const QString& programFolder, const QString& installPrefix) {
    if (!IsInstalledCopy(programFolder, installPrefix))
        return QDir(programFolder).filePath(kSettingsFileName);
    const QString folder = userSettingsFolder();
    return folder.isEmpty() ? QString() : QDir(folder).filePath(kSettingsFileName);
}

QString ImagesFolderPath(const QString& programFolder, const QString& installPrefix) {
    if (!IsInstalledCopy(programFolder, installPrefix))
        return QDir(programFolder).filePath(kImagesFolderName);
    const QString pictures = userFolder(QStandardPaths::PicturesLocation);
    return pictures.isEmpty() ? QString() : QDir(pictures).filePath(kUserImagesFolderName);
}

void MakeSettingsFolder(const QString& programFolder, const QString& installPrefix) {
    if (!IsInstalledCopy(programFolder, installPrefix)) return;
    const QString folder = userSettingsFolder();
    if (folder.isEmpty()) return;
    // QDir::mkpath would create every missing level with the umask's
    // permissions; each level made here is the user's alone.
    QStringList missing;
    for (QString f = folder; !QFileInfo::exists(f); f = QFileInfo(f).path()) {
        missing.prepend(f);
    }
    for (const QString& f : missing)
        if (::mkdir(QFile::encodeName(f).constData(), 0700) != 0) return;
}
