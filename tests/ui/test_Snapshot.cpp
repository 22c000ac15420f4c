// Snapshots and the viewer through the main window's buttons, with the file
// dialogs answered by the test.
#include "Harness.h"
#include "app/EditForm.h"
#include "display/Bmp.h"
#include "display/ImageView.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QToolButton>
#include <QtCore/qtestsupport_core.h>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

constexpr QRgb kGreen = 0xFF008000;
constexpr QRgb kRed = 0xFFFF0000;

struct Snapshots : Harness {
    QString images() const { return QDir(folder.path()).filePath(QStringLiteral("Images")); }
    QString inImages(const char* name) const { return QDir(images()).filePath(name); }

    explicit Snapshots(const MetafileConverters& converters = {}) {
        metafiles = converters;
        start();
        blocks(3);
        form1->Onbutton->click();
    }

    // Clicks `button` with the dialog answering `answer` (full path; empty: cancel).
    void click(QToolButton* button, const QString& answer) {
        answers.push_back(answer);
        button->click();
    }
};

TEST(Snapshot, NamesCarryTheViewsSuffixAndTheNextSaveProposesThem) {
    Snapshots h;
    h.click(h.form1->SaveButton, h.inImages("Untitled"));
    ASSERT_EQ(h.dialogs.size(), 1u);
    EXPECT_EQ(h.dialogs[0].kind, FileDialogRequest::Kind::Save);
    EXPECT_EQ(h.dialogs[0].directory, h.images());
    EXPECT_EQ(h.dialogs[0].fileName, "Untitled");
    ASSERT_EQ(h.dialogs[0].filters.size(), 1u);
    EXPECT_EQ(h.dialogs[0].filters[0].text, "*.f*");
    h.click(h.form1->SaveButton, h.inImages("Untitled.Spec.bmp")); // the proposal as it stands
    EXPECT_EQ(h.dialogs[1].fileName, h.inImages("Untitled.Spec.bmp"));
    h.form1->WaveButton->click();
    h.click(h.form1->SaveButton, h.inImages("peak.bmp")); // a typed extension stays
    h.form1->SonaButton->click();
    h.click(h.form1->SaveButton, h.inImages("sona"));
    h.click(h.form1->SaveButton, QString()); // cancelled: nothing written
    EXPECT_EQ(h.dialogs.back().fileName, h.inImages("sona.Sona.bmp"));
    EXPECT_EQ(QDir(h.images()).entryList(QDir::Files, QDir::Name),
              QStringList({"Untitled.Spec.bmp", "Untitled.Spec.bmp.Spec.bmp", "peak.bmp.Wave.bmp",
                           "sona.Sona.bmp"}));
    EXPECT_TRUE(h.toolkitBoxes.empty());
}

