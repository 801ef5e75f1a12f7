// The station's main window: the controls of template 102 hosting MainWindowLogic, which
// it feeds with the timer, the link completion event, the buttons and the keyboard.
#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "link/link_host.h"
#include "monitor/feature_window_set.h"
#include "monitor/main_window_logic.h"
#include "monitor/strip_chart_logic.h"
#include "res/ui/dialog_builder.h"

class QAbstractButton;
class QButtonGroup;

namespace km8 {

class ArchiveFeature;
class StationArchiveExports;
class CaptionLabelWidget;
class SetpointReportFeature;
class ChartMenu;
class RoundLedWidget;
class SevenSegmentWidget;
class StripChartWidget;
class SetpointProgrammingFeature;

class MainWindow : public QDialog {
  Q_OBJECT

 public:
  // The link worker's completion, posted once per transaction.
  static constexpr int kLinkDoneEventType = kLinkDoneMessage;

  MainWindow(LinkMailbox& mailbox, SharedSettings& settings, MessageBoxHost& messages,
             MainWindowCallbacks callbacks, QWidget* parent = nullptr);
  ~MainWindow() override;

  MainWindowLogic& logic() { return *logic_; }
  MainWindowFront& front();  // for the features that need the user's attention
  const BuiltDialog& controls() const { return ui_; }
  QButtonGroup* chartChannelGroup() const;
  StripChartWidget* chart() const;
  SetpointReportFeature& setpointReport() { return *report_; }
  SetpointProgrammingFeature& setpointProgramming() { return *programming_; }
  StripChartLogic& chartLogic() { return *chartLogic_; }
  ChartMenu& chartMenu() { return *chartMenu_; }
  ArchiveFeature& archives() { return *archives_; }

  // Whether any channel shows a reading from the instrument (red segments).
  bool showsLiveValues() const;

  // Ends the dialog, as the logic asks; the window shuts down with it.
  void done(int result) override;

 signals:
  // One of the four command buttons (1053, 1041, 1042, 1101) was pressed.
  void commandRequested(int controlId);

 public slots:
  void reject() override;  // Esc, the close box, Close in the system menu
  void accept() override;  // Enter

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  class Services;

  void bindButtons();

  BuiltDialog ui_;
  std::array<SevenSegmentWidget*, kChannelCount> values_{};
  std::unique_ptr<Services> services_;
  // The features outlive the logic whose poll cycle calls them.
  std::unique_ptr<SetpointReportFeature> report_;
  std::unique_ptr<SetpointProgrammingFeature> programming_;
  FeatureWindowSet featureWindows_;
  std::unique_ptr<StripChartLogic> chartLogic_;  // outlives the logic's poll cycle
  std::unique_ptr<MainWindowLogic> logic_;
  ChartMenu* chartMenu_ = nullptr;
  std::unique_ptr<StationArchiveExports> archiveExports_;  // outlives the reading using it
  std::unique_ptr<ArchiveFeature> archives_;
  bool initialised_ = false;
};

}  // namespace km8
