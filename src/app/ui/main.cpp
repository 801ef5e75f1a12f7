// km8-station: the command line, the QApplication and the station's run.
#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <string>
#include <vector>

#include "app/parent_console.h"
#include "app/settings_location.h"
#include "app/station_options.h"
#include "app/ui/in_process_simulator.h"
#include "app/ui/station_app.h"
#include "link/traffic_trace.h"

#ifndef KM8_VERSION
#define KM8_VERSION "unknown"
#endif

int main(int argc, char** argv) {
  km8::UseParentConsole();  // --help, --version, --trace - and the notes below print there
  std::string error;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto options = km8::ParseStationCommandLine(args, error);
  if (!options) {
    std::fprintf(stderr, "km8-station: %s\nTry 'km8-station --help'.\n", error.c_str());
    return km8::kUsageExitCode;
  }
  if (options->help) {
    std::fputs(km8::StationUsage().c_str(), stdout);
    return 0;
  }
  if (options->version) {
    std::printf("km8-station %s\n", KM8_VERSION);
    return 0;
  }
  auto store = km8::OpenSettingsStore(options->settingsPath, error);
  if (!store) {
    std::fprintf(stderr, "km8-station: %s\n", error.c_str());
    return km8::kUsageExitCode;
  }

  std::unique_ptr<km8::StreamTrafficTrace> trace;
  if (!options->tracePath.empty()) {
    trace = std::make_unique<km8::StreamTrafficTrace>(options->tracePath);
    if (!trace->ok()) {
      std::fprintf(stderr, "km8-station: cannot open the trace file %s\n",
                   options->tracePath.c_str());
      return km8::kUsageExitCode;
    }
  }

  // Qt reads no options of ours, nor we of its: it gets the program name only.
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QApplication application(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("km8-station"));
  // The installed desktop entry: where a shell takes the window's name and icon from it.
  QGuiApplication::setDesktopFileName(QStringLiteral("km8-station"));
  // The station speaks Ukrainian whatever the desktop's language, Qt's own buttons and
  // file and print dialogs too, where Qt's translations are installed (or shipped beside
  // the executable). Numbers keep their own formatting: the locale is not changed.
  QTranslator qtTexts;
  if (qtTexts.load(QStringLiteral("qtbase_uk"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      qtTexts.load(QStringLiteral("qtbase_uk"),
                   QApplication::applicationDirPath() + QStringLiteral("/translations"))) {
    QApplication::installTranslator(&qtTexts);
  }

  km8::StationApp::Setup setup;
  setup.options = *options;
  setup.store = std::move(store);
  setup.trace = std::move(trace);
  setup.startSimulator = [](std::uint8_t address, std::uint32_t baud, std::string& why) {
    return std::unique_ptr<km8::SimulatedInstrument>(
        km8::InProcessSimulator::start(address, baud, why));
  };
  km8::StationApp station(std::move(setup));
  if (!station.start()) return station.exitCode();
  return station.exec();
}
