// What a metafile converter hands back: the first byte says whether it
// reported success (bit 0) and whether it wrote its file at all (bit 1); the
// rest is the SVG it wrote. The viewer must draw it or say "Cannot convert
// metafile", never crash or accept a failed run.
#include "QtFuzzSupport.h"
#include "app/PictureFile.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    StartQtForFuzzing(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool converted = data[0] & 1;
    const bool wroteFile = data[0] & 2;
    const QString svg = QDir(ScratchFolder()).filePath(QStringLiteral("picture.svg"));
    QFile::remove(svg);
    if (wroteFile) WriteScratchFile(QStringLiteral("picture.svg"), data + 1, size - 1);
    const QString metafile = QStringLiteral("/nowhere/drawing.emf");
    const LoadedPicture picture = MetafilePictureFromSvg(metafile, converted, svg);
    const QString refused = QStringLiteral("Cannot convert metafile /nowhere/drawing.emf");
    const bool good = picture.image.isNull() ? picture.error == refused
                                             : converted && wroteFile && picture.error.isEmpty();
    if (!good) {
        std::fprintf(stderr, "unexpected outcome: null=%d error=\"%s\"\n", picture.image.isNull(),
                     qPrintable(picture.error));
        std::abort();
    }
    return 0;
}
