// The archive reading: started by the Archives command, carried one record per pass by
// the poll cycle, time-stamping each record and listing it as it arrives.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archives/archive_clock.h"
#include "archives/archive_exports.h"
#include "archives/archive_list_view.h"
#include "archives/archive_record.h"
#include "config/app_settings.h"
#include "monitor/feature_hooks.h"
#include "monitor/poll_cycle.h"
#include "monitor/sample_sinks.h"

namespace km8 {

inline constexpr std::uint16_t kMaxArchiveRecords = ArchiveBuffer::kMaxEntries;

// "Перегляд архівів (Прилад №1)" and the like.
std::string ReadingCaption(ArchiveMode mode, unsigned deviceId);
// "  [33%]": records read so far as a share of the records to read, truncated.
std::string ProgressSuffix(unsigned recordIndex, unsigned arcNum);

// Everything runs on the user-interface thread.
class ArchiveReading final : public ArchiveReadingHooks {
 public:
  ArchiveReading(SharedSettings& settings, PollCycle& poll, MainWindowFront& window,
                 ArchiveListView& list, const ArchiveClock& clock);
  ArchiveReading(const ArchiveReading&) = delete;
  ArchiveReading& operator=(const ArchiveReading&) = delete;

  // The exports must outlive this object; until attached, nothing is written.
  void attachExports(ArchiveExports& exports) { exports_ = &exports; }
  // Every reading that completes hands its valid records to `sink` (nullptr: none).
  void attachRecordSink(ArchiveRecordSink* sink) { recordSink_ = sink; }

  // Discards any reading under way and starts again from record 0 with an age read.
  void StartArchiveReading(ArchiveMode mode);

  // ArchiveReadingHooks
  bool readingActive() const override { return readingActive_; }
  void clearReadingActive() override { readingActive_ = false; }
  bool agePending() const override { return agePending_; }
  void clearAgePending() override { agePending_ = false; }
  bool listOpen() const override { return list_.listOpen(); }
  std::uint16_t recordIndex() const override { return recordIndex_; }
  void onArchiveAge(const ArchiveAge& age) override;
  void onFirstHalf(ReplyBytes data) override;
  void onSecondHalf(ReplyBytes data) override;
  void onArchiveFailure() override;
  bool takeTextExportPending() override;
  void runTextExport() override;
  bool takeDatabaseExportPending() override;
  void runDatabaseExport() override;
  void activateListWindow() override { list_.activate(); }

  ArchiveMode mode() const { return mode_; }
  std::int64_t runningTime() const { return runningTime_; }
  const std::string& readingCaption() const { return readingCaption_; }
  // The instrument number the current (or last) reading was started with.
  unsigned deviceId() const { return deviceId_; }
  // ArcNum, at most the records whose addresses fit in 16 bits.
  std::uint16_t recordsToRead() const { return arcNum_; }
  // Every record of the last export-mode reading, newest first; empty after a View one.
  const ArchiveBuffer& buffer() const { return *buffer_; }

 private:
  SharedSettings& settings_;
  PollCycle& poll_;
  MainWindowFront& window_;
  ArchiveListView& list_;
  const ArchiveClock& clock_;
  NullArchiveExports nullExports_;
  ArchiveExports* exports_ = &nullExports_;
  ArchiveRecordSink* recordSink_ = nullptr;
  std::vector<StampedDegrees> validRecords_;  // of the reading under way, for the sink

  ArchiveMode mode_ = ArchiveMode::View;
  unsigned deviceId_ = 1;
  std::uint16_t arcNum_ = 1;
  std::uint16_t recordIndex_ = 0;
  std::int64_t runningTime_ = 0;
  ArchiveRecord current_;
  bool readingActive_ = false;
  bool agePending_ = false;
  bool textExportPending_ = false;
  bool databaseExportPending_ = false;
  std::string readingCaption_;
  // Shared with an export under way, so that a reading started from inside one of its
  // message boxes fills a fresh buffer instead of the one being written.
  std::shared_ptr<ArchiveBuffer> buffer_ = std::make_shared<ArchiveBuffer>();
};

}  // namespace km8
