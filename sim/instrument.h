// The simulated KM410-8 as a Modbus RTU slave: its register images, archive, access
// code and thermal channels, and the request handler (request bytes in, reply out).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "archive_store.h"
#include "setpoint_image.h"
#include "sim_clock.h"
#include "thermal_model.h"

namespace km8::sim {

inline constexpr std::uint16_t kCurrentValueRegisters = 10;
inline constexpr std::uint16_t kArchiveAgeRegister = 10;
inline constexpr std::uint16_t kInputRegisterCount = kBlockFirstRegister + kBlockRegisterCount;
inline constexpr std::uint16_t kAccessCodeRegister = 12;

// Status flag bits of register 9's second byte.
inline constexpr std::uint8_t kStatusGeneralAlarm = 0x01;
inline constexpr std::uint8_t kStatusSetpointError = 0x02;
inline constexpr std::uint8_t kStatusAdcFailure = 0x04;
inline constexpr std::uint8_t kStatusArchiveError = 0x08;

// Modbus exception codes the instrument answers with.
inline constexpr std::uint8_t kIllegalFunction = 1;
inline constexpr std::uint8_t kIllegalAddress = 2;
inline constexpr std::uint8_t kIllegalValue = 3;

struct InstrumentConfig {
  SetpointImage block = SetpointImage::factoryDefault();
  std::string accessCode = "1234";
  std::size_t archiveCapacity = 1000;
  ThermalConfig thermal;
  std::uint64_t seed = 1;
};

struct InstrumentCounters {
  std::uint64_t requests = 0;      // frames addressed to this instrument with a good CRC
  std::uint64_t exceptions = 0;    // of which answered with an exception
  std::uint64_t otherAddress = 0;  // good frames for another slave (no reply)
  std::uint64_t badFrames = 0;     // bad CRC or malformed (no reply)
  std::uint64_t codesAccepted = 0;
  std::uint64_t codesRefused = 0;
};

struct Reply {
  std::array<std::uint8_t, 256> bytes{};
  std::size_t length = 0;
};

class Instrument {
 public:
  explicit Instrument(const InstrumentConfig& config);

  // Simulated time, in ms since power-up. The thermal model moves in whole seconds;
  // archive records fall on whole minutes after the newest valid record.
  void advanceTo(std::int64_t simMs);
  std::int64_t nowMs() const { return nowMs_; }
  // Runs the instrument forward until it has written `records` more valid records,
  // restarting it after every `restartEvery` of them (0: never). Needs a non-zero
  // archiving period.
  void writeHistory(std::size_t records, std::size_t restartEvery);

  struct Result {
    bool replied = false;
    bool lineChanged = false;  // instrument number or baud rate changed by this request
  };
  // Handles one request frame; never allocates.
  Result handle(const std::uint8_t* frame, std::size_t length, Reply& reply);

  const SetpointImage& block() const { return active_; }
  // Replaces the whole block (as the instrument's own keypad would).
  void setBlock(const SetpointImage& block);
  std::uint8_t address() const { return active_.instrumentNumber(); }
  std::uint32_t baud() const { return baudRateOfIndex(active_.baudIndex()); }

  void setAccessCode(std::string_view digits);
  const std::string& accessCode() const { return accessCode_; }
  // Entering the right code on the instrument itself: the attempts are restored.
  void resetAccessCode();

  // A power cycle: a reset marker goes into the archive and the controllers restart.
  void restart();

  // Takes fresh readings at once, without letting time pass (after a test changed
  // a temperature or a sensor).
  void sampleNow();

  void setStatusFlag(std::uint8_t mask, bool on);
  std::uint8_t statusFlags() const;
  ArchiveAge archiveAge() const { return archiveAgeOf(nowMs_ - lastValidRecordMs_); }
  // Registers 0..9 exactly as they travel (low byte first).
  const std::array<std::uint8_t, 20>& currentValues() const { return values_; }

  ThermalModel& thermal() { return thermal_; }
  const ThermalModel& thermal() const { return thermal_; }
  const ArchiveStore& archive() const { return archive_; }
  const InstrumentCounters& counters() const { return counters_; }

 private:
  void stepModel();
  void archiveIfDue();
  void refreshValues();

  void exception(const std::uint8_t* frame, std::uint8_t code, Reply& reply);
  void readInputRegisters(const std::uint8_t* frame, Reply& reply);
  void readArchive(const std::uint8_t* frame, Reply& reply);
  void writeBlock(const std::uint8_t* frame, Reply& reply);
  bool writeAccessCode(const std::uint8_t* frame, Reply& reply);
  void echo(const std::uint8_t* frame, Reply& reply);

  SetpointImage active_;
  SetpointImage staged_;
  std::string accessCode_;
  std::uint16_t packedCode_ = 0;
  ThermalModel thermal_;
  ArchiveStore archive_;
  std::int64_t nowMs_ = 0;
  std::int64_t modelMs_ = 0;
  std::int64_t lastValidRecordMs_ = 0;
  std::uint8_t forcedFlags_ = 0;
  std::array<std::uint8_t, 20> values_{};
  InstrumentCounters counters_;
};

}  // namespace km8::sim
