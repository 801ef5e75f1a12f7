#include "config/settings_file_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/serial_setup.h"

namespace km8 {
namespace {

std::vector<std::uint8_t> bytesOf(std::string_view s) { return {s.begin(), s.end()}; }

StoredValue parsedValue(std::string_view line) {
  const auto parsed = ParseSettingsLine(line);
  EXPECT_TRUE(parsed.has_value()) << line;
  return parsed ? parsed->second : StoredValue{ValueType::Other, {}};
}

TEST(SettingsFileFormat, WritesOneReadableLinePerValue) {
  const std::vector<NamedValue> values = {
      {"RS232Setup", StoredValue::binary(SerialSetup{}.toBytes())},
      {"DeviceID", StoredValue::dword(1)},
      {"DisplaySigLines", StoredValue::dword(4294967295u)},
      {"TextFileName", StoredValue::string("/home/op/Archives.txt")},
      {"Skipped", StoredValue{ValueType::Other, {1}}},
      {"BadDword", StoredValue{ValueType::Dword, {1, 2}}},
      {"COM1", StoredValue::string("/dev/ttyUSB0")},
  };
  const std::string text = FormatSettingsFile(values);
  const std::string body = text.substr(text.find("\nRS232Setup") + 1);
  EXPECT_EQ(body,
            "RS232Setup = binary:01000800004b0000e803000014000000\n"
            "DeviceID = dword:1\n"
            "DisplaySigLines = dword:4294967295\n"
            "TextFileName = sz:/home/op/Archives.txt\n"
            "COM1 = sz:/dev/ttyUSB0\n");
  for (std::size_t at = 0; at < text.find("\nRS232Setup"); at = text.find('\n', at) + 1)
    EXPECT_EQ(text[at], '#') << "header lines are comments";
}

TEST(SettingsFileFormat, AnyByteStringRoundTrips) {
  std::string every;
  for (int b = 0; b < 256; ++b) every += static_cast<char>(b);
  const std::vector<std::string> texts = {
      "",           every,          " leading and trailing ",  "ends in backslash\\", "\\x41 \\n",
      "tab\tend\t", "line\r\nnext", std::string("nul\0in", 6), "#not a comment",      "a = sz:b"};
  std::vector<NamedValue> values;
  for (std::size_t i = 0; i < texts.size(); ++i)
    values.emplace_back("S" + std::to_string(i), StoredValue::string(texts[i]));
  values.emplace_back("Bin", StoredValue::binary(bytesOf(every)));
  values.emplace_back("Empty", StoredValue::binary(std::vector<std::uint8_t>{}));

  const StoredValues parsed = ParseSettingsFile(FormatSettingsFile(values));
  ASSERT_EQ(parsed.size(), values.size());
  for (const auto& [name, value] : values) {
    ASSERT_TRUE(parsed.contains(name)) << name;
    EXPECT_EQ(parsed.at(name), value) << name;
  }
}

TEST(SettingsFileFormat, ForgivesHandEditing) {
  EXPECT_EQ(parsedValue("  DeviceID=dword:7  "), StoredValue::dword(7));
  EXPECT_EQ(parsedValue("DeviceID\t =  DWORD:0x1F\r"), StoredValue::dword(31));
  EXPECT_EQ(parsedValue("RS232Setup = binary: 01 00 08 0A ff"),
            StoredValue::binary(std::vector<std::uint8_t>{1, 0, 8, 10, 255}));
  EXPECT_EQ(parsedValue("COM1 = sz:/dev/ttyUSB0   "), StoredValue::string("/dev/ttyUSB0"));
  EXPECT_EQ(parsedValue("COM1 = sz: /dev/x\\x20"), StoredValue::string(" /dev/x "));
  EXPECT_EQ(parsedValue("TextFileName = sz:C:\\\\Station\\\\Archives.txt"),
            StoredValue::string("C:\\Station\\Archives.txt"));
  EXPECT_EQ(parsedValue("TextFileName = sz:/tmp/a=b:c"), StoredValue::string("/tmp/a=b:c"));

  const StoredValues values = ParseSettingsFile(
      "\xEF\xBB\xBF# comment\r\n; also a comment\r\n\r\nDeviceID = dword:5\r\n"
      "DeviceID = dword:6\r\ndeviceid = dword:9\nArcNum = dword:20");  // no final newline
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values.at("DeviceID"), StoredValue::dword(9));  // the last one counts
  EXPECT_EQ(values.at("ArcNum"), StoredValue::dword(20));
}

TEST(SettingsFileFormat, RejectsMalformedLines) {
  for (const char* line : {
           "# DeviceID = dword:1",
           "DeviceID dword:1",
           "DeviceID = 1",
           "= dword:1",
           "DeviceID = word:1",
           "DeviceID = dword:",
           "DeviceID = dword:-1",
           "DeviceID = dword:+1",
           "DeviceID = dword:4294967296",
           "DeviceID = dword:12abc",
           "DeviceID = dword:0x",
           "DeviceID = dword:1 2",
           "DeviceID = dword:0x1g",
           "RS232Setup = binary:010",
           "RS232Setup = binary:0g",
           "TextFileName = sz:a\\qb",
           "TextFileName = sz:ends\\",
           "TextFileName = sz:\\x4",
           "TextFileName = sz:\\x4z",
           "\x01\x02\xFF=\xFE:",
       }) {
    EXPECT_FALSE(ParseSettingsLine(line).has_value()) << line;
  }
  EXPECT_EQ(parsedValue("DeviceID = dword:4294967295"), StoredValue::dword(0xFFFFFFFF));
}

TEST(SettingsFileFormat, JunkAroundGoodLinesIsSkipped) {
  std::string text = "DeviceID = dword:12\n";
  constexpr char kJunk[] = "\0\0\0\xFF\xFE garbage = \x80\n";
  text += std::string(kJunk, sizeof kJunk - 1);  // with the zero bytes, not past the end
  text += std::string(5000, 'x') + "\n";
  text += "PollDelay = dword:99999999999999999999999\n";
  text += "ArcNum = binary:zz\n";
  text += "Timeouts = dword:4\n";
  text += "\n\n\n=\n:\n=:\n";
  const StoredValues values = ParseSettingsFile(text);
  EXPECT_EQ(values.size(), 2u);
  EXPECT_EQ(values.at("DeviceID"), StoredValue::dword(12));
  EXPECT_EQ(values.at("Timeouts"), StoredValue::dword(4));
}

TEST(SettingsFileFormat, TruncatedFileKeepsEveryCompleteLine) {
  const std::vector<NamedValue> values = {
      {"RS232Setup", StoredValue::binary(SerialSetup{}.toBytes())},
      {"PollDelay", StoredValue::dword(70000)},
      {"TextFileName", StoredValue::string("/a\\b c\n")},
      {"COM1", StoredValue::string("/dev/ttyUSB0")},
  };
  const std::string text = FormatSettingsFile(values);
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    const std::string_view prefix(text.data(), cut);
    const StoredValues parsed = ParseSettingsFile(prefix);
    for (const auto& [name, value] : values) {
      const auto line = text.find("\n" + name + " =");
      const auto lineEnd = text.find('\n', line + 1);
      if (lineEnd < cut) {
        ASSERT_TRUE(parsed.contains(name)) << name << " cut at " << cut;
        EXPECT_EQ(parsed.at(name), value) << name << " cut at " << cut;
      } else if (line + 1 >= cut) {
        EXPECT_FALSE(parsed.contains(name)) << name << " cut at " << cut;
      }
    }
  }
}

}  // namespace
}  // namespace km8
