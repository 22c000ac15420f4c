// Snapshots and the viewer: the frozen display saved as an annotated 32-bit
// bitmap in the Images folder, and pictures opened in the viewer window.
#include "app/EditForm.h"
#include "app/Form1.h"
#include "app/Paths.h"
#include "app/PictureLoader.h"
#include "display/Bmp.h"
#include "display/CursorReadout.h"
#include "display/ImageView.h"
#include "display/Picture.h"

#include <QDir>
#include <QSaveFile>
#include <QToolButton>

namespace {

const std::vector<FileDialogRequest::Filter> kOpenFilters = {
    {QStringLiteral("All (*.dib;*.bmp;*.ico;*.emf;*.wmf)"),
     QStringLiteral("*.dib;*.bmp;*.ico;*.emf;*.wmf")},
    {QStringLiteral("Device Independent Bitmap (*.dib)"), QStringLiteral("*.dib")},
    {QStringLiteral("Bitmaps (*.bmp)"), QStringLiteral("*.bmp")},
    {QStringLiteral("Icons (*.ico)"), QStringLiteral("*.ico")},
    {QStringLiteral("Enhanced Metafiles (*.emf)"), QStringLiteral("*.emf")},
    {QStringLiteral("Metafiles (*.wmf)"), QStringLiteral("*.wmf")},
};

// The Images folder, created with its parents when it is missing (the
// installed copy's ~/Pictures may not exist yet). A failure is not reported:
// the dialogs then start in the system's default folder, as they do when
// there is no folder at all (an installed copy without a home folder).
QString MakeImagesFolder(const QString& programFolder, const QString& installPrefix) {
    const QString folder = ImagesFolderPath(programFolder, installPrefix);
    if (!folder.isEmpty()) QDir().mkpath(folder);
    return folder;
}

// Writes `picture` (32 bits per pixel) as a BMP file, replacing any file of
// that name. The bytes go to a temporary file in the same folder, which is
// renamed over the old file only when all of them are on disk: a save that
// fails half way (a full disk) leaves the picture that was there as it was,
// and no partial file. Returns the error box's text, or empty on success.
QString WriteBmpFile(const QString& path, const QImage& picture) {
    const QString shown = QDir::toNativeSeparators(path);
    const std::vector<std::uint8_t> bytes =
        EncodeBmp32(reinterpret_cast<const std::uint32_t*>(picture.constBits()), picture.width(),
                    picture.height(), static_cast<int>(picture.bytesPerLine() / 4));
    // No direct-write fallback: where no temporary file can be made (a
    // folder we may not write to) the old picture is not risked.
    QSaveFile file(path);
    if (bytes.empty() || !file.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot create file %1").arg(shown);
    // A failed write or commit must not pass for a saved picture; the
    // temporary file goes with `file` unless it was committed.
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(reinterpret_cast<const char*>(bytes.data()), size) != size || !file.commit())
        return QStringLiteral("Cannot write file %1").arg(shown);
    return {};
}

} // namespace

void TForm1::SaveButtonClick() {
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Save;
    request.directory = MakeImagesFolder(ProgramFolder, InstallPrefix);
    request.fileName = SaveDialogFileName;
    // One entry whose text is its own pattern.
    request.filters = {{QStringLiteral("*.f*"), QStringLiteral("*.f*")}};
    const QString chosen = platform_.chooseFile(this, request);
    if (chosen.isEmpty()) return;

    // The operator's name plus the view's suffix, also when the name has an
    // extension of its own; the next save proposes the result.
    const char* suffix = Specbutton->isChecked()   ? ".Spec.bmp"
                         : WaveButton->isChecked() ? ".Wave.bmp"
                                                   : ".Sona.bmp";
    const QString path = chosen + QLatin1String(suffix);
    SaveDialogFileName = path;

    QImage& picture = SpecDisplay->picture();
    DrawAnnotation(picture, SnapshotAnnotation(SampleRate, MarkPos, SpacePos, ZoomRatio, BinWidth));
    SpecDisplay->pictureChanged();
    const QString error = WriteBmpFile(path, picture);
    if (!error.isEmpty()) {
        // The annotation stays on the display until the next redraw.
        platform_.toolkitErrorBox(this, error);
        return;
    }
    // The annotation's boxes may cover the cursors: draw them again on the
    // screen (the file is written). The sonagraph's cursors live in the strip.
    if (!SonaButton->isChecked()) DrawCursor(SpecDisplay);
}

void TForm1::OpenButtonClick() {
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Open;
    request.directory = MakeImagesFolder(ProgramFolder, InstallPrefix);
    request.filters = kOpenFilters;
    const QString chosen = platform_.chooseFile(this, request);
    if (chosen.isEmpty()) return;

    // A metafile's picture comes when its converter has ended, the window
    // running meanwhile; a newer open drops it.
    pictureLoader_->Load(chosen);
}

void TForm1::ShowOpenedPicture(const LoadedPicture& loaded) {
    if (!loaded.error.isEmpty()) {
        // The viewer keeps its previous picture and stays as it was.
        platform_.toolkitErrorBox(this, loaded.error);
        return;
    }
    EditForm->SetPicture(loaded.image);
    EditForm->show(); // sizes it to the picture when it was hidden
    EditForm->raise();
    EditForm->activateWindow();
}
