// The viewer's loader on a small corpus of valid and broken pictures made
// here: every broken one fails with its text, none takes the program down.
// Stand-in converters (small scripts) show how it treats converters that
// hang, fail, lie or write too much, and that a newer load drops an older.
#include "StandInConverter.h"
#include "app/PictureLoader.h"
#include "display/Bmp.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
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

// Loads `path` as the viewer does and runs the event loop until the outcome
// comes (at most 20 s).
LoadedPicture loadAndWait(const QString& path, const MetafileConverters& tools) {
    PictureLoader loader(tools);
    std::optional<LoadedPicture> outcome;
    QObject::connect(&loader, &PictureLoader::Loaded,
                     [&](const QString&, const LoadedPicture& picture) { outcome = picture; });
    loader.Load(path);
    const QDeadlineTimer deadline(20000);
    while (!outcome && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return outcome.value_or(LoadedPicture{QImage(), QStringLiteral("no outcome")});
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
        const LoadedPicture loaded = loadAndWait(path, MetafileConverters{});
        QString error = QString::fromLatin1(c.error);
        if (error.contains(QLatin1String("%1"))) error = error.arg(path);
        EXPECT_EQ(loaded.error, error) << c.name;
        EXPECT_EQ(loaded.image.size(), c.size.isValid() ? c.size : QSize(0, 0)) << c.name;
    }
    const QString gone = dir.filePath(QStringLiteral("gone.bmp"));
    EXPECT_EQ(loadAndWait(gone, {}).error, QStringLiteral("Cannot open file %1").arg(gone));
}

// An SVG of 60 x 30 pixels padded with a comment to exactly `bytes` bytes.
Bytes svgOfSize(qsizetype bytes) {
    Bytes svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"60\" height=\"30\">"
                "<rect x=\"5\" y=\"5\" width=\"50\" height=\"20\" fill=\"red\"/></svg>\n";
    return svg + "<!--" + Bytes(bytes - svg.size() - 8, 'x') + "-->\n";
}

TEST(PictureLoader, StandInConvertersThatHangFailLieOrWriteTooMuch) {
    QTemporaryDir dir;
    constexpr qint64 kLimit = 4096;
    constexpr int kTimeoutMs = 2000;
    write(dir, "limit.svg", svgOfSize(kLimit));
    write(dir, "over.svg", svgOfSize(kLimit + 1));
    const QString path = write(dir, "drawing.emf", emf());
    const QString refused = QStringLiteral("Cannot convert metafile %1").arg(path);
    const QString pidFile = dir.filePath(QStringLiteral("pid"));
    const QByteArray in = "cd " + dir.path().toUtf8() + "\n";
    struct Case {
        const char* name;
        QByteArray body;
        bool loads; // at 60 x 30, or refused
    };
    const Case cases[] = {
        {"at-the-limit", in + "cp limit.svg \"$out\"", true},
        {"over-the-limit", in + "cp over.svg \"$out\"", false},
        // Writing on past the limit: stopped at once, not when its time is up.
        {"runaway", in + "cp limit.svg \"$out\"; exec cat /dev/zero >>\"$out\"", false},
        {"compressed", in + "gzip -c limit.svg >\"$out\"", false},
        {"reports-failure", in + "cp limit.svg \"$out\"; exit 1", false},
        {"killed-by-a-signal", in + "cp limit.svg \"$out\"; kill -9 $$", false},
        // The locale of the converter is C, whatever the user's is.
        {"locale", in + "[ \"$LC_ALL\" = C ] && [ -z \"${LANG+set}\" ] && cp limit.svg \"$out\"",
         true},
        // Past its time, with a child of its own: both are killed.
        {"hangs", "sleep 60 & echo $! >>" + pidFile.toUtf8() + "; wait", false},
    };
    qputenv("LANG", "de_DE.UTF-8");
    qputenv("LC_ALL", "de_DE.UTF-8");
    for (const Case& c : cases) {
        MetafileConverters tools;
        tools.emf = writeConverter(dir.filePath(c.name), c.body);
        tools.timeoutMs = kTimeoutMs;
        tools.maxSvgBytes = kLimit;
        QElapsedTimer clock;
        clock.start();
        const LoadedPicture loaded = loadAndWait(path, tools);
        EXPECT_EQ(loaded.error, c.loads ? QString() : refused) << c.name;
        EXPECT_EQ(loaded.image.size(), c.loads ? QSize(60, 30) : QSize(0, 0)) << c.name;
        // Only the one that hangs waits for its time limit (which a coarse
        // timer may end up to 5 % early).
        const bool hangs = QByteArray(c.name) == "hangs";
        EXPECT_EQ(clock.elapsed() >= kTimeoutMs * 9 / 10, hangs) << c.name;
        EXPECT_LT(clock.elapsed(), kTimeoutMs + 3000) << c.name;
    }
    qunsetenv("LANG");
    qunsetenv("LC_ALL");
    EXPECT_TRUE(allEnd(pidFile));

    MetafileConverters missing;
    missing.emf = dir.filePath(QStringLiteral("no-such-converter"));
    EXPECT_EQ(loadAndWait(path, missing).error, refused);
}

// The open dialog's preview and the viewer: only the latest load's outcome
// comes; a superseded converter, or one still running when its loader goes,
// is killed.
TEST(PictureLoader, ANewerLoadDropsTheOlderAndItsConverter) {
    QTemporaryDir dir;
    const QString pidFile = dir.filePath(QStringLiteral("pids"));
    MetafileConverters tools;
    tools.emf = writeConverter(dir.filePath("slow.sh"),
                               "echo $$ >>" + pidFile.toUtf8() + "; exec sleep 60");
    const QString slow = write(dir, "slow.emf", emf());
    const QString bitmap = write(dir, "shot.bmp", bmp(7, 3));
    std::vector<QString> outcomes;
    {
        PictureLoader loader(tools);
        QObject::connect(&loader, &PictureLoader::Loaded,
                         [&](const QString& path, const LoadedPicture& picture) {
                             outcomes.push_back(QFileInfo(path).fileName() + " " +
                                                (picture.error.isEmpty() ? "shown" : "refused"));
                         });
        loader.Load(slow);
        waitForPids(pidFile, 1);
        EXPECT_TRUE(loader.Busy());
        loader.Load(bitmap); // read at once
        EXPECT_FALSE(loader.Busy());
        EXPECT_TRUE(allEnd(pidFile));

        loader.Load(slow);
        waitForPids(pidFile, 2);
        loader.Load(slow); // the same file again: the first run is dropped
        waitForPids(pidFile, 3);
        EXPECT_EQ(pidsIn(pidFile).size(), 3u);
    }
    EXPECT_TRUE(allEnd(pidFile)); // the last one with its loader
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(outcomes, std::vector<QString>{"shot.bmp shown"});
}

} // namespace
