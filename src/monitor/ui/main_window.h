// The station's main window: the controls of template 102 hosting MainWindowLogic, which
// it feeds with the timer, the link completion event, the buttons and the keyboard.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <memory>

#include "link/link_host.h"
#include "monitor/feature_window_set.h"
#include "monitor/main_window_logic.h"
#include "monitor/strip_chart_logic.h"
#include "res/ui/dialog_builder.h"

class QAbstractButton;
class QButtonGroup;

namespace km8 {

class CaptionLabelWidget;
class ChartMenu;
class MainWindow;
class RoundLedWidget;
class SevenSegmentWidget;
class StripChartWidget;

// What a feature is handed when the main window makes it: the window (a parent for the
// feature's own windows, its command signal, its logic and poll cycle) and the services
// the station shares.
struct FeatureSite {
  MainWindow& window;
  MainWindowFront& front;
  SharedSettings& settings;
  MessageBoxHost& messages;
  std::function<void()> saveSettings;
  std::function<void()> requestReconfigure;
  FeatureWindowSet& windows;  // each feature adds its modeless window, in their order
};

// The station's features as the main window keeps them, without knowing their types:
// made by the composition root once the window's logic exists, destroyed after the logic
// has shut down and before the window's own controls.
class HostedFeatures {
 public:
  virtual ~HostedFeatures() = default;
};
using FeatureFactory = std::function<std::unique_ptr<HostedFeatures>(FeatureSite& site)>;

class MainWindow : public QDialog {
  Q_OBJECT

 public:
  // The link worker's completion, posted once per transaction.
  static constexpr int kLinkDoneEventType = kLinkDoneMessage;

  // Without a feature factory the window has only its own controls and the chart.
  MainWindow(LinkMailbox& mailbox, SharedSettings& settings, MessageBoxHost& messages,
             MainWindowCallbacks callbacks, const FeatureFactory& features = {},
             QWidget* parent = nullptr);
  ~MainWindow() override;

  MainWindowLogic& logic() { return *logic_; }
  MainWindowFront& front();  // for the features that need the user's attention
  const BuiltDialog& controls() const { return ui_; }
  QButtonGroup* chartChannelGroup() const;
  StripChartWidget* chart() const;
  StripChartLogic& chartLogic() { return *chartLogic_; }
  ChartMenu& chartMenu() { return *chartMenu_; }
  HostedFeatures* features() const { return features_.get(); }

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
  FeatureWindowSet featureWindows_;
  std::unique_ptr<HostedFeatures> features_;     // outlive the logic whose poll cycle calls them
  std::unique_ptr<StripChartLogic> chartLogic_;  // outlives the logic's poll cycle
  std::unique_ptr<MainWindowLogic> logic_;
  ChartMenu* chartMenu_ = nullptr;
  bool initialised_ = false;
};

}  // namespace km8
