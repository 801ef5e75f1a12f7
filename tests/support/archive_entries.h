// Archive entries for the export tests and benchmarks: a record from its status and raw
// channel values (tenths, as the instrument sends them), with a given local time.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archives/archive_clock.h"
#include "archives/archive_record.h"

namespace km8::test {

inline ArchiveEntry MakeArchiveEntry(std::uint8_t status, std::array<std::int16_t, 8> raw = {},
                                     LocalDateTime local = {}) {
  ArchiveEntry entry;
  entry.record.bytes[0] = status;
  entry.record.bytes[1] = 10;
  for (std::size_t channel = 0; channel < raw.size(); ++channel) {
    const auto value = static_cast<std::uint16_t>(raw[channel]);
    entry.record.bytes[2 + 2 * channel] = static_cast<std::uint8_t>(value & 0xFF);
    entry.record.bytes[3 + 2 * channel] = static_cast<std::uint8_t>(value >> 8);
  }
  entry.local = local;
  return entry;
}

// The same at an instant (seconds since 1970), its local time taken as UTC so that what
// is shown does not depend on the machine's time zone.
inline ArchiveEntry StampedEntry(std::uint8_t status, std::array<std::int16_t, 8> raw,
                                 std::int64_t instant) {
  ArchiveEntry entry = MakeArchiveEntry(status, raw, UtcDateTimeOf(instant));
  entry.instant = instant;
  return entry;
}

// `count` entries, every 20th a reset marker and every 33rd an empty slot, the rest
// valid with varied values; the shape of a long reading.
inline ArchiveBuffer MakeLongReading(std::size_t count) {
  ArchiveBuffer buffer;
  for (std::size_t k = 0; k < count; ++k) {
    const std::uint8_t status = k % 20 == 19 ? 0xEF : k % 33 == 32 ? 0x01 : 0x00;
    std::array<std::int16_t, 8> raw{};
    for (std::size_t c = 0; c < raw.size(); ++c) {
      raw[c] = static_cast<std::int16_t>(static_cast<int>((k * 37 + c * 101) % 4000) - 500);
    }
    const int minutes = static_cast<int>(k % 1440);
    buffer.append(MakeArchiveEntry(status, raw, {2026, 12, 7, minutes / 60, minutes % 60, 0}));
  }
  return buffer;
}

// A fresh, empty folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name)
      : path_(std::filesystem::temp_directory_path() / name) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  // Names of the files in the folder, sorted.
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(path_)) {
      out.push_back(e.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace km8::test
