#include "setpoints/ui/setpoint_report_feature.h"

#include <exception>

#include "monitor/ui/main_window.h"

namespace km8 {
namespace {

constexpr int kReportButtonId = 1053;

}  // namespace

SetpointReportFeature::SetpointReportFeature(MainWindow& mainWindow, const SharedSettings& settings)
    : mainWindow_(mainWindow),
      report_(settings, mainWindow.logic().pollCycle(), mainWindow.front()) {
  mainWindow.logic().attachSetpointReport(report_);
  button_ =
      QObject::connect(&mainWindow, &MainWindow::commandRequested, &mainWindow, [this](int id) {
        if (id == kReportButtonId) report_.command();
      });
}

SetpointReportFeature::~SetpointReportFeature() {
  QObject::disconnect(button_);
  destroyWindow();
}

bool SetpointReportFeature::createWindow() {
  if (window_) return true;
  try {
    window_ = new SetpointReportWindow(&mainWindow_, [this] { report_.onWindowClosed(); });
  } catch (const std::exception&) {
    return false;
  }
  report_.attachView(window_);
  return true;
}

void SetpointReportFeature::centreWindow() {
  if (window_) window_->centreOnOwner();
}

void SetpointReportFeature::destroyWindow() {
  report_.attachView(nullptr);
  delete window_.data();
}

}  // namespace km8
