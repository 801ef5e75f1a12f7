#include "monitor/ui/main_window.h"

#include <QButtonGroup>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimerEvent>
#include <map>
#include <stdexcept>
#include <string>

#include "controls/ui/caption_label_widget.h"
#include "controls/ui/round_led_widget.h"
#include "controls/ui/seven_segment_widget.h"
#include "controls/ui/strip_chart_widget.h"
#include "monitor/ui/chart_menu.h"
#include "res/ui/station_icon.h"

namespace km8 {
namespace {

// Channel rows, in channel order.
constexpr std::array<int, kChannelCount> kLabelIds = {1001, 1008, 1009, 1010,
                                                      1011, 1012, 1014, 1015};
constexpr std::array<int, kChannelCount> kValueIds = {1000, 1016, 1017, 1019,
                                                      1020, 1021, 1022, 1023};
constexpr std::array<int, kChannelCount> kRegulationLedIds = {1024, 1025, 1026, 1027,
                                                              1028, 1029, 1030, 1031};
constexpr std::array<int, kChannelCount> kAlarmLedIds = {1074, 1075, 1076, 1077,
                                                         1078, 1079, 1080, 1081};
constexpr int kGeneralAlarmLedId = 1063;
constexpr int kSetpointErrorLedId = 1066;
constexpr int kArchiveErrorLedId = 1067;
constexpr int kAdcFailureLedId = 1068;
constexpr int kTransferLedId = 1069;
constexpr int kChartId = 1032;
constexpr std::array<int, 4> kCommandButtonIds = {1053, 1041, 1042, 1101};

template <class W>
W* required(const BuiltDialog& ui, int id) {
  W* widget = ui.controlAs<W>(id);
  if (widget == nullptr) throw std::logic_error("template 102 lacks control " + std::to_string(id));
  return widget;
}

}  // namespace

// The window services the logic asks for. Kept apart from the dialog so that their names
// (startTimer, killTimer) do not hide QObject's own.
class MainWindow::Services final : public MainWindowHost, public ControlVisibility {
 public:
  explicit Services(MainWindow& window) : window_(window) {}

  bool startTimer(int timerId, int periodMs) override {
    // The watchdog and the transfer lamp count ticks: a coarse timer would drift by 5%.
    const int qtId = window_.QObject::startTimer(periodMs, Qt::PreciseTimer);
    if (qtId == 0) return false;
    timers_[qtId] = timerId;
    return true;
  }

  void killTimer(int timerId) override {
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
      if (it->second != timerId) continue;
      window_.QObject::killTimer(it->first);
      timers_.erase(it);
      return;
    }
  }

  // The logic's timer behind a Qt timer id; 0 for none.
  int timerFor(int qtId) const {
    const auto it = timers_.find(qtId);
    return it == timers_.end() ? 0 : it->second;
  }

  void endDialog() override { window_.done(QDialog::Rejected); }

