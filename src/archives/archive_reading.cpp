#include "archives/archive_reading.h"

#include <algorithm>
#include <utility>

namespace km8 {

std::string ReadingCaption(ArchiveMode mode, unsigned deviceId) {
  std::string caption;
  switch (mode) {
    case ArchiveMode::View:
      caption = "Перегляд архівів";
      break;
    case ArchiveMode::TextExport:
      caption = "Створення текстового файлу";
      break;
    case ArchiveMode::DatabaseExport:
      caption = "Створення бази даних";
      break;
  }
  return caption + " (Прилад №" + std::to_string(deviceId) + ")";
}

std::string ProgressSuffix(unsigned recordIndex, unsigned arcNum) {
  const unsigned percent = arcNum == 0 ? 100 : recordIndex * 100u / arcNum;
  return "  [" + std::to_string(percent) + "%]";
}

ArchiveReading::ArchiveReading(SharedSettings& settings, PollCycle& poll, MainWindowFront& window,
                               ArchiveListView& list, const ArchiveClock& clock)
    : settings_(settings), poll_(poll), window_(window), list_(list), clock_(clock) {}

void ArchiveReading::StartArchiveReading(ArchiveMode mode) {
  // A hand-edited count beyond what the buffer holds would lose the records past it.
  const std::uint16_t arcNum = settings_.update([](AppSettings& s) {
    s.ArcNum = std::clamp<std::uint16_t>(s.ArcNum, 1, kMaxArchiveRecords);
    return s.ArcNum;
  });
  // Records past the last addressable one cannot be asked for: the reading ends there as
  // if the count had been reached, and the setting keeps the count as chosen.
  arcNum_ = static_cast<std::uint16_t>(std::min<std::uint32_t>(arcNum, kAddressableArchiveRecords));

  mode_ = mode;
  deviceId_ = settings_.get(&AppSettings::DeviceID);
  readingCaption_ = ReadingCaption(mode, deviceId_);

  list_.deleteAllRows();
  list_.setCaption(readingCaption_);
  list_.showOrFocus();
  list_.setListOpen(true);

  recordIndex_ = 0;
  runningTime_ = clock_.now();

  poll_.discardOutstandingReply(PollCycle::Feature::ArchiveReading);

  if (buffer_.use_count() > 1) {
    buffer_ = std::make_shared<ArchiveBuffer>();
  } else {
    buffer_->clear();
  }
  poll_.resetArchiveFailureCount();
  validRecords_.clear();
  textExportPending_ = false;
  databaseExportPending_ = false;
  readingActive_ = true;
  agePending_ = true;
}

void ArchiveReading::onArchiveAge(const ArchiveAge& age) {
  agePending_ = false;
  runningTime_ = clock_.now() - age.span().count();
}

void ArchiveReading::onFirstHalf(ReplyBytes data) {
  const std::size_t n = std::min<std::size_t>(data.size(), 10);
  std::copy_n(data.begin(), n, current_.bytes.begin());
}

void ArchiveReading::onSecondHalf(ReplyBytes data) {
  // Only a reply of the reading under way can arrive here; anything after its last
  // record would list rows past ArcNum.
  if (recordIndex_ >= arcNum_) return;
  const std::size_t n = std::min<std::size_t>(data.size(), 8);
  std::copy_n(data.begin(), n, current_.bytes.begin() + 10);

  const ArchiveEntry entry{
      .record = current_, .instant = runningTime_, .local = clock_.toLocal(runningTime_)};
  if (mode_ != ArchiveMode::View) buffer_->append(entry);
  list_.appendRow(entry);

  // Reset markers and empty slots carry no interval of their own.
  if (current_.kind() == ArchiveRecordKind::Valid) {
    if (recordSink_ != nullptr) {
      StampedDegrees& r = validRecords_.emplace_back();
      r.instant = runningTime_;
      for (int c = 0; c < kChannelCount; ++c) r.degrees[c] = current_.temperature(c);
    }
    runningTime_ -= std::int64_t{current_.intervalMinutes()} * 60;
  }
  ++recordIndex_;
  list_.setCaption(readingCaption_ + ProgressSuffix(recordIndex_, arcNum_));

  if (recordIndex_ < arcNum_) return;
  readingActive_ = false;
  if (recordSink_ != nullptr) {
    recordSink_->onArchiveRead(settings_.get(&AppSettings::DeviceID), validRecords_);
    validRecords_.clear();
  }
  switch (mode_) {
    case ArchiveMode::TextExport:
      textExportPending_ = true;
      break;
    case ArchiveMode::DatabaseExport:
      databaseExportPending_ = true;
      break;
    case ArchiveMode::View:
      window_.BringToFront();
      list_.activate();
      break;
  }
}

void ArchiveReading::onArchiveFailure() {
  readingActive_ = false;
  agePending_ = false;
  list_.setCaption(readingCaption_ + kNoLinkCaptionSuffix);
}

bool ArchiveReading::takeTextExportPending() { return std::exchange(textExportPending_, false); }

bool ArchiveReading::takeDatabaseExportPending() {
  return std::exchange(databaseExportPending_, false);
}

void ArchiveReading::runTextExport() {
  const std::shared_ptr<const ArchiveBuffer> held = buffer_;
  const AppSettings s = settings_.snapshot();
  exports_->exportText(*held, {.textFileName = s.TextFileName, .autoOpen = s.TextAutoOpen != 0});
}

void ArchiveReading::runDatabaseExport() {
  const std::shared_ptr<const ArchiveBuffer> held = buffer_;
  const AppSettings s = settings_.snapshot();
  exports_->exportDatabase(*held, {.dataBaseName = s.DataBaseName, .deviceId = s.DeviceID});
}

}  // namespace km8
