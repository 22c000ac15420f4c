// The viewer's loader on a small corpus of valid and broken pictures made
// here: every broken one fails with its text, none takes the program down.
#include "app/PictureLoader.h"
#include "display/Bmp.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>

namespace {

using Bytes = QByteArray;

template <typename T> Bytes words(std::initializer_list<T> values) {
    Bytes b; // little-endian machine
    for (T v : values)
        b.append(reinterpret_cast<const char*>(&v), sizeof v);
    return b;
}

Bytes bmp(int w, int h) {
    std::vector<std::uint32_t> pixels(static_cast<size_t>(w) * h, 0xFF3366CC);
    const auto file = EncodeBmp32(pixels.data(), w, h, w);
    return Bytes(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size()));
}

Bytes ico() {
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(Qt::blue);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    icon.save(&buffer, "ICO");
    return buffer.data();
}

// An enhanced metafile, 100 x 50 device units, with one rectangle.
Bytes emf() {
    return words<std::int32_t>({1,       88,  0, 0, 99, 49, 0, 0,    2645, 1322, 0x464D4520,
                                0x10000, 132, 3, 1, 0,  0,  0, 1024, 768,  271,  203}) +
           words<std::int32_t>({43, 24, 10, 10, 90, 40, 14, 20, 0, 0, 20});
}

// A Windows metafile: window extent 100 x 50, one rectangle.
Bytes wmf() {
    return words<std::uint16_t>({1, 9, 0x300, 19, 0, 0, 7, 0, 0}) +
           words<std::int16_t>({5, 0, 0x20C, 50, 100, 7, 0, 0x41B, 40, 90, 10, 10, 3, 0, 0});
}

Bytes hugeBmp() {
    Bytes b = bmp(2, 2);
    const std::int32_t side = 100000;
    std::memcpy(b.data() + 18, &side, 4);
    std::memcpy(b.data() + 22, &side, 4);
    return b;
}

QString write(const QTemporaryDir& dir, const char* name, const Bytes& bytes) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

// Loads `path` as the viewer does and waits for the outcome.
LoadedPicture LoadPictureFile(const QString& path, const MetafileConverters& tools) {
    PictureLoader loader(tools);
    std::optional<LoadedPicture> outcome;
    QObject::connect(&loader, &PictureLoader::Loaded,
                     [&](const QString&, const LoadedPicture& picture) { outcome = picture; });
    loader.Load(path);
    return QTest::qWaitFor([&] { return outcome.has_value(); }, 20000) ? *outcome : LoadedPicture{};
}

TEST(PictureLoader, CorpusOfValidAndBrokenFiles) {
    const char* broken = "Bitmap image is not valid";
    const char* convert = "Cannot convert metafile %1";
    struct Case {
        const char* name;
        Bytes bytes;
        const char* error; // %1: the file's path; empty: it loads at `size`
        QSize size;
    };
    const Case cases[] = {
        {"shot.bmp", bmp(7, 3), "", {7, 3}},
        {"shot.DIB", bmp(5, 4), "", {5, 4}}, // Qt reads it only when told "BMP"
        {"icon.ico", ico(), "", {16, 16}},
        {"drawing.emf", emf(), "", {99, 49}},
        {"drawing.wmf", wmf(), "", {81, 31}},
        {"picture.png", bmp(2, 2), "Unknown picture file extension (.png)", {}},
        {"noextension", bmp(2, 2), "Unknown picture file extension (.)", {}},
        {"truncated.bmp", bmp(8, 8).left(60), broken, {}},
        {"lastrow.bmp", bmp(8, 8).chopped(1), broken, {}},
        {"header.bmp", "XX not a bitmap, not at all, not at all", broken, {}},
        {"empty.dib", "", broken, {}},
        {"huge.bmp", hugeBmp(), broken, {}},
        {"broken.ico", Bytes("\0\0\1\0 broken", 12), "Icon image is not valid", {}},
        {"broken.emf", "not an enhanced metafile", convert, {}},
        {"broken.wmf", "not a metafile", convert, {}},
        {"truncated.emf", emf().left(40), convert, {}},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        const QString path = write(dir, c.name, c.bytes);
        const LoadedPicture loaded = LoadPictureFile(path, MetafileConverters{});
        QString error = QString::fromLatin1(c.error);
        if (error.contains(QLatin1String("%1"))) error = error.arg(path);
        EXPECT_EQ(loaded.error, error) << c.name;
        EXPECT_EQ(loaded.image.size(), c.size.isValid() ? c.size : QSize(0, 0)) << c.name;
    }
    const QString gone = dir.filePath(QStringLiteral("gone.bmp"));
    EXPECT_EQ(LoadPictureFile(gone, {}).error, QStringLiteral("Cannot open file %1").arg(gone));
}

TEST(PictureLoader, AConverterThatNeverFinishesIsStoppedInTime) {
    QTemporaryDir dir;
    MetafileConverters tools;
    // Its child is killed with it, or it would write `alive` after a second.
    tools.emf = write(dir, "hang.sh", "#!/bin/sh\n(sleep 1; echo >$0.alive) & exec sleep 30\n");
    QFile::setPermissions(tools.emf, QFile::ReadOwner | QFile::ExeOwner);
    tools.timeoutMs = 300;
    const QString path = write(dir, "slow.emf", emf());
    const QString error = QStringLiteral("Cannot convert metafile %1").arg(path);
    EXPECT_EQ(LoadPictureFile(path, tools).error, error);
    tools.emf = dir.filePath(QStringLiteral("no-such-converter"));
    EXPECT_EQ(LoadPictureFile(path, tools).error, error);
    QTest::qWait(1500);
    EXPECT_FALSE(QFile::exists(dir.filePath("hang.sh.alive")));
}

// A stand-in that writes its SVG only when the user's locale has not reached
// it: the picture, and nothing once the SVG is a byte over the limit.
TEST(PictureLoader, ConvertersRunInTheCLocaleAndOutputOverTheLimitIsRefused) {
    QTemporaryDir dir;
    const Bytes svg = "<svg xmlns='http://www.w3.org/2000/svg' width='60' height='30'/>";
    MetafileConverters tools;
    tools.emf = write(dir, "c.sh", "#!/bin/sh\n[ $LC_ALL = C ] && printf %s \"" + svg + "\" >$4");
    tools.maxSvgBytes = svg.size();
    QFile::setPermissions(tools.emf, QFile::ReadOwner | QFile::ExeOwner);
    const QString path = write(dir, "drawing.emf", emf());
    qputenv("LC_ALL", "de_DE.UTF-8");
    EXPECT_EQ(LoadPictureFile(path, tools).image.size(), QSize(60, 30));
    tools.maxSvgBytes = svg.size() - 1;
    EXPECT_EQ(LoadPictureFile(path, tools).error, "Cannot convert metafile " + path);
    qunsetenv("LC_ALL");
}

} // namespace
