#include "instrument.h"

#include <algorithm>
#include <cstring>

#include "access_code.h"
#include "wire_bytes.h"

namespace km8::sim {

namespace {
constexpr std::int64_t kModelStepMs = 1000;
constexpr std::uint16_t kMaxReadCount = 125;
constexpr std::uint16_t kMaxWriteCount = 123;
}  // namespace

Instrument::Instrument(const InstrumentConfig& config)
    : active_(config.block),
      staged_(config.block),
      thermal_(config.thermal, config.seed),
      archive_(config.archiveCapacity) {
  setAccessCode(config.accessCode);
  thermal_.sample(active_);
  refreshValues();
}

// ---- time ------------------------------------------------------------------

void Instrument::advanceTo(std::int64_t simMs) {
  if (simMs <= nowMs_) return;
  nowMs_ = simMs;
  bool stepped = false;
  while (modelMs_ + kModelStepMs <= nowMs_) {
    thermal_.step(active_, kModelStepMs / 1000.0);
    modelMs_ += kModelStepMs;
    stepped = true;
    archiveIfDue();
  }
  if (stepped) refreshValues();
}

void Instrument::archiveIfDue() {
  const std::uint8_t period = active_.archivePeriod();
  if (period == 0) return;
  const std::int64_t elapsed = modelMs_ - lastValidRecordMs_;
  // Records fall on whole minutes after the previous one, so that the interval the
  // record carries leads exactly to the previous record's time.
  if (elapsed % kMsPerMinute != 0 || elapsed / kMsPerMinute < period) return;
  std::array<std::int16_t, 8> readings{};
  for (int ch = 0; ch < kChannelCount; ++ch) readings[ch] = thermal_.reading(ch);
  archive_.appendValid(
      static_cast<std::uint8_t>(std::min<std::int64_t>(elapsed / kMsPerMinute, 255)), readings);
  lastValidRecordMs_ = modelMs_;
}

void Instrument::writeHistory(std::size_t records, std::size_t restartEvery) {
  if (active_.archivePeriod() == 0) return;
  for (std::size_t i = 1; i <= records; ++i) {
    advanceTo(lastValidRecordMs_ + active_.archivePeriod() * kMsPerMinute);
    if (restartEvery != 0 && i % restartEvery == 0 && i != records) restart();
  }
}

void Instrument::refreshValues() {
  for (int ch = 0; ch < kChannelCount; ++ch) {
    putLe16(values_.data() + 2 * ch, static_cast<std::uint16_t>(thermal_.reading(ch)));
  }
  values_[16] = thermal_.regulationOutputs();
  values_[17] = thermal_.alarmOutputs();
  values_[18] = active_.enabledChannels();
  values_[19] = statusFlags();
}

std::uint8_t Instrument::statusFlags() const {
  std::uint8_t flags = forcedFlags_;
  if (thermal_.alarmOutputs() != 0) flags |= kStatusGeneralAlarm;
  if (active_.hasError()) flags |= kStatusSetpointError;
  return flags;
}

void Instrument::sampleNow() {
  thermal_.sample(active_);
  refreshValues();
}

void Instrument::setStatusFlag(std::uint8_t mask, bool on) {
  forcedFlags_ = on ? static_cast<std::uint8_t>(forcedFlags_ | mask)
                    : static_cast<std::uint8_t>(forcedFlags_ & ~mask);
  refreshValues();
}

void Instrument::restart() {
  // The marker carries no time of its own: ages and intervals still count from the
  // newest valid record, which keeps a master's timestamps right across it.
  archive_.appendResetMarker();
  thermal_.restart();
  staged_ = active_;
  refreshValues();
}

// ---- configuration -----------------------------------------------------------

void Instrument::setBlock(const SetpointImage& block) {
  active_ = block;
  staged_ = block;
  thermal_.restart();
  thermal_.sample(active_);
  refreshValues();
}

void Instrument::setAccessCode(std::string_view digits) {
  accessCode_.assign(digits);
  packedCode_ = packAccessCode(digits);
}

void Instrument::resetAccessCode() {
  active_.setAttemptsLeft(kMaxAttempts);
  staged_.setAttemptsLeft(kMaxAttempts);
}

// ---- Modbus ------------------------------------------------------------------

Instrument::Result Instrument::handle(const std::uint8_t* frame, std::size_t length, Reply& reply) {
  reply.length = 0;
  Result result;
  if (length < 4 || !crcMatches(frame, length)) {
    ++counters_.badFrames;
    return result;
  }
  if (frame[0] != active_.instrumentNumber()) {
    ++counters_.otherAddress;  // bus traffic for another slave
    return result;
  }
  const std::uint8_t function = frame[1];
  const bool fixedLength = (function >= 1 && function <= 6) || function == 8;
  const bool multiple = function == 15 || function == 16;
  if ((fixedLength && length != 8) ||
      (multiple && (length < 9 || length != 9 + std::size_t{frame[6]}))) {
    ++counters_.badFrames;
    return result;
  }
  ++counters_.requests;
  result.replied = true;
  switch (function) {
    case 3:
      readArchive(frame, reply);
      break;
    case 4:
      readInputRegisters(frame, reply);
      break;
    case 6:
      result.lineChanged = writeAccessCode(frame, reply);
      break;
    case 8:
      if (getBe16(frame + 2) == 0) {
        echo(frame, reply);
      } else {
        exception(frame, kIllegalFunction, reply);
      }
      break;
    case 16:
      writeBlock(frame, reply);
      break;
    default:
      // Functions 1, 2, 5 and 15 included: the instrument has no coils or inputs.
      exception(frame, kIllegalFunction, reply);
      break;
  }
  return result;
}

void Instrument::exception(const std::uint8_t* frame, std::uint8_t code, Reply& reply) {
  ++counters_.exceptions;
  reply.bytes[0] = frame[0];
  reply.bytes[1] = static_cast<std::uint8_t>(frame[1] | 0x80);
  reply.bytes[2] = code;
  reply.length = appendCrc(reply.bytes.data(), 3);
}

void Instrument::echo(const std::uint8_t* frame, Reply& reply) {
  std::memcpy(reply.bytes.data(), frame, 6);
  reply.length = appendCrc(reply.bytes.data(), 6);
}

void Instrument::readInputRegisters(const std::uint8_t* frame, Reply& reply) {
  const std::uint16_t start = getBe16(frame + 2);
  const std::uint16_t count = getBe16(frame + 4);
  if (count == 0 || count > kMaxReadCount) return exception(frame, kIllegalValue, reply);
  if (start + count > kInputRegisterCount) return exception(frame, kIllegalAddress, reply);

  const ArchiveAge age = archiveAge();
  std::uint8_t ageBytes[4];
  putLe16(ageBytes, age.ticks);
  ageBytes[2] = age.minutes;
  ageBytes[3] = 0;

  std::uint8_t* out = reply.bytes.data();
  out[0] = frame[0];
  out[1] = frame[1];
  out[2] = static_cast<std::uint8_t>(2 * count);
  std::uint8_t* data = out + 3;
  for (std::uint16_t r = start; r < start + count; ++r, data += 2) {
    const std::uint8_t* source;
    if (r < kCurrentValueRegisters) {
      source = values_.data() + 2 * r;
    } else if (r < kBlockFirstRegister) {
      source = ageBytes + 2 * (r - kArchiveAgeRegister);
    } else {
      source = active_.bytes().data() + 2 * (r - kBlockFirstRegister);
    }
    data[0] = source[0];
    data[1] = source[1];
  }
  reply.length = appendCrc(out, 3 + 2 * std::size_t{count});
}

void Instrument::readArchive(const std::uint8_t* frame, Reply& reply) {
  const std::uint16_t start = getBe16(frame + 2);
  const std::uint16_t count = getBe16(frame + 4);
  if (count == 0 || count > kMaxReadCount) return exception(frame, kIllegalValue, reply);
  // Record n: its first 10 bytes at 2n, its last 8 at 2n + 1.
  const bool secondPart = (start & 1) != 0;
  const std::size_t offset = secondPart ? 10 : 0;
  const std::uint16_t partRegisters = secondPart ? 4 : 5;
  if (count > partRegisters) return exception(frame, kIllegalAddress, reply);

  const ArchiveRecordBytes& record = archive_.record(start >> 1);
  std::uint8_t* out = reply.bytes.data();
  out[0] = frame[0];
  out[1] = frame[1];
  out[2] = static_cast<std::uint8_t>(2 * count);
  std::memcpy(out + 3, record.data() + offset, 2 * std::size_t{count});
  reply.length = appendCrc(out, 3 + 2 * std::size_t{count});
}

void Instrument::writeBlock(const std::uint8_t* frame, Reply& reply) {
  const std::uint16_t start = getBe16(frame + 2);
  const std::uint16_t count = getBe16(frame + 4);
  if (count == 0 || count > kMaxWriteCount || frame[6] != 2 * count) {
    return exception(frame, kIllegalValue, reply);
  }
  if (start < kBlockFirstRegister || start + count > kInputRegisterCount) {
    return exception(frame, kIllegalAddress, reply);
  }
  // Written data wait in the staged copy until the access code is accepted.
  std::memcpy(staged_.bytes().data() + 2 * (start - kBlockFirstRegister), frame + 7,
              2 * std::size_t{count});
  echo(frame, reply);
}

bool Instrument::writeAccessCode(const std::uint8_t* frame, Reply& reply) {
  if (getBe16(frame + 2) != kAccessCodeRegister) {
    exception(frame, kIllegalAddress, reply);
    return false;
  }
  // The code's low byte travels first.
  const std::uint16_t code = getLe16(frame + 4);
  const std::uint8_t attempts = active_.attemptsLeft();
  if (attempts == 0 || code != packedCode_) {
    ++counters_.codesRefused;
    if (attempts > 0) active_.setAttemptsLeft(static_cast<std::uint8_t>(attempts - 1));
    staged_ = active_;
    exception(frame, kIllegalValue, reply);
    return false;
  }
  ++counters_.codesAccepted;
  // The attempts counter is the instrument's own, whatever was written over it.
  staged_.setAttemptsLeft(kMaxAttempts);
  const bool lineChanged = staged_.instrumentNumber() != active_.instrumentNumber() ||
                           staged_.baudIndex() != active_.baudIndex();
  for (int ch = 0; ch < kChannelCount; ++ch) {
    if (!(staged_.channel(ch) == active_.channel(ch))) thermal_.resetController(ch);
  }
  active_ = staged_;
  refreshValues();
  echo(frame, reply);
  return lineChanged;
}

}  // namespace km8::sim
