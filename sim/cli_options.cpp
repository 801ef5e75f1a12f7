#include "cli_options.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace km8::sim {

namespace {

std::optional<long long> parseInteger(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

std::optional<double> parseNumber(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const std::string copy(text);
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::vector<std::string_view> splitList(std::string_view text) {
  std::vector<std::string_view> parts;
  for (;;) {
    const auto comma = text.find(',');
    parts.push_back(text.substr(0, comma));
    if (comma == std::string_view::npos) return parts;
    text.remove_prefix(comma + 1);
  }
}

// A channel's setpoint in degrees: stored in tenths, and the switching threshold and
// alarm limits follow it.
bool setSetpoint(SetpointImage& block, int channel, double degrees) {
  const long tenths = std::lround(degrees * 10.0);
  if (tenths < -32768 + 200 || tenths > 32767 - 200) return false;
  ChannelSettings s = block.channel(channel);
  s.setpoint = static_cast<std::int16_t>(tenths);
  s.switchPoint = switchPointFor(s.setpoint, s.band, s.controlLaw);
  s.alarmHigh = static_cast<std::int16_t>(tenths + 200);
  s.alarmLow = static_cast<std::int16_t>(tenths - 200);
  block.setChannel(channel, s);
  return true;
}

bool setLaw(SetpointImage& block, int channel, long long code) {
  if (code < 0 || code > 5) return false;
  ChannelSettings s = block.channel(channel);
  s.controlLaw = static_cast<std::uint8_t>(code);
  s.band = (code == 3 || code == 4) ? 10 : 3;
  s.switchPoint = switchPointFor(s.setpoint, s.band, s.controlLaw);
  block.setChannel(channel, s);
  return true;
}

// "CH=VALUE" with CH 1..8.
bool splitChannelValue(std::string_view text, int& channel, std::string_view& value) {
  const auto eq = text.find('=');
  if (eq == std::string_view::npos) return false;
  const auto ch = parseInteger(text.substr(0, eq));
  if (!ch || *ch < 1 || *ch > kChannelCount) return false;
  channel = static_cast<int>(*ch) - 1;
  value = text.substr(eq + 1);
  return true;
}

}  // namespace

std::string usageText() {
  return R"(Usage: km8-sim [options]
Simulates a KM410-8 eight-channel temperature regulator as a Modbus RTU slave on a
new pseudo-terminal (or on a serial device) and prints the device path to use.

Line:
  --address N           instrument number = slave address, 1..255 (default 1)
  --baud RATE           600 2400 4800 9600 14400 19200 28800 38400 (default 19200)
  --pty                 serve a new pseudo-terminal (default)
  --device PATH         serve a serial device instead (e.g. /dev/ttyUSB1)
  --link PATH           also make PATH a symlink to the pseudo-terminal
  --line-timing         take requests and send replies at the baud rate's pace
                        (10 bits a character, 8N1)
  --turnaround MS       silence before each reply (default 0)
Setpoints:
  --setpoints T1,..,T8  setpoints in degrees; empty entries keep the default
  --setpoint CH=T       the setpoint of channel CH (1..8)
  --laws L1,..,L8       control laws: 0 two-position heating, 1 two-position
                        cooling, 2 ALL, 3 PID heating, 4 PID cooling, 5 ALLS
  --law CH=L            the control law of channel CH
                        (alarm limits follow the setpoint at +-20 degrees)
  --enabled MASK        enabled channels, bit 0 = channel 1 (e.g. 0xFF, 0x81)
  --access-code DIGITS  the code that unlocks changes (default 1234)
  --attempts N          code attempts left, 0 = blocked (default 5)
Archive and time:
  --archive-size N      records the archive holds, 1..32768 (default 1000)
  --archive-period MIN  minutes between records, 0 = off (default 1)
  --history N           valid records already archived at start (default 0)
  --restart-every K     a reset marker after every K of those (default 0: none)
  --time-scale X        simulated seconds per real second (default 1)
Plant:
  --ambient C           ambient temperature (default 20)
  --noise C             sensor noise, standard deviation (default 0.05)
  --seed N              seed for noise and faults (default 1)
Faults (RATE 0..1, the share of replies affected):
  --fault NAME=RATE     silence, bad-crc, wrong-address, short, garbage-before,
                        garbage-after, late, gap; may be repeated
  --late-ms MS          how late a late reply is (default: past the master's
                        total time-out at the baud rate)
  --gap-ms MS           the pause inside a frame (default: past the master's
                        inter-character time-out)
Output:
  --status              print a one-line status every second
  -h, --help            this text
  --version             the simulator's version

While running, type a command and Enter: reset-code, restart, status,
fault NAME=RATE, sensor CH ok|low|high, quit. SIGUSR1 also resets the code.
Stops cleanly on Ctrl-C (SIGINT) or SIGTERM.
)";
}

bool parseCommandLine(const std::vector<std::string>& args, CliOptions& out, std::string& error) {
  SetpointImage& block = out.config.instrument.block;
  std::size_t i = 0;
  auto value = [&](std::string_view& v) {
    if (i + 1 >= args.size()) {
      error = args[i] + " needs a value";
      return false;
    }
    v = args[++i];
    return true;
  };
  auto bad = [&](std::string_view option, std::string_view v) {
    error = "invalid value for " + std::string(option) + ": '" + std::string(v) + "'";
    return false;
  };

  for (; i < args.size(); ++i) {
    const std::string& opt = args[i];
    std::string_view v;
    if (opt == "-h" || opt == "--help") {
      out.help = true;
    } else if (opt == "--version") {
      out.version = true;
    } else if (opt == "--status") {
      out.status = true;
    } else if (opt == "--pty") {
      out.device.clear();
    } else if (opt == "--line-timing") {
      out.config.pacedLine = true;
    } else if (opt == "--device" || opt == "--link") {
      if (!value(v)) return false;
      if (v.empty()) return bad(opt, v);
      (opt == "--device" ? out.device : out.linkPath) = std::string(v);
    } else if (opt == "--access-code") {
      if (!value(v)) return false;
      if (v.size() > 6 || v.find_first_not_of("0123456789") != std::string_view::npos) {
        return bad(opt, v);
      }
      out.config.instrument.accessCode = std::string(v);
    } else if (opt == "--setpoints" || opt == "--laws") {
      if (!value(v)) return false;
      const auto parts = splitList(v);
      if (parts.size() > kChannelCount) return bad(opt, v);
      for (std::size_t ch = 0; ch < parts.size(); ++ch) {
        if (parts[ch].empty()) continue;
        if (opt == "--setpoints") {
          const auto t = parseNumber(parts[ch]);
          if (!t || !setSetpoint(block, static_cast<int>(ch), *t)) return bad(opt, v);
        } else {
          const auto code = parseInteger(parts[ch]);
          if (!code || !setLaw(block, static_cast<int>(ch), *code)) return bad(opt, v);
        }
      }
    } else if (opt == "--setpoint" || opt == "--law") {
      if (!value(v)) return false;
      int ch = 0;
      std::string_view item;
      if (!splitChannelValue(v, ch, item)) return bad(opt, v);
      if (opt == "--setpoint") {
        const auto t = parseNumber(item);
        if (!t || !setSetpoint(block, ch, *t)) return bad(opt, v);
      } else {
        const auto code = parseInteger(item);
        if (!code || !setLaw(block, ch, *code)) return bad(opt, v);
      }
    } else if (opt == "--fault") {
      if (!value(v)) return false;
      const auto eq = v.find('=');
      const auto fault = faultFromName(v.substr(0, eq));
      const auto rate =
          eq == std::string_view::npos ? std::optional<double>(1.0) : parseNumber(v.substr(eq + 1));
      if (!fault || !rate || *rate < 0 || *rate > 1) return bad(opt, v);
      out.config.faults[*fault] = *rate;
    } else if (opt == "--time-scale" || opt == "--ambient" || opt == "--noise") {
      if (!value(v)) return false;
      const auto x = parseNumber(v);
      if (!x) return bad(opt, v);
      if (opt == "--time-scale") {
        if (*x < 0 || *x > 1e6) return bad(opt, v);
        out.config.timeScale = *x;
      } else if (opt == "--ambient") {
        out.config.instrument.thermal.ambientC = *x;
      } else {
        if (*x < 0) return bad(opt, v);
        out.config.instrument.thermal.noiseC = *x;
      }
    } else {
      // Every remaining option takes an integer.
      struct IntegerOption {
        const char* name;
        long long min;
        long long max;
      };
      static constexpr IntegerOption kIntegers[] = {
          {"--address", 1, 255},        {"--baud", 600, 38400},
          {"--enabled", 0, 255},        {"--attempts", 0, 255},
          {"--archive-size", 1, 32768}, {"--archive-period", 0, 255},
          {"--history", 0, 1'000'000},  {"--restart-every", 0, 1'000'000},
          {"--turnaround", 0, 10'000},  {"--late-ms", 1, 60'000},
          {"--gap-ms", 1, 60'000},      {"--seed", 0, (1LL << 62)},
      };
      const IntegerOption* known = nullptr;
      for (const auto& o : kIntegers) {
        if (opt == o.name) known = &o;
      }
      if (!known) {
        error = "unknown option '" + opt + "' (see --help)";
        return false;
      }
      if (!value(v)) return false;
      const auto n = parseInteger(v);
      if (!n || *n < known->min || *n > known->max) return bad(opt, v);
      const std::string_view name = known->name;
      if (name == "--address") {
        block.setInstrumentNumber(static_cast<std::uint8_t>(*n));
      } else if (name == "--baud") {
        const int index = baudIndexOfRate(static_cast<std::uint32_t>(*n));
        if (index < 0) return bad(opt, v);
        block.setBaudIndex(static_cast<std::uint8_t>(index));
      } else if (name == "--enabled") {
        block.setEnabledChannels(static_cast<std::uint8_t>(*n));
      } else if (name == "--attempts") {
        block.setAttemptsLeft(static_cast<std::uint8_t>(*n));
      } else if (name == "--archive-size") {
        out.config.instrument.archiveCapacity = static_cast<std::size_t>(*n);
      } else if (name == "--archive-period") {
        block.setArchivePeriod(static_cast<std::uint8_t>(*n));
      } else if (name == "--history") {
        out.config.historyRecords = static_cast<std::size_t>(*n);
      } else if (name == "--restart-every") {
        out.config.restartEvery = static_cast<std::size_t>(*n);
      } else if (name == "--turnaround") {
        out.config.turnaroundMs = static_cast<std::uint32_t>(*n);
      } else if (name == "--late-ms") {
        out.config.faults.lateDelayMs = static_cast<std::uint32_t>(*n);
      } else if (name == "--gap-ms") {
        out.config.faults.gapPauseMs = static_cast<std::uint32_t>(*n);
      } else {
        out.config.instrument.seed = static_cast<std::uint64_t>(*n);
      }
    }
  }
  if (out.config.historyRecords > 0 && block.archivePeriod() == 0) {
    error = "--history needs a non-zero --archive-period";
    return false;
  }
  if (!out.device.empty() && !out.linkPath.empty()) {
    error = "--link is for the pseudo-terminal, not with --device";
    return false;
  }
  return true;
}

std::string statusLine(const SimStatus& s) {
  const std::int64_t seconds = s.simTimeMs / 1000;
  char head[96];
  std::snprintf(head, sizeof head, "t=%lld:%02lld:%02lld #%u %u |",
                static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                static_cast<long long>(seconds % 60), unsigned{s.address}, s.baud);
  std::string line = head;
  for (const std::int16_t raw : s.readings) {
    char t[16];
    if (raw <= kRawBelowRange) {
      std::snprintf(t, sizeof t, " %6s", "low");
    } else if (raw >= kRawAboveRange) {
      std::snprintf(t, sizeof t, " %6s", "high");
    } else {
      std::snprintf(t, sizeof t, " %6.1f", raw / 10.0);
    }
    line += t;
  }
  char tail[200];
  std::snprintf(tail, sizeof tail,
                " | out=%02X alm=%02X on=%02X st=%02X | tries=%u rec=%zu | req=%llu exc=%llu "
                "bad=%llu other=%llu faults=%llu",
                s.regulationOutputs, s.alarmOutputs, s.enabledChannels, s.statusFlags,
                unsigned{s.attemptsLeft}, s.archiveRecords,
                static_cast<unsigned long long>(s.counters.requests),
                static_cast<unsigned long long>(s.counters.exceptions),
                static_cast<unsigned long long>(s.counters.badFrames),
                static_cast<unsigned long long>(s.counters.otherAddress),
                static_cast<unsigned long long>(s.faultsApplied));
  return line + tail;
}

}  // namespace km8::sim
