// Pictures from anywhere, through the function the viewer loads them with:
// the first byte picks the file's extension (.bmp, .dib, .ico, in either
// case), the rest is the file. Every outcome must be a picture or one of the
// viewer's error texts; anything else, or a crash, stops the run.
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
    static const char* const kNames[] = {"p.bmp", "p.dib", "p.ico", "P.BMP", "P.DIB", "P.ICO"};
    const QString path =
        WriteScratchFile(QString::fromLatin1(kNames[data[0] % 6]), data + 1, size - 1);
    const bool icon = data[0] % 3 == 2;
    // Bitmaps and icons need no converter: there is always an outcome.
    const LoadedPicture picture = ReadPictureFile(path).value_or(LoadedPicture{});
    const QString invalid =
        QString::fromLatin1(icon ? "Icon image is not valid" : "Bitmap image is not valid");
    const bool good = picture.image.isNull() ? picture.error == invalid
                                             : picture.error.isEmpty() && picture.image.width() > 0;
    if (!good) {
        std::fprintf(stderr, "unexpected outcome: null=%d error=\"%s\"\n", picture.image.isNull(),
                     qPrintable(picture.error));
        std::abort();
    }
    return 0;
}
