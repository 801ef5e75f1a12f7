// Recording fakes of what the poll cycle and the main window logic talk to: the three
// features, the chart, the live-display operations and the main window's services.
// The features keep their flags and offsets the way the real ones would.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "event_log.h"
#include "monitor/display_hooks.h"
#include "monitor/feature_hooks.h"
#include "monitor/main_window_logic.h"

namespace km8::test {

class FakeSetpointReport : public SetpointReportHooks {
 public:
  explicit FakeSetpointReport(EventLog* log = nullptr) : log_(log) {}
  // The command: arms the read with the window open.
  void start() {
    pending = true;
    windowOpen = true;
    offset = 0;
  }

  bool reportPending() const override { return pending; }
  void clearReportPending() override { pending = false; }
  bool reportWindowOpen() const override { return windowOpen; }
  std::uint16_t reportOffset() const override { return offset; }
  void onReportStep(ReplyBytes data) override {
    steps.emplace_back(data.begin(), data.end());
    note(log_, "report step " + std::to_string(offset));
    offset += 5;
    if (offset >= 75) pending = false;
  }
  void onReportFailure() override {
    pending = false;
    note(log_, "report failure");
  }

  bool pending = false;
  bool windowOpen = false;
  std::uint16_t offset = 0;
  std::vector<std::vector<std::uint8_t>> steps;

 private:
  EventLog* log_;
};

class FakeArchiveReading : public ArchiveReadingHooks {
 public:
  explicit FakeArchiveReading(EventLog* log = nullptr) : log_(log) {}
  void start(int records) {
    active = true;
    age = true;
    open = true;
    index = 0;
    arcNum = records;
  }

  bool readingActive() const override { return active; }
  void clearReadingActive() override { active = false; }
  bool agePending() const override { return age; }
  void clearAgePending() override { age = false; }
  bool listOpen() const override { return open; }
  std::uint16_t recordIndex() const override { return index; }
  void onArchiveAge(const ArchiveAge& a) override {
    ages.push_back(a);
    note(log_, "archive age");
  }
  void onFirstHalf(ReplyBytes data) override {
    firstHalves.emplace_back(data.begin(), data.end());
    note(log_, "archive first " + std::to_string(index));
  }
  void onSecondHalf(ReplyBytes data) override {
    secondHalves.emplace_back(data.begin(), data.end());
    note(log_, "archive second " + std::to_string(index));
    if (++index >= arcNum) active = false;
  }
  void onArchiveFailure() override {
    ++failures;
    note(log_, "archive failure");
  }
  bool takeTextExportPending() override { return take(textExport); }
  void runTextExport() override { note(log_, "text export"); }
  bool takeDatabaseExportPending() override { return take(databaseExport); }
  void runDatabaseExport() override { note(log_, "database export"); }
  void activateListWindow() override { note(log_, "activate list"); }

  bool active = false, age = false, open = false;
  bool textExport = false, databaseExport = false;
  std::uint16_t index = 0;
  int arcNum = 1;
  int failures = 0;
  std::vector<ArchiveAge> ages;
  std::vector<std::vector<std::uint8_t>> firstHalves, secondHalves;

 private:
  static bool take(bool& flag) {
    const bool was = flag;
    flag = false;
    return was;
  }
  EventLog* log_;
};

class FakeSetpointProgramming : public SetpointProgrammingHooks {
 public:
  explicit FakeSetpointProgramming(EventLog* log = nullptr) : log_(log) {
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i);
  }
  void startRead() {
    pending = true;
    active = true;
    write = false;
    offset = 0;
  }
  void startWrite() {
    startRead();
    write = true;
  }

