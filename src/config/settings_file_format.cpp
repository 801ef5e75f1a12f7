#include "config/settings_file_format.h"

#include <charconv>
#include <cstdint>

namespace km8 {
namespace {

constexpr char kHeader[] =
    "# KM-8 station settings, rewritten whole by the station on every save.\n"
    "# One value a line: Name = type:value, where type is\n"
    "#   dword   a number 0..4294967295 (decimal, or hex after 0x)\n"
    "#   binary  bytes in hex\n"
    "#   sz      text to the end of the line; \\\\ \\n \\r \\t and \\xHH stand for one byte\n"
    "# COM1..COM9 are the device paths the station opens for those ports.\n";

constexpr char kHexDigits[] = "0123456789abcdef";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimLeft(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view trimRight(std::string_view s) {
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  const ValueNameLess less;
  return !less(a, b) && !less(b, a);
}

void appendHexByte(std::string& out, std::uint8_t b) {
  out += kHexDigits[b >> 4];
  out += kHexDigits[b & 0x0F];
}

void appendEscaped(std::string& out, const std::vector<std::uint8_t>& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::uint8_t b = text[i];
    const bool last = i + 1 == text.size();
    if (b == '\\') {
      out += "\\\\";
    } else if (b == '\n') {
      out += "\\n";
    } else if (b == '\r') {
      out += "\\r";
    } else if (b == '\t') {
      out += "\\t";
    } else if (b < 0x20 || b == 0x7F || (b == ' ' && last)) {
      // A final space is escaped because readers forgive trailing blanks.
      out += "\\x";
      appendHexByte(out, b);
    } else {
      out += static_cast<char>(b);
    }
  }
}

std::optional<std::vector<std::uint8_t>> unescape(std::string_view s) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out.push_back(static_cast<std::uint8_t>(s[i]));
      continue;
    }
    if (++i == s.size()) return std::nullopt;
    switch (s[i]) {
      case '\\':
        out.push_back('\\');
        break;
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'x': {
        if (s.size() - i < 3) return std::nullopt;
        const int hi = hexValue(s[i + 1]);
        const int lo = hexValue(s[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        i += 2;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  return out;
}

std::optional<std::uint32_t> parseDword(std::string_view s) {
  s = trimLeft(s);
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty() || hexValue(s.front()) < 0) return std::nullopt;  // no sign, no blanks
  std::uint32_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return v;
}

std::optional<std::vector<std::uint8_t>> parseHex(std::string_view s) {
  std::vector<std::uint8_t> out;
  int pending = -1;
  for (const char c : s) {
    if (isBlank(c)) continue;
    const int v = hexValue(c);
    if (v < 0) return std::nullopt;
    if (pending < 0) {
      pending = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(pending * 16 + v));
      pending = -1;
    }
  }
  if (pending >= 0) return std::nullopt;
  return out;
}

}  // namespace

std::string FormatSettingsFile(std::span<const NamedValue> values) {
  std::string out = kHeader;
  for (const auto& [name, value] : values) {
    std::string line = name + " = ";
    switch (value.type) {
      case ValueType::Dword: {
        const auto dword = value.asDword();
        if (!dword) continue;
        line += "dword:" + std::to_string(*dword);
        break;
      }
      case ValueType::Binary:
        line += "binary:";
        for (const std::uint8_t b : value.data) appendHexByte(line, b);
        break;
      case ValueType::String:
        line += "sz:";
        appendEscaped(line, value.data);
        break;
      case ValueType::Other:
        continue;
    }
    out += line;
    out += '\n';
  }
  return out;
}

std::optional<NamedValue> ParseSettingsLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  line = trimRight(trimLeft(line));
  if (line.empty() || line.front() == '#' || line.front() == ';') return std::nullopt;

  const auto eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  const std::string_view name = trimRight(line.substr(0, eq));
  const std::string_view rest = trimLeft(line.substr(eq + 1));
  const auto colon = rest.find(':');
  if (name.empty() || colon == std::string_view::npos) return std::nullopt;
  const std::string_view type = trimRight(rest.substr(0, colon));
  const std::string_view text = rest.substr(colon + 1);

  StoredValue value;
  if (equalsNoCase(type, "dword")) {
    const auto dword = parseDword(text);
    if (!dword) return std::nullopt;
    value = StoredValue::dword(*dword);
  } else if (equalsNoCase(type, "binary")) {
    auto bytes = parseHex(text);
    if (!bytes) return std::nullopt;
    value = {ValueType::Binary, std::move(*bytes)};
  } else if (equalsNoCase(type, "sz")) {
    auto bytes = unescape(text);
    if (!bytes) return std::nullopt;
    value = {ValueType::String, std::move(*bytes)};
  } else {
    return std::nullopt;
  }
  return NamedValue{std::string(name), std::move(value)};
}

StoredValues ParseSettingsFile(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // left by some editors
  StoredValues values;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (auto parsed = ParseSettingsLine(line))
      values.insert_or_assign(std::move(parsed->first), std::move(parsed->second));
  }
  return values;
}

}  // namespace km8
