#include "app/ui/station_app.h"

#include <QApplication>
#include <QCoreApplication>
#include <QSysInfo>
#include <QTimer>
#include <cstdio>

#include "app/settings_location.h"
#include "app/ui/shutdown_signals.h"
#include "app/ui/station_features.h"
#include "archives/ui/archive_feature.h"
#include "config/program_folder.h"
#include "config/settings.h"
#include "configuration/ui/config_dialog.h"
#include "link/end_process.h"
#include "link/link_worker.h"
#include "monitor/ui/main_window.h"
#include "plant/ui/plant_connection.h"
#include "plant/ui/plant_writer.h"
#include "res/ui/window_snapshot.h"

namespace km8 {
namespace {

constexpr int kConfigurationButtonId = 1042;

Message threadFailureNotice() {
  return {.text = "Cannot create thread", .caption = "KM410-8", .icon = MessageIcon::Error};
}

}  // namespace

StationApp::StationApp(Setup setup)
    : setup_(std::move(setup)),
      qtMessages_([this]() -> QWidget* {
        return linkHost_.mainWindowPublished() ? window_.get() : nullptr;
      }),
      linkHost_(messages()) {
  sinceStart_.start();
}

StationApp::~StationApp() {
  // An abandoned worker still uses everything here: the process ends without freeing it.
  if (!shutdown()) endProcessNow();
}

void StationApp::endProcessNow() { EndProcessNow(exitCode_); }

bool StationApp::start() {
  // A logout, a service stop or Ctrl-C ends the station as Enter does: the window ends
  // without saving, then the worker stops and the port is released. Boxes open at that
  // moment are closed first, as if cancelled; before the window exists, the start ends.
  shutdownSignals_ = std::make_unique<ShutdownSignals>([this] { requestEnd(); });
  // Logoff and shutdown reach a program with windows as WM_QUERYENDSESSION and then
  // WM_ENDSESSION, which Qt answers with aboutToQuit from inside the message; Windows may
  // end the process as soon as that message returns, so the station ends right there.
  // (The station never runs QApplication::exec(), whose end would emit it too.)
  QObject::connect(qApp, &QCoreApplication::aboutToQuit, shutdownSignals_.get(),
                   [this] { endForSession(); });

  AppSettings loaded;
  SetDefaultFileNames(loaded, ProgramFolder());
  LoadSettings(loaded, *setup_.store);   // a first run keeps the defaults
  if (setup_.store->holdsPortPaths()) {  // on Windows the port names are the devices
    for (int i = 0; i < kPortCount; ++i) {
      ports_.setDevicePath(static_cast<unsigned>(i), loaded.PortPaths[i]);
    }
  }
  // Settings that are there but cannot be read are not a first run: say so before the
  // main window opens (the store then refuses to replace them).
  if (const std::string why = setup_.store->unreadableReason(); !why.empty())
    messages().showMessage(SettingsUnreadableNotice(why));
  if (stopRequested_) return false;  // by a signal; exit code 0, nothing has started yet
  settings_.replace(std::move(loaded));
  if (setup_.options.simulate && !startSimulator()) return false;

  worker_ = std::make_unique<LinkWorker>(settings_, ports_, linkHost_, timing_);
  worker_->setTrafficTrace(setup_.trace.get());
  MainWindowCallbacks callbacks;
  callbacks.publishWindowHandle = [this] { linkHost_.publishMainWindow(); };
  callbacks.saveSettings = [this] {
    SaveSettings(settings_.snapshot(), *setup_.store, messages());
  };
  callbacks.endProcess = [this](int code) { linkHost_.endProcess(code); };
  callbacks.requestReconfigure = [this] { worker_->RequestReconfigure(); };
  window_ = std::make_unique<MainWindow>(*worker_, settings_, messages(), std::move(callbacks),
                                         StationFeatures::factory());
  linkHost_.relay().setTarget(window_.get());
  QObject::connect(window_.get(), &MainWindow::commandRequested, window_.get(), [this](int id) {
    if (id != kConfigurationButtonId) return;
    const bool devicePaths = setup_.store->holdsPortPaths();
    QtConfigDialogView view(messages(), {.devicePaths = devicePaths, .scan = {}}, window_.get());
    RunConfigurationCommand(
        view, {.settings = settings_,
               .store = *setup_.store,
               .messages = messages(),
               .chart = window_->logic().pollCycle().chart(),
               .chartChannel = [this] { return window_->logic().items().chartChannel; },
               .ports = devicePaths ? &ports_ : nullptr,
               .requestReconfigure = [this] { worker_->RequestReconfigure(); }});
  });

  startPlantDatabase();

  if (!worker_->start()) {
    messages().showMessage(threadFailureNotice());
    window_.reset();
    stopPlantDatabase();
    worker_.reset();
    exitCode_ = 1;
    return false;
  }
  settings_.update([](AppSettings& s) {
    s.SerialSetup.DataBits = 8;
    s.SerialSetup.FrameLength = 20;
  });
  worker_->RequestReconfigure();

  if (setup_.options.screenshotAfterSeconds >= 0) {
    snapshot_ = std::make_unique<WindowSnapshot>(
        *window_, [this] { return window_->showsLiveValues(); },
        setup_.options.screenshotAfterSeconds * 1000,
        QString::fromStdString(setup_.options.screenshotPath),
        [this](int code) {
          exitCode_ = code;
          window_->logic().onOk();
        },
        sinceStart_);
  }
  return true;
}

bool StationApp::startSimulator() {
  const AppSettings s = settings_.snapshot();
  std::string error;
  if (setup_.startSimulator) {
    simulator_ = setup_.startSimulator(s.DeviceID, s.SerialSetup.BaudRate, error);
  } else {
    error = "this build has no instrument simulator";
  }
  if (!simulator_) {
    std::fprintf(stderr, "km8-station: --simulate: %s\n", error.c_str());
    exitCode_ = 1;
    return false;
  }
  // For this run only: the settings keep the port's own path.
  ports_.setDevicePath(s.SerialSetup.PortIndex, simulator_->devicePath());
  std::fprintf(stderr, "km8-station: simulated instrument %u at %u baud on COM%u (%s)\n",
               unsigned{s.DeviceID}, unsigned{s.SerialSetup.BaudRate},
               unsigned{s.SerialSetup.PortIndex} + 1u, simulator_->devicePath().c_str());
  return true;
}

void StationApp::startPlantDatabase() {
  const AppSettings s = settings_.snapshot();
  const std::string conninfo = setup_.options.plantDatabase.value_or(s.PlantDatabase);
  if (conninfo.empty()) return;
  if (setup_.options.simulate) {
    std::fprintf(stderr,
                 "km8-station: the plant database is off with --simulate: simulated values "
                 "never go to the plant\n");
    return;
  }
  std::string why;
  auto connection = UsableConnection(conninfo, why);
  if (!connection) {
    std::fprintf(stderr, "km8-station: the plant database setting is not used: %s\n", why.c_str());
    return;
  }
  std::string station = s.StationName;
  if (station.empty()) station = QSysInfo::machineHostName().toStdString();
  PlantWriterSetup plant;
  plant.connection = std::move(*connection);
  plant.spoolPath = PlantSpoolPath(setup_.options.settingsPath);
  plant.formerSpoolPath = FormerPlantSpoolPath(setup_.options.settingsPath);
  plant.station = station;
  plantWriter_ = std::make_unique<PlantWriter>(std::move(plant));
  plantFeed_ = std::make_unique<PlantFeed>(std::move(station), *plantWriter_);
  plantWriter_->start();
  window_->chartLogic().attachSampleSink(plantFeed_.get());
  StationFeatures::of(*window_).archives().reading().attachRecordSink(plantFeed_.get());

  // The indicator: the window's own tooltip (shown wherever no control has one of its
  // own), refreshed every two seconds; no control moves or changes.
  auto* indicator = new QTimer(window_.get());
  auto refresh = [this] {
    window_->setToolTip(QString::fromStdString(PlantIndicatorText(plantWriter_->status())));
  };
  QObject::connect(indicator, &QTimer::timeout, window_.get(), refresh);
  refresh();
  indicator->start(2000);
}

bool StationApp::stopPlantDatabase() {
  // The window, which calls the feed, is gone by now.
  plantFeed_.reset();
  const bool stopped = !plantWriter_ || plantWriter_->stop();
  plantWriter_.reset();
  return stopped;
}

void StationApp::requestEnd() {
  while (QWidget* modal = QApplication::activeModalWidget()) {
    if (modal == window_.get() || !modal->close()) break;
  }
  if (window_)
    window_->logic().onOk();
  else
    stopRequested_ = true;
}

void StationApp::endForSession() {
  if (!worker_ || abandoned_) return;
  requestEnd();
  // Not the window itself: the message being handled belongs to one of its windows.
  (void)stopWorker();
  if (plantWriter_) plantWriter_->stop();  // what the server did not take stays spooled
  endProcessNow();
}

bool StationApp::stopWorker() {
  snapshot_.reset();
  // Nobody is left to answer the worker's boxes; do not let one hold the wait up.
  linkHost_.beginShutdown();
  worker_->Stop();
  return worker_->waitForExit(setup_.stopWait);
}

int StationApp::exec() {
  window_->exec();
  // A worker that would not stop (stuck in a driver call, say) must not keep the
  // process alive: the window is gone, end here.
  if (!shutdown()) endProcessNow();
  return exitCode_;
}

bool StationApp::shutdown() {
  if (abandoned_) return false;
  if (!worker_) return true;
  const bool stopped = stopWorker();
  window_.reset();
  // A sending thread still making a connection is left to the end of the process, which
  // must then come without running the libraries' own clean-up under its feet.
  const bool plantStopped = stopPlantDatabase();
  // Last: a closed console's handler waits until here (Windows).
  shutdownSignals_.reset();
  if (!stopped) {
    worker_->abandon();
    (void)worker_.release();  // still in use by its thread until the process ends
    abandoned_ = true;
    return false;
  }
  worker_.reset();
  simulator_.reset();
  abandoned_ = !plantStopped;
  return plantStopped;
}

}  // namespace km8
