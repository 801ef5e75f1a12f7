// The station's features on its main window: the setpoint report, the setpoint change and
// the archives, each made and wired to the window's logic, buttons and feature windows.
#pragma once

#include <memory>

#include "monitor/ui/main_window.h"

namespace km8 {

class ArchiveFeature;
class SetpointProgrammingFeature;
class SetpointReportFeature;
class StationArchiveExports;

class StationFeatures final : public HostedFeatures {
 public:
  explicit StationFeatures(FeatureSite& site);
  ~StationFeatures() override;
  StationFeatures(const StationFeatures&) = delete;
  StationFeatures& operator=(const StationFeatures&) = delete;

  // What a main window is built with to have the station's features.
  static FeatureFactory factory();
  // The features of a window built with factory().
  static StationFeatures& of(const MainWindow& window);

  SetpointReportFeature& setpointReport() { return *report_; }
  SetpointProgrammingFeature& setpointProgramming() { return *programming_; }
  ArchiveFeature& archives() { return *archives_; }

 private:
  std::unique_ptr<SetpointProgrammingFeature> programming_;
  std::unique_ptr<StationArchiveExports> archiveExports_;  // outlives the reading using it
  std::unique_ptr<ArchiveFeature> archives_;
  std::unique_ptr<SetpointReportFeature> report_;
};

}  // namespace km8
