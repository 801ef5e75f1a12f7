// The setpoint report as the main window hosts it: the report with its copy of the block,
// its window (created with the other feature windows) and button 1053.
#pragma once

#include <QPointer>
#include <memory>

#include "setpoints/setpoint_report.h"
#include "setpoints/ui/setpoint_report_window.h"

namespace km8 {

class MainWindow;

class SetpointReportFeature {
 public:
  // Attaches the report to the main window's poll cycle and listens for button 1053.
  SetpointReportFeature(MainWindow& mainWindow, const SharedSettings& settings);
  ~SetpointReportFeature();
  SetpointReportFeature(const SetpointReportFeature&) = delete;
  SetpointReportFeature& operator=(const SetpointReportFeature&) = delete;

  // The main window's feature-window steps.
  bool createWindow();  // hidden; false if it could not be created
  void centreWindow();
  void destroyWindow();

  SetpointReport& report() { return report_; }
  SetpointReportWindow* window() const { return window_; }

 private:
  MainWindow& mainWindow_;
  SetpointReport report_;
  QPointer<SetpointReportWindow> window_;
  QMetaObject::Connection button_;
};

}  // namespace km8
