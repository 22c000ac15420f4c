#include "app/Application.h"

#include "app/AboutBox.h"
#include "app/EditForm.h"
#include "app/Form1.h"
#include "app/Form2.h"

#include <QApplication>
#include <QThread>

namespace {

// How often a termination looks again for a box to dismiss or for the end
// of a modal loop.
constexpr int kTerminationStepMs = 50;
// The program's main event loop is the first one; any deeper one belongs to
// a modal box or dialog.
constexpr int kMainLoopLevel = 1;

} // namespace

QuarlApplication::QuarlApplication(wavein::WaveInDevice& device, Platform platform)
    : device_(device), platform_(std::move(platform)) {
    terminationTimer_.setInterval(kTerminationStepMs);
    connect(&terminationTimer_, &QTimer::timeout, this, &QuarlApplication::ContinueTermination);
}

QuarlApplication::~QuarlApplication() {
    // The dialog's handlers reach into the main window: it goes first.
    aboutBox_.reset();
    editForm_.reset();
    form2_.reset();
    form1_.reset();
}

void QuarlApplication::CreateWindows(const QString& programFolder) {
    form1_ = std::make_unique<TForm1>(device_, platform_);
    if (!programFolder.isEmpty()) form1_->ProgramFolder = programFolder;
    form2_ = std::make_unique<TForm2>();
    form1_->Form2 = form2_.get();
    form2_->Form1 = form1_.get();

    editForm_ = std::make_unique<TEditForm>();
    form1_->EditForm = editForm_.get();
    QApplication::setWindowIcon(ProgramIconPicture());
    // Last: its timer counts from here.
    aboutBox_ = std::make_unique<TAboutBox>(platform_.splashIntervalMs);
}

bool QuarlApplication::Start() {
    if (!terminating_) aboutBox_->exec();
    splashDone_ = true;
    if (terminating_) return false;
    form1_->FormCreate();
    if (form1_->IsClosed()) return false;
    form1_->show();
    return true;
}

void QuarlApplication::Terminate() {
    if (terminating_) return;
    terminating_ = true;
    if (!splashDone_) {
        // The splash's own reject() does nothing (only its timer ends it).
        aboutBox_->done(QDialog::Rejected);
        return;
    }
    terminationTimer_.start();
    ContinueTermination();
}

void QuarlApplication::ContinueTermination() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        return; // its loop returns first; the next step goes on
    }
    if (QThread::currentThread()->loopLevel() > kMainLoopLevel || form1_->IsClosed()) return;
    // Queued, so that this step has returned when the close runs: a box
    // that the close itself raises is then dismissed by the next step.
    QMetaObject::invokeMethod(form1_.get(), &TForm1::CloseWindow, Qt::QueuedConnection);
}
