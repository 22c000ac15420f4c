// Loads pictures for the viewer and the open dialog's preview without
// holding up the GUI thread, which draws the recording: a metafile's
// converter runs as a child process that the event loop watches, and the SVG
// it writes is parsed and drawn on a pool thread (a large one takes
// seconds). Bitmaps and icons are read at once: Qt's readers are quick.
//
// One load at a time: a new Load supersedes one still under way, whose
// converter is killed and whose result never arrives. Destroying the loader
// does the same, so no converter outlives its window or the program.
#pragma once

#include "app/PictureFile.h"

#include <QObject>
#include <QSize>

class PictureLoader : public QObject {
    Q_OBJECT
public:
    // `fitInto`: a larger picture is scaled down to fit, keeping its shape
    // (the preview); empty: every picture at its natural size.
    explicit PictureLoader(const MetafileConverters& converters, QSize fitInto = {},
                           QObject* parent = nullptr);
    ~PictureLoader() override;

    // Loads `path`; Loaded tells the outcome. For anything that needs no
    // converter (bitmaps, icons, a file that cannot be opened) it comes
    // before Load returns.
    void Load(const QString& path);
    // Drops the load under way, if any: its converter is killed and Loaded
    // does not come for it.
    void Cancel();
    // True while a metafile is being converted or drawn.
    bool Busy() const { return conversion_ != nullptr; }

signals:
    void Loaded(const QString& path, const LoadedPicture& picture);

private:
    struct Conversion;
    void ConverterEnded(bool converted);
    void StopConverter(Conversion& conversion);
    void Deliver(const QString& path, LoadedPicture picture);

    MetafileConverters converters_;
    QSize fitInto_;
    Conversion* conversion_ = nullptr; // a child of the loader
};
