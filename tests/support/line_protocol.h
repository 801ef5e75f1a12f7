// The text protocol between the Windows tests under wine and km8-line-responder, the
// native program that plays the instrument on the far end of their COM ports.
#pragma once

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/modbus_bytes.h"

// One command a line, answered by one line ("ok", "error TEXT" or the command's own
// answer); "finish" answers with several lines ended by "end". Bytes travel as compact
// hex, "-" standing for none.
//
//   script COMn              a new script for the line served as COMn
//   expect HEX               a step that waits for exactly these request bytes
//   reply MS HEX             a piece of the step's answer, MS after the previous one
//   start                    serve the script
//   finish MS                wait for it: "done 0|1", "request HEX"..., "problem TEXT"..., "end"
//   send COMn HEX            write bytes to the station's side at once
//   receive COMn MS          "bytes HEX": what the station sent until MS of quiet
//   settings COMn            "settings baud=N inpck=0|1 ...": the tty as the station set it
//   unplug COMn              the pseudo-terminal hangs up and the COM mapping goes
//   plug COMn                a new pseudo-terminal under the same COM mapping
namespace km8::test::line {

inline std::string toHex(const Bytes& bytes) {
  if (bytes.empty()) return "-";
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0x0F]);
  }
  return out;
}

inline std::optional<Bytes> fromHex(std::string_view text) {
  if (text == "-") return Bytes{};
  if (text.empty() || text.size() % 2 != 0) return std::nullopt;
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  Bytes out;
  out.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = digit(text[i]);
    const int low = digit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  return out;
}

inline std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string word; in >> word;) out.push_back(word);
  return out;
}

}  // namespace km8::test::line