TEST(Snapshot, TheFileHoldsTheAnnotatedDisplayAndOnlyTheScreenGetsItsCursorsBack) {
    Snapshots h;
    QImage& display = h.form1->SpecDisplay->picture();
    const int w = display.width();
    h.form1->MarkPos = static_cast<std::uint16_t>(w - 70); // under the first line's box

    // Not written: the box, and the cursor stays covered on the screen too.
    const QString nowhere = h.inImages("no-such-folder/shot");
    h.click(h.form1->SaveButton, nowhere);
    EXPECT_EQ(h.toolkitBoxes, std::vector<std::string>{"Cannot create file " +
                                                       nowhere.toStdString() + ".Spec.bmp"});
    EXPECT_NE(display.pixel(w - 70, 6), kGreen);

    h.click(h.form1->SaveButton, h.inImages("shot"));
    QFile file(h.inImages("shot.Spec.bmp"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 54 + 4 * w * display.height());
    EXPECT_EQ(bytes[28], 32); // bits per pixel
    const QImage saved = QImage::fromData(bytes, "BMP");
    ASSERT_EQ(saved.size(), display.size());
    EXPECT_NE(saved.pixel(w - 70, 6) | 0xFF000000, kGreen);
    EXPECT_EQ(display.pixel(w - 70, 6), kGreen);
    EXPECT_EQ(saved.pixel(h.form1->SpacePos, 60) | 0xFF000000, kRed);
    int green = 0, red = 0;
    for (int y = 25; y < 60; ++y)
        for (int x = w - 60; x < w; ++x) {
            const QRgb p = saved.pixel(x, y) | 0xFF000000;
            green += y < 45 && p == kGreen;
            red += y >= 45 && p == kRed;
        }
    EXPECT_GT(green, 20);
    EXPECT_GT(red, 20);

    // The sonagraph's cursors live in the strip: none are drawn over it.
    h.form1->SonaButton->click();
    h.form1->MarkPos = 20;
    h.click(h.form1->SaveButton, h.inImages("sona"));
    EXPECT_NE(display.pixel(20, display.height() / 2), kGreen);
}

void writeBmp(const QString& path, int w, int h) {
    std::vector<std::uint32_t> pixels(static_cast<size_t>(w) * h, 0xFF0000FF);
    const auto bytes = EncodeBmp32(pixels.data(), w, h, w);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

TEST(Snapshot, AFailedWriteKeepsThePictureThatWasThereAndLeavesNoPartialFile) {
    Snapshots h;
    const QString shot = h.inImages("shot.Spec.bmp");
    ASSERT_TRUE(QDir().mkpath(h.images()));
    writeBmp(shot, 40, 30);
    // No file may grow past 4 kB, as on a full disk (the snapshot has some 190 kB).
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const rlimit full{4096, old.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
    h.click(h.form1->SaveButton, h.inImages("shot"));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(h.toolkitBoxes, std::vector<std::string>{"Cannot write file " + shot.toStdString()});
    EXPECT_EQ(QImage(shot).size(), QSize(40, 30));
    EXPECT_EQ(QDir(h.images()).entryList(QDir::Files | QDir::Hidden), QStringList("shot.Spec.bmp"));
}

TEST(Viewer, OpensAtThePicturesSizeAndKeepsItsSizeForTheNext) {
    Snapshots h;
    TEditForm* viewer = h.form1->EditForm;
    QDir(h.images()).removeRecursively(); // made again by the next open
    h.click(h.form1->OpenButton, QString());
    EXPECT_TRUE(QDir(h.images()).exists());
    const FileDialogRequest& request = h.dialogs.at(0);
    EXPECT_EQ(request.kind, FileDialogRequest::Kind::Open);
    EXPECT_EQ(request.directory, h.images());
    QStringList filters;
    for (const auto& f : request.filters)
        filters << f.text + "|" + f.patterns;
    EXPECT_EQ(filters,
              QStringList({"All (*.dib;*.bmp;*.ico;*.emf;*.wmf)|*.dib;*.bmp;*.ico;*.emf;*.wmf",
                           "Device Independent Bitmap (*.dib)|*.dib", "Bitmaps (*.bmp)|*.bmp",
                           "Icons (*.ico)|*.ico", "Enhanced Metafiles (*.emf)|*.emf",
                           "Metafiles (*.wmf)|*.wmf"}));
    EXPECT_FALSE(viewer->isVisible());

    writeBmp(h.inImages("big.bmp"), 512, 93);
    writeBmp(h.inImages("small.dib"), 40, 30);
    h.click(h.form1->OpenButton, h.inImages("big.bmp"));
    ASSERT_TRUE(viewer->isVisible());
    EXPECT_EQ(QSize(viewer->OuterWidth(), viewer->OuterHeight()), QSize(532, 143));
    h.click(h.form1->OpenButton, h.inImages("small.dib"));
    EXPECT_EQ(viewer->Picture().size(), QSize(40, 30));
    EXPECT_EQ(QSize(viewer->OuterWidth(), viewer->OuterHeight()), QSize(532, 143));

    // A picture that does not load: the box, and the viewer as it was.
    viewer->Exit1->trigger();
    EXPECT_FALSE(viewer->isVisible());
    h.click(h.form1->OpenButton, h.inImages("notes.txt"));
    EXPECT_EQ(h.toolkitBoxes, std::vector<std::string>{"Unknown picture file extension (.txt)"});
    EXPECT_FALSE(viewer->isVisible());
    EXPECT_EQ(viewer->Picture().size(), QSize(40, 30));
}

// A metafile converts for 8 s while the window runs on: the event loop never
// pauses for 50 ms and the settings dialog opens; then its picture shows, and
// not that of the open before, which would have come after 1 s.
TEST(Viewer, TheWindowRunsOnWhileAMetafileConverts) {
    QTemporaryDir tools; // the stand-in converter, and metafiles that only it reads
    writeBmp(tools.filePath("superseded.emf"), 1, 1);
    writeBmp(tools.filePath("slow.emf"), 1, 1);
    QFile script(tools.filePath("convert.sh"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\ncase $2 in *slow*) sleep 8; w=60 ;; *) sleep 1; w=30 ;; esac\necho "
                 "\"<svg xmlns='http://www.w3.org/2000/svg' width='$w' height='30'/>\" >$4\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    Snapshots h({script.fileName()});
    h.click(h.form1->OpenButton, tools.filePath("superseded.emf"));

    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longestPause = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestPause = std::max(longestPause, clock.elapsed() - last);
        last = clock.elapsed();
    });
    tick.start(5);
    bool settingsOpened = false;
    QTimer::singleShot(1000, [&] {
        h.form1->SpeedButton3->click();
        settingsOpened = h.form2->isVisible();
        last = clock.elapsed(); // the dialog's own first show is not the viewer's pause
    });
    h.click(h.form1->OpenButton, tools.filePath("slow.emf"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return h.form1->EditForm->isVisible(); }, 20000));
    EXPECT_GE(clock.elapsed(), 8000);
    EXPECT_LT(longestPause, 50);
    EXPECT_TRUE(settingsOpened);
    EXPECT_EQ(h.form1->EditForm->Picture().size(), QSize(60, 30));
    EXPECT_TRUE(h.toolkitBoxes.empty());
}

} // namespace
