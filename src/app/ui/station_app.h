// The application object: prepares the settings, starts the link worker, runs the main
// window modally for the whole program and stops the worker when the window has ended.
#pragma once

#include <QElapsedTimer>
#include <chrono>
#include <memory>

#include "app/simulated_instrument.h"
#include "app/station_options.h"
#include "config/app_settings.h"
#include "config/port_map.h"
#include "config/settings_store.h"
#include "link/link_timing.h"
#include "link/traffic_trace.h"
#include "link/ui/qt_link_host.h"
#include "res/ui/qt_message_box_host.h"

namespace km8 {

class LinkWorker;
class MainWindow;
class PlantFeed;
class PlantWriter;
class ShutdownSignals;
class WindowSnapshot;

class StationApp {
 public:
  struct Setup {
    StationOptions options;
    std::unique_ptr<SettingsStore> store;
    SimulatorStarter startSimulator;     // for --simulate
    MessageBoxHost* messages = nullptr;  // nullptr: Qt message boxes (tests script them)
    std::chrono::milliseconds stopWait{30000};
    std::unique_ptr<TrafficTrace> trace;  // --trace; null: none
  };

  // Needs the QApplication.
  explicit StationApp(Setup setup);
  ~StationApp();
  StationApp(const StationApp&) = delete;
  StationApp& operator=(const StationApp&) = delete;

  // The start-up steps up to the worker's first opening of the port. False when the
  // program ends here, with exitCode().
  bool start();
  // Runs the main window modally, then shutdown(), and returns the exit code. A worker
  // that does not stop in time ends with the process: then this does not return.
  int exec();
  // After the main window has ended: stops the worker, waits for it, destroys the main
  // window. False when the worker did not stop in time (it is then abandoned) or the plant
  // database's writer left a thread running: the process must end without destroying
  // this object (endProcessNow).
  bool shutdown();
  [[noreturn]] void endProcessNow();

  int exitCode() const { return exitCode_; }
  MainWindow* mainWindow() const { return window_.get(); }
  SharedSettings& settings() { return settings_; }
  const PortMap& ports() const { return ports_; }

 private:
  // As Enter ends the station: boxes open now closed as if cancelled, the window ended
  // without saving; before the window exists, the start ends.
  void requestEnd();
  // The system's session ends (Windows: WM_ENDSESSION): the station ends in order and
  // the process with it, before the message returns.
  void endForSession();
  // Stops the link worker and waits for it; false when it did not stop in time.
  bool stopWorker();
  bool startSimulator();
  // With PlantDatabase (or --plant-db) set: the writer, the feed from the chart and the
  // archive reading, and the window's tooltip. Nothing at all when it is empty.
  void startPlantDatabase();
  // False when the writer left its sending thread running (PlantWriter::stop()).
  bool stopPlantDatabase();
  MessageBoxHost& messages() { return setup_.messages ? *setup_.messages : qtMessages_; }

  Setup setup_;
  QElapsedTimer sinceStart_;
  SharedSettings settings_;
  PortMap ports_;
  QtMessageBoxHost qtMessages_;
  QtLinkHost linkHost_;
  RealLinkTiming timing_;
  std::unique_ptr<SimulatedInstrument> simulator_;
  std::unique_ptr<LinkWorker> worker_;
  std::unique_ptr<PlantWriter> plantWriter_;  // outlives the feed
  std::unique_ptr<PlantFeed> plantFeed_;      // outlives the window that calls it
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<WindowSnapshot> snapshot_;
  std::unique_ptr<ShutdownSignals> shutdownSignals_;
  int exitCode_ = 0;
  bool abandoned_ = false;
  bool stopRequested_ = false;  // by a signal before the main window existed
};

}  // namespace km8
