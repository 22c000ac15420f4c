#include "app/Paths.h"

#include <QDir>

QString SettingsFilePath(const QString& programFolder) {
    return QDir(programFolder).filePath(QStringLiteral("quarl.cfg"));
}

QString ImagesFolderPath(const QString& programFolder) {
    return QDir(programFolder).filePath(QStringLiteral("Images"));
}
