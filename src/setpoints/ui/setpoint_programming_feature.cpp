#include "setpoints/ui/setpoint_programming_feature.h"

#include <QThread>

#include "setpoints/ui/access_code_dialog.h"
#include "setpoints/ui/setpoint_editor.h"

namespace km8 {
namespace {

ProgrammingServices withDefaultPause(ProgrammingServices services) {
  if (!services.pause) {
    services.pause = [](std::chrono::milliseconds ms) {
      QThread::msleep(static_cast<unsigned long>(ms.count()));
    };
  }
  return services;
}

}  // namespace

SetpointProgrammingFeature::SetpointProgrammingFeature(QWidget& mainWindow, SetpointBlock& block,
                                                       PollCycle& poll, SharedSettings& settings,
                                                       MainWindowFront& front,
                                                       MessageBoxHost& messages,
                                                       ProgrammingServices services)
    : mainWindow_(mainWindow),
      messages_(messages),
      workflow_(block, poll, settings, front, messages, withDefaultPause(std::move(services))) {}

SetpointProgrammingFeature::~SetpointProgrammingFeature() { destroyWindow(); }

FeatureWindowPiece SetpointProgrammingFeature::windowPiece() {
  return {.create = [this] { return createWindow(); },
          .centre = {},
          .destroy = [this] { destroyWindow(); }};
}

bool SetpointProgrammingFeature::createWindow() {
  if (progress_) return true;
  progress_ = new ProgressWindow(&mainWindow_);
  progress_->setCancelHandler([this] { workflow_.onProgressCancel(); });
  workflow_.attachViews(*progress_, *this);
  return true;
}

void SetpointProgrammingFeature::destroyWindow() {
  workflow_.detachViews();
  delete progress_.data();
}

// The dialogs live on the heap under a guard: should the main window go while one is
// open, it takes the dialog with it and nothing is deleted twice.
bool SetpointProgrammingFeature::editSetpoints(SetpointBlock& block) {
  QPointer<SetpointEditor> editor = new SetpointEditor(block, messages_, &mainWindow_);
  const bool ok = editor->exec() == QDialog::Accepted;
  delete editor.data();
  return ok;
}

bool SetpointProgrammingFeature::askAccessCode(std::string& entry) {
  QPointer<AccessCodeDialog> dialog = new AccessCodeDialog(&mainWindow_);
  const bool ok = dialog->exec() == QDialog::Accepted && dialog;
  if (ok) entry = dialog->takeEntry();
  delete dialog.data();
  return ok;
}

}  // namespace km8
