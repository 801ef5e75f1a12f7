// The setpoint change in the station: the workflow, its ProgressWindow (created with the
// main window's feature windows) and the editor and access code dialogs it opens.
#pragma once

#include <QPointer>
#include <string>

#include "monitor/feature_window_set.h"
#include "setpoints/setpoint_programming.h"
#include "setpoints/ui/progress_window.h"

class QWidget;

namespace km8 {

class SetpointProgrammingFeature final : public SetpointDialogs {
 public:
  // `mainWindow` owns the windows; an empty services.pause sleeps on the calling thread.
  SetpointProgrammingFeature(QWidget& mainWindow, SetpointBlock& block, PollCycle& poll,
                             SharedSettings& settings, MainWindowFront& front,
                             MessageBoxHost& messages, ProgrammingServices services);
  ~SetpointProgrammingFeature() override;
  SetpointProgrammingFeature(const SetpointProgrammingFeature&) = delete;
  SetpointProgrammingFeature& operator=(const SetpointProgrammingFeature&) = delete;

  SetpointProgramming& workflow() { return workflow_; }
  // Creates the ProgressWindow, hidden, at the main window's initialisation, and
  // destroys it with the main window.
  FeatureWindowPiece windowPiece();
  ProgressWindow* progressWindow() const { return progress_; }

  // SetpointDialogs
  bool editSetpoints(SetpointBlock& block) override;
  bool askAccessCode(std::string& entry) override;

 private:
  bool createWindow();
  void destroyWindow();

  QWidget& mainWindow_;
  MessageBoxHost& messages_;
  SetpointProgramming workflow_;
  QPointer<ProgressWindow> progress_;
};

}  // namespace km8