  bool BringToFront() override {
    const bool wasMinimised = window_.isMinimized();
    window_.show();
    window_.setWindowState((window_.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window_.raise();
    window_.activateWindow();
    return wasMinimised;
  }

  void minimise() override { window_.showMinimized(); }

  void setControlVisible(int controlId, bool visible) override {
    if (QWidget* widget = window_.ui_.control(controlId)) widget->setVisible(visible);
  }

 private:
  MainWindow& window_;
  std::map<int, int> timers_;  // Qt timer id -> the logic's timer id
};

MainWindow::MainWindow(LinkMailbox& mailbox, SharedSettings& settings, MessageBoxHost& messages,
                       MainWindowCallbacks callbacks, const FeatureFactory& features,
                       QWidget* parent)
    : QDialog(parent), services_(std::make_unique<Services>(*this)) {
  // A fixed-size application window: title, system menu, minimise and close; no maximise.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  ui_ = buildDialog(MainWindowTemplate(), *this, MainWindowLooks());
  setWindowIcon(stationIcon());

  LiveDisplayControls wiring;
  for (int i = 0; i < kChannelCount; ++i) {
    values_[i] = required<SevenSegmentWidget>(ui_, kValueIds[i]);
    wiring.rows[i].label = required<CaptionLabelWidget>(ui_, kLabelIds[i]);
    wiring.rows[i].value = values_[i];
    wiring.rows[i].regulationLed = required<RoundLedWidget>(ui_, kRegulationLedIds[i]);
    wiring.rows[i].alarmLed = required<RoundLedWidget>(ui_, kAlarmLedIds[i]);
  }
  wiring.generalAlarmLed = required<RoundLedWidget>(ui_, kGeneralAlarmLedId);
  wiring.setpointErrorLed = required<RoundLedWidget>(ui_, kSetpointErrorLedId);
  wiring.archiveErrorLed = required<RoundLedWidget>(ui_, kArchiveErrorLedId);
  wiring.adcFailureLed = required<RoundLedWidget>(ui_, kAdcFailureLedId);
  wiring.transferLed = required<RoundLedWidget>(ui_, kTransferLedId);
  wiring.visibility = services_.get();
  StripChartWidget* chart = required<StripChartWidget>(ui_, kChartId);

  FeatureSite site{.window = *this,
                   .front = *services_,
                   .settings = settings,
                   .messages = messages,
                   .saveSettings = callbacks.saveSettings,
                   .requestReconfigure = callbacks.requestReconfigure,
                   .windows = featureWindows_};
  logic_ = std::make_unique<MainWindowLogic>(mailbox, settings, wiring, *services_, messages,
                                             std::move(callbacks));
  chartLogic_ = std::make_unique<StripChartLogic>(*chart, logic_->items(), settings, messages);
  logic_->attachChart(*chartLogic_);
  chartMenu_ = new ChartMenu(*chart, *chartLogic_, messages, *this);
  chart->setMouseHandler([this](int button, int, int, int) { chartMenu_->onChartMouse(button); });
  bindButtons();
  if (features) features_ = features(site);
  logic_->attachFeatureWindows(featureWindows_);
}

MainWindow::~MainWindow() { logic_->shutdown(); }

void MainWindow::bindButtons() {
  QButtonGroup* group = chartChannelGroup();
  if (QAbstractButton* selected = group->button(logic_->items().chartChannel)) {
    selected->setChecked(true);
  }
  connect(group, &QButtonGroup::buttonClicked, this, [this](QAbstractButton* button) {
    logic_->onGraphChannelButton(button->property(kControlIdProperty).toInt());
  });
  for (int id : kCommandButtonIds) {
    connect(required<QPushButton>(ui_, id), &QPushButton::clicked, this,
            [this, id] { emit commandRequested(id); });
  }
}

MainWindowFront& MainWindow::front() { return *services_; }

QButtonGroup* MainWindow::chartChannelGroup() const {
  // The template's one radio group: channels 1..8, then all channels.
  return ui_.radioGroups.at(0);
}

StripChartWidget* MainWindow::chart() const { return ui_.controlAs<StripChartWidget>(kChartId); }

bool MainWindow::showsLiveValues() const {
  for (const SevenSegmentWidget* value : values_) {
    if (value->segmentColor() == LiveDisplay::kSegmentsLit) return true;
  }
  return false;
}

void MainWindow::done(int result) {
  QDialog::done(result);
  logic_->shutdown();
}

void MainWindow::reject() { logic_->onCancel(); }

void MainWindow::accept() { logic_->onOk(); }

bool MainWindow::event(QEvent* event) {
  if (event->type() == static_cast<QEvent::Type>(kLinkDoneEventType)) {
    logic_->onLinkDone();
    QDialog::event(event);
    return true;
  }
  return QDialog::event(event);
}

void MainWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (initialised_) return;
  initialised_ = true;
  logic_->initialise();
}

void MainWindow::timerEvent(QTimerEvent* event) {
  if (const int timerId = services_->timerFor(event->timerId())) {
    logic_->onTimer(timerId);
    return;
  }
  QDialog::timerEvent(event);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if (enter && modifiers == Qt::NoModifier) {
    // As in a dialog without a default button: a focused push button takes Enter as a
    // click, anything else ends the dialog as OK.
    if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
      button->click();
    } else {
      accept();
    }
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace km8
