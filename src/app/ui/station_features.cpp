#include "app/ui/station_features.h"

#include <stdexcept>

#include "archives/ui/archive_feature.h"
#include "archives/ui/station_archive_exports.h"
#include "setpoints/ui/setpoint_programming_feature.h"
#include "setpoints/ui/setpoint_report_feature.h"

namespace km8 {
namespace {

constexpr int kArchivesButtonId = 1041;
constexpr int kChangeSetpointsId = 1101;

}  // namespace

StationFeatures::StationFeatures(FeatureSite& site) {
  MainWindow& window = site.window;
  MainWindowLogic& logic = window.logic();

  ProgrammingServices programming;
  programming.requestReconfigure = site.requestReconfigure;
  programming.saveSettings = site.saveSettings;
  programming_ = std::make_unique<SetpointProgrammingFeature>(
      window, programmingCopy(), logic.pollCycle(), site.settings, site.front, site.messages,
      std::move(programming));
  logic.attachSetpointProgramming(programming_->workflow());

  archives_ = std::make_unique<ArchiveFeature>(window, site.front, logic.pollCycle(), site.settings,
                                               site.messages, site.saveSettings);
  archiveExports_ = std::make_unique<StationArchiveExports>(&window, site.messages, site.front);
  archives_->attachExports(archiveExports_->exports());
  logic.attachArchiveReading(archives_->reading());

  QObject::connect(&window, &MainWindow::commandRequested, &window, [this](int id) {
    if (id == kChangeSetpointsId) programming_->workflow().start();
    if (id == kArchivesButtonId) archives_->runArchivesCommand();
  });

  report_ = std::make_unique<SetpointReportFeature>(window, site.settings);

  // The modeless feature windows, each made by its own feature, in their order: report,
  // archive list, progress.
  site.windows.add({.create = [this] { return report_->createWindow(); },
                    .centre = [this] { report_->centreWindow(); },
                    .destroy = [this] { report_->destroyWindow(); }});
  site.windows.add({.create = [this] { return archives_->createListWindow(); },
                    .centre = [this] { archives_->centreListWindow(); },
                    .destroy = [this] { archives_->destroyListWindow(); }});
  site.windows.add(programming_->windowPiece());
}

StationFeatures::~StationFeatures() = default;

FeatureFactory StationFeatures::factory() {
  return [](FeatureSite& site) { return std::make_unique<StationFeatures>(site); };
}

StationFeatures& StationFeatures::of(const MainWindow& window) {
  auto* features = dynamic_cast<StationFeatures*>(window.features());
  if (features == nullptr)
    throw std::logic_error("main window built without the station's features");
  return *features;
}

}  // namespace km8
