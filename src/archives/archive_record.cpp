#include "archives/archive_record.h"

namespace km8 {

ArchiveRecordKind ArchiveRecord::kind() const {
  if (status() == kArchiveStatusValid) return ArchiveRecordKind::Valid;
  if (status() == kArchiveStatusResetMarker) return ArchiveRecordKind::ResetMarker;
  return ArchiveRecordKind::EmptySlot;
}

double ArchiveRecord::temperature(int channel) const {
  if (channel < 0 || channel >= kChannelCount) return LowMarker;
  const auto at = static_cast<std::size_t>(2 + 2 * channel);
  return DecodeTemperature(bytes[at], bytes[at + 1]);
}

std::int16_t ArchiveRecord::tenths(int channel) const {
  if (channel < 0 || channel >= kChannelCount) return 0;
  const auto at = static_cast<std::size_t>(2 + 2 * channel);
  return static_cast<std::int16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::optional<double> ArchiveRecord::channelValue(int channel) const {
  const double t = temperature(channel);
  if (IsTemperatureMarker(t)) return std::nullopt;
  return t;
}

bool ArchiveBuffer::append(const ArchiveEntry& entry) {
  if (entries_.size() >= kMaxEntries) return false;
  entries_.push_back(entry);
  return true;
}

}  // namespace km8
