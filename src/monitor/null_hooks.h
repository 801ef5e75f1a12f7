// Do-nothing stand-ins for the features and the chart, so the poll cycle and the main
// window run before (or without) them: nothing is ever pending, every call is ignored.
#pragma once

#include "monitor/display_hooks.h"
#include "monitor/feature_hooks.h"

namespace km8 {

class NullSetpointReport final : public SetpointReportHooks {
 public:
  bool reportPending() const override { return false; }
  void clearReportPending() override {}
  bool reportWindowOpen() const override { return false; }
  std::uint16_t reportOffset() const override { return 0; }
  void onReportStep(ReplyBytes) override {}
  void onReportFailure() override {}
};

class NullArchiveReading final : public ArchiveReadingHooks {
 public:
  bool readingActive() const override { return false; }
  void clearReadingActive() override {}
  bool agePending() const override { return false; }
  void clearAgePending() override {}
  bool listOpen() const override { return false; }
  std::uint16_t recordIndex() const override { return 0; }
  void onArchiveAge(const ArchiveAge&) override {}
  void onFirstHalf(ReplyBytes) override {}
  void onSecondHalf(ReplyBytes) override {}
  void onArchiveFailure() override {}
  bool takeTextExportPending() override { return false; }
  void runTextExport() override {}
  bool takeDatabaseExportPending() override { return false; }
  void runDatabaseExport() override {}
  void activateListWindow() override {}
};

class NullSetpointProgramming final : public SetpointProgrammingHooks {
 public:
  bool programmingPending() const override { return false; }
  void clearProgrammingPending() override {}
  bool progressActive() const override { return false; }
  bool writePhase() const override { return false; }
  std::uint16_t blockOffset() const override { return 0; }
  const std::uint8_t* stepBytes() const override { return kNoBytes; }
  bool takeAccessCodeDue() override { return false; }
  std::uint16_t packedCode() const override { return 0; }
  void onReadStep(ReplyBytes) override {}
  void onWriteStep() override {}
  void onCodeAccepted() override {}
  void hideProgressWindow() override {}
  void setWrongCodeNotice() override {}
  void runPhaseHandOff() override {}
  bool takeWrongCodeNotice() override { return false; }

 private:
  static constexpr std::uint8_t kNoBytes[10] = {};
};

class NullChart final : public ChartOps {
 public:
  void SetUpChart() override {}
  void ApplyChartSpan() override {}
  void UpdateChart(int) override {}
  void AppendChartSample() override {}
};

}  // namespace km8