  bool programmingPending() const override { return pending; }
  void clearProgrammingPending() override { pending = false; }
  bool progressActive() const override { return active; }
  bool writePhase() const override { return write; }
  std::uint16_t blockOffset() const override { return offset; }
  const std::uint8_t* stepBytes() const override { return block.data() + 2 * offset; }
  bool takeAccessCodeDue() override {
    const bool was = codeDue;
    codeDue = false;
    return was;
  }
  std::uint16_t packedCode() const override { return code; }
  void onReadStep(ReplyBytes data) override {
    std::copy(data.begin(), data.end(), block.begin() + 2 * offset);
    note(log_, "read step " + std::to_string(offset));
    offset += 5;
  }
  void onWriteStep() override {
    note(log_, "write step " + std::to_string(offset));
    offset += 5;
  }
  void onCodeAccepted() override { note(log_, "code accepted"); }
  void hideProgressWindow() override {
    ++hides;
    note(log_, "hide progress");
  }
  void setWrongCodeNotice() override { wrongCode = true; }
  void runPhaseHandOff() override {
    pending = false;
    note(log_, "hand-off");
  }
  bool takeWrongCodeNotice() override {
    const bool was = wrongCode;
    wrongCode = false;
    return was;
  }

  bool pending = false, active = false, write = false, codeDue = false, wrongCode = false;
  std::uint16_t offset = 0;
  std::uint16_t code = 0;
  int hides = 0;
  std::array<std::uint8_t, 150> block{};

 private:
  EventLog* log_;
};

class RecordingChart : public ChartOps {
 public:
  explicit RecordingChart(EventLog* log = nullptr) : log_(log) {}
  void SetUpChart() override { note(log_, "chart set-up"); }
  void ApplyChartSpan() override { note(log_, "chart span"); }
  void UpdateChart(int selection) override {
    updates.push_back(selection);
    note(log_, "chart update " + std::to_string(selection));
  }
  void AppendChartSample() override {
    ++samples;
    note(log_, "chart sample");
  }
  std::vector<int> updates;
  int samples = 0;

 private:
  EventLog* log_;
};

// The live-display operations as the poll cycle calls them.
class RecordingLiveDisplay : public LiveDisplayOps {
 public:
  explicit RecordingLiveDisplay(EventLog* log) : log_(log) {}
  void ShowChannel(int c) override { note(log_, "show channel " + std::to_string(c)); }
  void BlankChannels(int first, int count) override {
    note(log_, "blank " + std::to_string(first) + "+" + std::to_string(count));
  }
  void ShowStatus(bool ok) override { note(log_, ok ? "status ok" : "status failed"); }
  void TransferLedReply(bool ok) override { note(log_, ok ? "transfer ok" : "transfer failed"); }

 private:
  EventLog* log_;
};

class FakeMainWindowHost : public MainWindowHost {
 public:
  explicit FakeMainWindowHost(EventLog* log = nullptr) : log_(log) {}
  bool BringToFront() override {
    note(log_, "bring to front");
    const bool was = minimised;
    minimised = false;
    return was;
  }
  void minimise() override {
    minimised = true;
    note(log_, "minimise");
  }
  bool startTimer(int id, int periodMs) override {
    note(log_, "start timer " + std::to_string(id) + " " + std::to_string(periodMs));
    return timerAvailable;
  }
  void killTimer(int id) override { note(log_, "kill timer " + std::to_string(id)); }
  void endDialog() override {
    ++dialogEnds;
    note(log_, "end dialog");
  }

  bool minimised = false;
  bool timerAvailable = true;
  int dialogEnds = 0;

 private:
  EventLog* log_;
};

class RecordingFeatureWindows : public FeatureWindows {
 public:
  explicit RecordingFeatureWindows(EventLog* log) : log_(log) {}
  bool createFeatureWindows() override {
    note(log_, "create feature windows");
    return creatable;
  }
  void centreFeatureWindows() override { note(log_, "centre feature windows"); }
  void destroyFeatureWindows() override { note(log_, "destroy feature windows"); }
  bool creatable = true;

 private:
  EventLog* log_;
};

}  // namespace km8::test
