// Stand-ins for the archive list window, the clock and the exports: they keep what the
// archive reading asked of them, rows formatted as the real window shows them.
#pragma once

#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "archives/archive_clock.h"
#include "archives/archive_exports.h"
#include "archives/archive_list_view.h"
#include "archives/archive_rows.h"
#include "event_log.h"

namespace km8::test {

class FakeArchiveList : public ArchiveListView {
 public:
  explicit FakeArchiveList(EventLog* log = nullptr) : log_(log) {}

  void deleteAllRows() override {
    entries.clear();
    note(log_, "list cleared");
  }
  void appendRow(const ArchiveEntry& entry) override {
    entries.push_back(entry);
    note(log_, "row " + std::to_string(entries.size()));
  }
  void setCaption(const std::string& text) override {
    captions.push_back(text);
    note(log_, "caption " + text);
  }
  void showOrFocus() override { note(log_, "list shown"); }
  void activate() override { note(log_, "list activated"); }
  bool listOpen() const override { return open; }
  void setListOpen(bool value) override { open = value; }

  // The ten texts of row n, as the window shows them.
  std::array<std::string, kArchiveColumnCount> row(std::size_t n) const {
    std::array<std::string, kArchiveColumnCount> cells;
    for (int c = 0; c < kArchiveColumnCount; ++c) cells[c] = ArchiveCellText(n, entries.at(n), c);
    return cells;
  }
  const std::string& caption() const { return captions.back(); }

  std::vector<ArchiveEntry> entries;
  std::vector<std::string> captions;
  bool open = false;

 private:
  EventLog* log_;
};

// A clock that stands still unless told to move; local time as the platform gives it,
// or UTC when `utc` is set (for tests that must not depend on the time zone).
class FixedClock : public ArchiveClock {
 public:
  explicit FixedClock(std::int64_t at) : at(at) {}
  std::int64_t now() const override { return at; }
  LocalDateTime toLocal(std::int64_t instant) const override {
    return utc ? UtcDateTimeOf(instant) : LocalDateTimeOf(instant);
  }

  std::int64_t at;
  bool utc = true;
};

class RecordingExports : public ArchiveExports {
 public:
  explicit RecordingExports(EventLog* log = nullptr) : log_(log) {}
  void exportText(const ArchiveBuffer& buffer, const TextExportSettings& s) override {
    texts.push_back({buffer.size(), s.textFileName, s.autoOpen});
    note(log_, "text export");
  }
  void exportDatabase(const ArchiveBuffer& buffer, const DatabaseExportSettings& s) override {
    databases.push_back({buffer.size(), s.dataBaseName, s.deviceId});
    note(log_, "database export");
  }
  struct Text {
    std::size_t entries;
    std::string fileName;
    bool autoOpen;
  };
  struct Database {
    std::size_t entries;
    std::string fileName;
    unsigned deviceId;
  };
  std::vector<Text> texts;
  std::vector<Database> databases;

 private:
  EventLog* log_;
};

// Seconds since 1970 of a UTC date and time.
inline std::int64_t utcInstant(int y, unsigned mo, unsigned d, int h, int mi, int s) {
  using namespace std::chrono;
  const sys_days date{year{y} / month{mo} / day{d}};
  return date.time_since_epoch().count() * 86400LL + h * 3600 + mi * 60 + s;
}

// Bytes of a record: status, interval, eight temperatures in tenths, low byte first.
inline ArchiveRecord recordOf(std::uint8_t status, std::uint8_t interval,
                              std::array<std::int16_t, 8> tenths = {}) {
  ArchiveRecord r;
  r.bytes[0] = status;
  r.bytes[1] = interval;
  for (int c = 0; c < 8; ++c) {
    const auto u = static_cast<std::uint16_t>(tenths[c]);
    r.bytes[2 + 2 * c] = static_cast<std::uint8_t>(u & 0xFF);
    r.bytes[3 + 2 * c] = static_cast<std::uint8_t>(u >> 8);
  }
  return r;
}

}  // namespace km8::test
