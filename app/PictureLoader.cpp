#include "app/PictureLoader.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QProcess>
#include <QPromise>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <memory>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QImage FitInto(const QImage& image, QSize room) {
    if (room.isEmpty() || (image.width() <= room.width() && image.height() <= room.height()))
        return image;
    return image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// A converter that honours the user's locale could write decimal commas
// into the SVG's coordinates.
QProcessEnvironment ConverterEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    environment.remove(QStringLiteral("LANG"));
    return environment;
}

// Runs in the converter's process between fork and exec (system calls only).
// Its own process group, so that a kill reaches whatever it started; killed
// with the program however that ends; files beyond the SVG limit refused as
// they are written (the process dies of SIGXFSZ, without a core file), so a
// runaway converter cannot fill the disk before its time is up.
void PrepareConverterProcess(pid_t program, qint64 maxSvgBytes) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != program) ::_exit(127); // the program has already gone
    const rlimit size{static_cast<rlim_t>(maxSvgBytes) + 1, static_cast<rlim_t>(maxSvgBytes) + 1};
    ::setrlimit(RLIMIT_FSIZE, &size);
    const rlimit core{0, 0};
    ::setrlimit(RLIMIT_CORE, &core);
}

void KillConverter(QProcess& converter) {
    const auto pid = static_cast<pid_t>(converter.processId());
    if (pid > 0) ::kill(-pid, SIGKILL); // not yet reaped: the group is still its own
    converter.kill();                   // in case it had not made its group yet
}

} // namespace

struct PictureLoader::Conversion : QObject {
    explicit Conversion(QObject* parent) : QObject(parent) {}

    QString path;
    // Where the converter writes; removed once neither the converter nor
    // the drawing needs it.
    std::shared_ptr<QTemporaryDir> scratch = std::make_shared<QTemporaryDir>();
    QString svg;
    QProcess* converter = nullptr; // while it runs
    QTimer* limit = new QTimer(this);
    QFutureWatcher<LoadedPicture>* drawing = nullptr;
    // Set when the result is no longer wanted: a drawing not yet begun is skipped.
    std::shared_ptr<std::atomic<bool>> dropped = std::make_shared<std::atomic<bool>>(false);
};

PictureLoader::PictureLoader(const MetafileConverters& converters, QSize fitInto, QObject* parent)
    : QObject(parent), converters_(converters), fitInto_(fitInto) {}

PictureLoader::~PictureLoader() {
    Cancel();
}

void PictureLoader::Load(const QString& path) {
    Cancel();
    if (std::optional<LoadedPicture> read = ReadPictureFile(path)) {
        Deliver(path, std::move(*read));
        return;
    }
    auto* c = new Conversion(this);
    c->path = path;
    if (!c->scratch->isValid()) {
        delete c;
        Deliver(path, MetafilePictureFromSvg(path, false, QString()));
        return;
    }
    c->svg = c->scratch->filePath(QStringLiteral("picture.svg"));
    conversion_ = c;

    auto* converter = new QProcess(this);
    c->converter = converter;
    // Nothing reads its output: a converter that talks much must not stall
    // on a full pipe.
    converter->setStandardOutputFile(QProcess::nullDevice());
    converter->setStandardErrorFile(QProcess::nullDevice());
    converter->setStandardInputFile(QProcess::nullDevice());
    converter->setProcessEnvironment(ConverterEnvironment());
    converter->setChildProcessModifier([program = ::getpid(), max = converters_.maxSvgBytes] {
        PrepareConverterProcess(program, max);
    });
    connect(converter, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        ConverterEnded(status == QProcess::NormalExit && code == 0);
    });
    connect(converter, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) ConverterEnded(false);
    });
    c->limit->setSingleShot(true);
    connect(c->limit, &QTimer::timeout, this, [this] { ConverterEnded(false); });
    c->limit->start(converters_.timeoutMs);
    // A converter that cannot be started may be reported from inside start():
    // everything above is in place by then.
    if (IsEnhancedMetafile(path))
        converter->start(converters_.emf,
                         {QStringLiteral("-i"), path, QStringLiteral("-o"), c->svg});
    else
        converter->start(converters_.wmf, {QStringLiteral("-o"), c->svg, path});
}

void PictureLoader::Cancel() {
    if (conversion_ == nullptr) return;
    Conversion* c = std::exchange(conversion_, nullptr);
    StopConverter(*c);
    *c->dropped = true;
    c->limit->disconnect(this);
    if (c->drawing != nullptr) c->drawing->disconnect(this);
    // Later: its timer or its watcher may be the sender of the signal being
    // handled. (A drawing under way runs to its end; nobody takes its result.)
    c->deleteLater();
}

void PictureLoader::StopConverter(Conversion& c) {
    c.limit->stop();
    QProcess* converter = std::exchange(c.converter, nullptr);
    if (converter == nullptr) return;
    converter->disconnect(this);
    if (converter->state() != QProcess::NotRunning) {
        KillConverter(*converter);
        // The event loop reaps it; nothing waits for it here. It goes to the
        // application meanwhile: a QProcess destroyed before its child has
        // been reaped would wait for it.
        converter->setParent(QCoreApplication::instance());
        connect(converter, &QProcess::stateChanged, converter,
                [converter, scratch = c.scratch](QProcess::ProcessState state) {
                    if (state == QProcess::NotRunning) converter->deleteLater();
                });
        return;
    }
    converter->deleteLater(); // we may be inside its signal
}

void PictureLoader::ConverterEnded(bool converted) {
    Conversion& c = *conversion_;
    StopConverter(c);
    if (!converted) {
        const QString path = c.path;
        Cancel();
        Deliver(path, MetafilePictureFromSvg(path, false, QString()));
        return;
    }
    // Parsing and drawing a large SVG takes seconds: on a pool thread. The
    // watcher brings the result back to this thread, and takes the promise's
    // result with it when the load is dropped meanwhile.
    auto promise = std::make_shared<QPromise<LoadedPicture>>();
    c.drawing = new QFutureWatcher<LoadedPicture>(&c);
    c.drawing->setFuture(promise->future());
    connect(c.drawing, &QFutureWatcherBase::finished, this, [this] {
        const QFuture<LoadedPicture> future = conversion_->drawing->future();
        const QString path = conversion_->path;
        LoadedPicture picture = future.resultCount() > 0
                                    ? future.result()
                                    : MetafilePictureFromSvg(path, false, QString());
        Cancel();
        Deliver(path, std::move(picture));
    });
    promise->start();
    QThreadPool::globalInstance()->start([promise, path = c.path, svg = c.svg, scratch = c.scratch,
                                          dropped = c.dropped, max = converters_.maxSvgBytes,
                                          room = fitInto_] {
        if (!*dropped) {
            LoadedPicture picture = MetafilePictureFromSvg(path, true, svg, max);
            if (!*dropped) picture.image = FitInto(picture.image, room);
            promise->addResult(std::move(picture));
        }
        promise->finish();
    });
}

void PictureLoader::Deliver(const QString& path, LoadedPicture picture) {
    if (!picture.image.isNull()) picture.image = FitInto(picture.image, fitInto_);
    emit Loaded(path, picture);
}
