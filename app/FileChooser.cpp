#include "app/FileChooser.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>

namespace {

constexpr int kPreviewSize = 160;
// A preview must not hold the dialog up for long on a slow metafile.
constexpr int kPreviewTimeoutMs = 1500;

// Shows the picture of the file the operator points at, scaled down to fit.
class PicturePreview : public QLabel {
public:
    PicturePreview(const MetafileConverters& converters, QWidget* parent)
        : QLabel(parent), converters_(converters) {
        converters_.timeoutMs = std::min(converters_.timeoutMs, kPreviewTimeoutMs);
        setFixedSize(kPreviewSize, kPreviewSize);
        setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        setAlignment(Qt::AlignCenter);
    }

    void ShowFile(const QString& path) {
        const LoadedPicture loaded =
            QFileInfo(path).isFile() ? LoadPictureFile(path, converters_) : LoadedPicture{};
        if (loaded.image.isNull()) {
            setPixmap({});
            setText(QStringLiteral("(None)"));
            return;
        }
        QImage image = loaded.image;
        if (image.width() > width() - 4 || image.height() > height() - 4)
            image = image.scaled(width() - 4, height() - 4, Qt::KeepAspectRatio,
                                 Qt::SmoothTransformation);
        setPixmap(QPixmap::fromImage(image));
    }

private:
    MetafileConverters converters_;
};

} // namespace

QString RunFileDialog(QWidget* parent, const FileDialogRequest& request,
                      const MetafileConverters& converters) {
    const bool save = request.kind == FileDialogRequest::Kind::Save;
    QFileDialog dialog(parent);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString());
    // Qt reads the patterns from the last parentheses of each entry, split at
    // blanks; with the details hidden the list shows the texts as they are.
    QStringList filters;
    for (const FileDialogRequest::Filter& f : request.filters)
        filters << QStringLiteral("%1 (%2)").arg(f.text, QString(f.patterns).replace(';', ' '));
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(filters);
    if (QFileInfo(request.directory).isDir()) dialog.setDirectory(request.directory);
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    if (save) {
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        // Only Qt's own dialog can take a preview pane.
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
        if (grid != nullptr) {
            auto* preview = new PicturePreview(converters, &dialog);
            grid->addWidget(preview, 1, grid->columnCount(), grid->rowCount() - 1, 1, Qt::AlignTop);
            QObject::connect(&dialog, &QFileDialog::currentChanged, preview,
                             [preview](const QString& path) { preview->ShowFile(path); });
            // A name typed into the dialog selects its file without making it
            // the current one: follow the selection too.
            if (auto* list = dialog.findChild<QListView*>(QStringLiteral("listView")))
                QObject::connect(list->selectionModel(), &QItemSelectionModel::selectionChanged,
                                 preview, [preview, &dialog] {
                                     const QStringList files = dialog.selectedFiles();
                                     preview->ShowFile(files.isEmpty() ? QString() : files.first());
                                 });
            preview->ShowFile({});
        }
    }
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}
