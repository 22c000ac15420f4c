#include "app/PictureFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdint>
#include <cstdlib>

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

template <typename T> T LittleEndian(const QByteArray& bytes, int at) {
    T v = 0;
    for (int i = int(sizeof(T)) - 1; i >= 0; --i)
        v = static_cast<T>((v << 8) | static_cast<unsigned char>(bytes[at + i]));
    return v;
}

// Qt shows a bitmap whose pixel rows stop early with the missing rows made up.
// A cut-off file is damaged, not a picture: the uncompressed rows that its
// header announces must all be there. (Compressed rows have no size to check;
// Qt's reader refuses those when they run short.)
bool BmpRowsComplete(QFile& file) {
    const QByteArray head = file.peek(34);
    if (head.size() < 34 || LittleEndian<std::uint32_t>(head, 14) < 40)
        return true; // too short for Qt too, or an old core header: left to Qt
    const std::uint32_t compression = LittleEndian<std::uint32_t>(head, 30);
    if (compression != 0 && compression != 3) return true; // BI_RGB, BI_BITFIELDS
    const qint64 offset = LittleEndian<std::uint32_t>(head, 10);
    const qint64 width = LittleEndian<std::int32_t>(head, 18);
    const qint64 height = std::abs(qint64{LittleEndian<std::int32_t>(head, 22)});
    const qint64 bits = LittleEndian<std::uint16_t>(head, 28);
    // Sizes beyond any real picture are left to Qt's reader, which refuses
    // them (and their products would not fit 64 bits).
    constexpr qint64 kLargest = 1 << 24;
    if (width <= 0 || width > kLargest || height > kLargest) return true;
    const qint64 rowBytes = (width * bits + 31) / 32 * 4;
    return file.size() >= offset + rowBytes * height;
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

} // namespace

LoadedPicture MetafilePictureFromSvg(const QString& path, bool converted, const QString& svgFile,
                                     qint64 maxSvgBytes) {
    const LoadedPicture failed =
        Failed(QStringLiteral("Cannot convert metafile %1").arg(Shown(path)));
    if (!converted) return failed;
    // Only a plain file: opening a pipe left in its place would wait for a
    // writer that never comes.
    QFile file(svgFile);
    if (!QFileInfo(svgFile).isFile() || !file.open(QIODevice::ReadOnly) ||
        file.size() > maxSvgBytes)
        return failed;
    const QByteArray svg = file.readAll();
    // The converters write plain SVG. Qt would inflate a compressed one to
    // any size, past the limit that was just checked.
    if (svg.size() > maxSvgBytes || svg.startsWith("\x1f\x8b")) return failed;
    QSvgRenderer renderer(svg);
    const QSize size = renderer.defaultSize();
    if (!renderer.isValid() || size.isEmpty() ||
        qint64{size.width()} * size.height() > kMaxMetafilePixels)
        return failed;
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) return failed; // no memory for it
    image.fill(Qt::white);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    return {image, QString()};
}

bool IsEnhancedMetafile(const QString& path) {
    return QFileInfo(path).suffix().toLower() == QLatin1String("emf");
}

std::optional<LoadedPicture> ReadPictureFile(const QString& path) {
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
    const QString invalidBitmap = QStringLiteral("Bitmap image is not valid");
    if (bitmap && !BmpRowsComplete(file)) return Failed(invalidBitmap);
    if (bitmap) return ReadRaster(file, "BMP", invalidBitmap);
    if (icon) return ReadRaster(file, "ICO", QStringLiteral("Icon image is not valid"));
    return std::nullopt;
}
