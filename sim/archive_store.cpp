#include "archive_store.h"

#include <algorithm>

#include "wire_bytes.h"

namespace km8::sim {

namespace {
ArchiveRecordBytes makeEmpty() {
  ArchiveRecordBytes r;
  r.fill(kRecordEmpty);
  return r;
}
const ArchiveRecordBytes kEmptySlot = makeEmpty();
}  // namespace

ArchiveStore::ArchiveStore(std::size_t capacity)
    : slots_(std::clamp<std::size_t>(capacity, 1, kMaxArchiveRecords), kEmptySlot) {}

void ArchiveStore::appendValid(std::uint8_t intervalMinutes,
                               const std::array<std::int16_t, 8>& tenths) {
  ArchiveRecordBytes r{};
  r[0] = kRecordValid;
  r[1] = intervalMinutes;
  for (std::size_t ch = 0; ch < tenths.size(); ++ch) {
    putLe16(r.data() + 2 + 2 * ch, static_cast<std::uint16_t>(tenths[ch]));
  }
  push(r);
}

void ArchiveStore::appendResetMarker() {
  ArchiveRecordBytes r{};
  r[0] = kRecordResetMarker;
  push(r);
}

void ArchiveStore::push(const ArchiveRecordBytes& record) {
  newest_ = size_ == 0 ? 0 : (newest_ + 1) % slots_.size();
  slots_[newest_] = record;
  size_ = std::min(size_ + 1, slots_.size());
}

const ArchiveRecordBytes& ArchiveStore::record(std::size_t n) const {
  if (n >= size_) return kEmptySlot;
  return slots_[(newest_ + slots_.size() - n) % slots_.size()];
}

}  // namespace km8::sim
