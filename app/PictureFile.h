// Reading the pictures that the viewer shows: bitmaps (.bmp, .dib), icons
// (.ico) and metafiles (.emf, .wmf), chosen by the file's extension.
//
// Metafiles come from anywhere, and their parsers are large: they are turned
// into SVG by Debian's converters in a child process with a time limit, so a
// broken or hostile file costs a failed load, never the running analyser.
// (libemf2svg and libwmf also export the same symbol: they must never share
// a process.) PictureLoader (app/PictureLoader.h) runs them.
#pragma once

#include <QImage>
#include <QString>
#include <QtGlobal>
#include <optional>

// Bytes of SVG that a converter may hand back. Far beyond any real drawing,
// and parsing it takes seconds already; more is refused.
inline constexpr qint64 kMaxConverterSvgBytes = 64LL * 1024 * 1024;

struct MetafileConverters {
    QString emf = QStringLiteral("emf2svg-conv"); // emf2svg-conv -i IN -o OUT
    QString wmf = QStringLiteral("wmf2svg");      // wmf2svg -o OUT IN
    int timeoutMs = 10000;                        // then the converter is killed
    qint64 maxSvgBytes = kMaxConverterSvgBytes;   // a larger SVG is refused
};

struct LoadedPicture {
    QImage image;  // null when the load failed
    QString error; // the error box's text when it failed
};

// Reads `path` as far as that needs no converter: a bitmap or an icon, or
// the error of a file that cannot be a picture or cannot be opened. Nothing
// for a metafile that opens: its converter has to run. Errors: "Unknown
// picture file extension (.ext)", "Cannot open file <path>", "Bitmap image is
// not valid", "Icon image is not valid".
std::optional<LoadedPicture> ReadPictureFile(const QString& path);

// True for the suffix of an enhanced metafile (.emf), false for a Windows
// metafile (.wmf): which converter runs.
bool IsEnhancedMetafile(const QString& path);

// What the viewer makes of a converter's run on the metafile `path`:
// `converted` when it started, ended within its time and reported success;
// `svgFile` is what it wrote (missing, empty, broken, larger than
// `maxSvgBytes` or compressed for a converter that lied). The SVG is drawn
// on white at its own size; anything unusable gives "Cannot convert metafile
// <path>". Takes seconds for a large SVG: PictureLoader calls it off the GUI
// thread.
LoadedPicture MetafilePictureFromSvg(const QString& path, bool converted, const QString& svgFile,
                                     qint64 maxSvgBytes = kMaxConverterSvgBytes);
