#include "app/PictureFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QSvgRenderer>
#include <QTemporaryDir>

namespace {

// A converted metafile larger than this many pixels is refused, as Qt's own
// readers refuse a bitmap of more than 256 MB.
constexpr qint64 kMaxMetafilePixels = 256LL * 1024 * 1024 / 4;

LoadedPicture Failed(const QString& error) {
    return {QImage(), error};
}

QString Shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// A bitmap or an icon read with Qt's reader of `format` (not guessed from the
// suffix: Qt knows no ".dib").
LoadedPicture ReadRaster(QFile& file, const char* format, const QString& invalid) {
    QImageReader reader(&file, format);
    reader.setDecideFormatFromContent(false);
    QImage image;
    if (!reader.read(&image) || image.isNull()) return Failed(invalid);
    return {image, QString()};
}

// Runs the converter on `path` into an SVG file and draws that on white.
LoadedPicture ReadMetafile(const QString& path, bool enhanced, const MetafileConverters& tools) {
    const LoadedPicture failed =
        Failed(QStringLiteral("Cannot convert metafile %1").arg(Shown(path)));
    QTemporaryDir scratch;
    if (!scratch.isValid()) return failed;
    const QString svg = scratch.filePath(QStringLiteral("picture.svg"));
    QProcess converter;
    // Nothing reads its output: a converter that talks much must not stall
    // on a full pipe.
    converter.setStandardOutputFile(QProcess::nullDevice());
    converter.setStandardErrorFile(QProcess::nullDevice());
    converter.setStandardInputFile(QProcess::nullDevice());
    if (enhanced)
        converter.start(tools.emf, {QStringLiteral("-i"), path, QStringLiteral("-o"), svg});
    else
        converter.start(tools.wmf, {QStringLiteral("-o"), svg, path});
    if (!converter.waitForStarted(tools.timeoutMs)) return failed;
    if (!converter.waitForFinished(tools.timeoutMs)) {
        converter.kill();
        converter.waitForFinished(-1);
        return failed;
    }
    if (converter.exitStatus() != QProcess::NormalExit || converter.exitCode() != 0) return failed;

    QSvgRenderer renderer(svg);
    const QSize size = renderer.defaultSize();
    if (!renderer.isValid() || size.isEmpty() ||
        qint64{size.width()} * size.height() > kMaxMetafilePixels)
        return failed;
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    return {image, QString()};
}

} // namespace

LoadedPicture LoadPictureFile(const QString& path, const MetafileConverters& converters) {
    const QString extension = QFileInfo(path).suffix();
    const QString kind = extension.toLower();
    const bool bitmap = kind == QLatin1String("bmp") || kind == QLatin1String("dib");
    const bool icon = kind == QLatin1String("ico");
    const bool metafile = kind == QLatin1String("emf") || kind == QLatin1String("wmf");
    if (!bitmap && !icon && !metafile)
        return Failed(QStringLiteral("Unknown picture file extension (.%1)").arg(extension));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failed(QStringLiteral("Cannot open file %1").arg(Shown(path)));
    if (bitmap) return ReadRaster(file, "BMP", QStringLiteral("Bitmap image is not valid"));
    if (icon) return ReadRaster(file, "ICO", QStringLiteral("Icon image is not valid"));
    file.close();
    return ReadMetafile(path, kind == QLatin1String("emf"), converters);
}
