#include "app/FileChooser.h"

#include "app/PictureLoader.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <algorithm>

namespace {

constexpr int kPreviewSize = 160;
// The picture inside the frame.
constexpr int kPreviewRoom = kPreviewSize - 4;
// A preview is not worth a long wait for a slow metafile.
constexpr int kPreviewTimeoutMs = 1500;

MetafileConverters PreviewConverters(MetafileConverters converters) {
    converters.timeoutMs = std::min(converters.timeoutMs, kPreviewTimeoutMs);
    return converters;
}

// Shows the picture of the file the operator points at, scaled down to fit.
// A metafile's picture comes when its converter has ended; pointing at
// another file drops it, so the latest selection always wins.
class PicturePreview : public QLabel {
public:
    PicturePreview(const MetafileConverters& converters, QWidget* parent)
        : QLabel(parent),
          loader_(PreviewConverters(converters), QSize(kPreviewRoom, kPreviewRoom)) {
        setFixedSize(kPreviewSize, kPreviewSize);
        setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        setAlignment(Qt::AlignCenter);
        connect(&loader_, &PictureLoader::Loaded, this,
                [this](const QString&, const LoadedPicture& loaded) { Show(loaded.image); });
    }

    void ShowFile(const QString& path) {
        // The current file and the selection both report a click: one
        // conversion is enough.
        if (path == path_ && loader_.Busy()) return;
        path_ = path;
        Show(QImage());
        if (QFileInfo(path).isFile())
            loader_.Load(path);
        else
            loader_.Cancel();
    }

private:
    void Show(const QImage& image) {
        if (image.isNull()) {
            setPixmap({});
            setText(QStringLiteral("(None)"));
        } else {
            setPixmap(QPixmap::fromImage(image));
        }
    }

    PictureLoader loader_;
    QString path_; // the file shown or being converted
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
