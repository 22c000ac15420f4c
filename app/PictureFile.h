// Reading the pictures that the viewer shows: bitmaps (.bmp, .dib), icons
// (.ico) and metafiles (.emf, .wmf), chosen by the file's extension.
//
// Metafiles come from anywhere, and their parsers are large: they are turned
// into SVG by Debian's converters in a child process with a time limit, so a
// broken or hostile file costs a failed load, never the running analyser.
// (libemf2svg and libwmf also export the same symbol: they must never share
// a process.)
#pragma once

#include <QImage>
#include <QString>

struct MetafileConverters {
    QString emf = QStringLiteral("emf2svg-conv"); // emf2svg-conv -i IN -o OUT
    QString wmf = QStringLiteral("wmf2svg");      // wmf2svg -o OUT IN
    int timeoutMs = 10000;                        // then the converter is killed
};

struct LoadedPicture {
    QImage image;  // null when the load failed
    QString error; // the error box's text when it failed
};

// Loads `path`. Errors: "Unknown picture file extension (.ext)", "Cannot open
// file <path>", "Bitmap image is not valid", "Icon image is not valid",
// "Cannot convert metafile <path>".
LoadedPicture LoadPictureFile(const QString& path, const MetafileConverters& converters);

// What the viewer makes of a converter's run on the metafile `path`:
// `converted` when it started, ended within its time and reported success;
// `svgFile` is what it wrote (missing, empty or broken for a converter that
// lied). The SVG is drawn on white at its own size; anything unusable gives
// "Cannot convert metafile <path>".
LoadedPicture MetafilePictureFromSvg(const QString& path, bool converted, const QString& svgFile);
