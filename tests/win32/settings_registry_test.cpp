#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/settings.h"
#include "config/settings_store_win32.h"
#include "support/settings_fakes.h"
#include "win32/served_ports.h"

namespace km8 {
namespace {

using test::ChangedSettings;
using test::RecordingMessageHost;

// Beside the station's own key, so that a test run never touches real settings.
constexpr char kTestKey[] = "Software\\Kalvetra\\KM410Dlg-test";

// Refuses to write the machine's key (or both), as Windows does for a user without
// administrator rights.
class RestrictedStore : public RegistrySettingsStore {
 public:
  explicit RestrictedStore(bool userWritable)
      : RegistrySettingsStore(kTestKey), userWritable_(userWritable) {}

 protected:
  LONG createKey(HKEY root, HKEY* key) override {
    if (root == roots().machine || !userWritable_) return ERROR_ACCESS_DENIED;
    return RegistrySettingsStore::createKey(root, key);
  }

 private:
  bool userWritable_;
};

struct RawValue {
  DWORD type = 0;
  std::vector<std::uint8_t> data;
};

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    deleteKeys();
    // Wine's user may write everywhere; on Windows the machine's root needs an elevated
    // prompt, without which every save here would land in the user's key.
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
      KM8_SKIP_OR_FAIL("HKEY_LOCAL_MACHINE is not writable here: run the tests elevated");
    RegCloseKey(key);
    deleteKeys();
  }
  void TearDown() override { deleteKeys(); }

  static void deleteKeys() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTestKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTestKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
  }

  static bool keyExists(HKEY root) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, kTestKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }

  static void setRaw(HKEY root, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, kTestKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static void setDword(HKEY root, const char* name, DWORD value) {
    setRaw(root, name, REG_DWORD, &value, sizeof value);
  }
  static void setText(HKEY root, const char* name, const std::string& text) {
    setRaw(root, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
  }

  static std::optional<RawValue> raw(HKEY root, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, kTestKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
      return std::nullopt;
    RawValue value;
    value.data.resize(4096);
    DWORD size = static_cast<DWORD>(value.data.size());
    const LONG rc = RegQueryValueExA(key, name, nullptr, &value.type, value.data.data(), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return std::nullopt;
    value.data.resize(size);
    return value;
  }
  static std::optional<DWORD> dwordAt(HKEY root, const char* name) {
    const auto value = raw(root, name);
    if (!value || value->type != REG_DWORD || value->data.size() != 4) return std::nullopt;
    return value->data[0] | value->data[1] << 8 | value->data[2] << 16 |
           static_cast<DWORD>(value->data[3]) << 24;
  }

  // Names on Windows go through the ANSI code page; plain ASCII round-trips everywhere.
  static AppSettings changedAscii() {
    AppSettings s = ChangedSettings();
    s.TextFileName = "D:\\Archives\\archive 1.txt";
    s.PortPaths = AppSettings::DefaultPortPaths();  // not kept in the registry
    return s;
  }

  RegistrySettingsStore store_{kTestKey};
  RecordingMessageHost messages_;
};

TEST_F(Registry, StationKeyIsTheKnownOne) {
  EXPECT_STREQ(kRegistryKeyPath, "Software\\Kalvetra\\KM410Dlg");
}

TEST_F(Registry, FirstRunWithoutKeyIsSilentAndCreatesNothing) {
  AppSettings s;
  EXPECT_EQ(LoadSettings(s, store_), 0);
  EXPECT_EQ(s, AppSettings{});
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE));
  EXPECT_FALSE(keyExists(HKEY_CURRENT_USER));
}

TEST_F(Registry, SaveWritesTheFifteenValuesWithTheirTypesAndWidths) {
  const AppSettings s = changedAscii();
  ASSERT_NE(SaveSettings(s, store_, messages_), 0);
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_FALSE(keyExists(HKEY_CURRENT_USER));

  const auto serial = raw(HKEY_LOCAL_MACHINE, "RS232Setup");
  ASSERT_TRUE(serial);
  EXPECT_EQ(serial->type, static_cast<DWORD>(REG_BINARY));
  const SerialSetup::Bytes bytes = s.SerialSetup.toBytes();
  EXPECT_EQ(serial->data, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));

  const std::vector<std::pair<const char*, DWORD>> dwords = {{"Timeouts", 9},
                                                             {"PollDelay", 65535},
                                                             {"XAxisHour", 12},
                                                             {"XAxisMin", 59},
                                                             {"XAxisSec", 30},
                                                             {"DeviceID", 247},
                                                             {"ArcNum", 4000},
                                                             {"GraphChannel", 3},
                                                             {"TextAutoOpen", 0},
                                                             {"DisplayRegLines", 0},
                                                             {"DisplaySigLines", 0xFFFFFFFF},
                                                             {"FastFraming", 0}};
  for (const auto& [name, value] : dwords)
    EXPECT_EQ(dwordAt(HKEY_LOCAL_MACHINE, name), value) << name;

  for (const auto& [name, text] :
       {std::pair{"TextFileName", s.TextFileName}, std::pair{"DataBaseName", s.DataBaseName}}) {
    const auto value = raw(HKEY_LOCAL_MACHINE, name);
    ASSERT_TRUE(value) << name;
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ)) << name;
    std::vector<std::uint8_t> expected(text.begin(), text.end());
    expected.push_back(0);  // with its terminating zero
    EXPECT_EQ(value->data, expected) << name;
  }
  EXPECT_FALSE(raw(HKEY_LOCAL_MACHINE, "COM1")) << "port names are the devices on Windows";

  AppSettings loaded;
  EXPECT_NE(LoadSettings(loaded, store_), 0);
  EXPECT_EQ(loaded, s);
}

TEST_F(Registry, FileNamesKeepTheirLettersThroughTheAnsiFunctions) {
  // The executable's manifest makes UTF-8 the ANSI code page, the encoding of the
  // core's strings; under another code page the Cyrillic letters would be mangled.
  ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
  AppSettings s = ChangedSettings();
  s.PortPaths = AppSettings::DefaultPortPaths();
  ASSERT_NE(SaveSettings(s, store_, messages_), 0);

  // Another program reading the value sees the same letters.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  wchar_t stored[600] = {};
  DWORD size = sizeof stored;
  const LONG rc = RegQueryValueExW(key, L"TextFileName", nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(stored), &size);
  RegCloseKey(key);
  ASSERT_EQ(rc, ERROR_SUCCESS);
  wchar_t expected[600] = {};
  ASSERT_GT(
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.TextFileName.c_str(), -1, expected, 600),
      0);
  EXPECT_EQ(std::wstring(stored), std::wstring(expected));

  AppSettings loaded;
  ASSERT_NE(LoadSettings(loaded, store_), 0);
  EXPECT_EQ(loaded.TextFileName, s.TextFileName);
}

TEST_F(Registry, ValuesAreCutToWidthAndMalformedOnesIgnored) {
  setDword(HKEY_LOCAL_MACHINE, "DeviceID", 300);
  setDword(HKEY_LOCAL_MACHINE, "PollDelay", 70000);
  setText(HKEY_LOCAL_MACHINE, "Timeouts", "5");
  const std::uint16_t shortDword = 50;
  setRaw(HKEY_LOCAL_MACHINE, "ArcNum", REG_DWORD, &shortDword, sizeof shortDword);
  const std::uint8_t shortBlock[8] = {0, 0, 8, 0, 0x80, 0x25, 0, 0};
  setRaw(HKEY_LOCAL_MACHINE, "RS232Setup", REG_BINARY, shortBlock, sizeof shortBlock);
  const DWORD binaryNumber = 2;
  setRaw(HKEY_LOCAL_MACHINE, "GraphChannel", REG_BINARY, &binaryNumber, sizeof binaryNumber);
  setRaw(HKEY_LOCAL_MACHINE, "DataBaseName", REG_EXPAND_SZ, "%TEMP%\\a.mdb", 13);

  AppSettings s;
  s.DataBaseName = "C:\\Station\\Archives.mdb";
  ASSERT_NE(LoadSettings(s, store_), 0);
  EXPECT_EQ(s.DeviceID, 44);
  EXPECT_EQ(s.PollDelay, 4464);
  EXPECT_EQ(s.Timeouts, 3);
  EXPECT_EQ(s.ArcNum, 100);
  EXPECT_EQ(s.SerialSetup, SerialSetup{});
  EXPECT_EQ(s.GraphChannel, 8);
  EXPECT_EQ(s.DataBaseName, "C:\\Station\\Archives.mdb");
}

TEST_F(Registry, FileNamesOfUpTo525BytesLoad) {
  const std::string fits(kFileNameLimit, 'a');
  setText(HKEY_LOCAL_MACHINE, "TextFileName", fits);
  setText(HKEY_LOCAL_MACHINE, "DataBaseName", std::string(kFileNameLimit + 1, 'b'));
  AppSettings s;
  s.DataBaseName = "C:\\Station\\Archives.mdb";
  ASSERT_NE(LoadSettings(s, store_), 0);
  EXPECT_EQ(s.TextFileName, fits);
  EXPECT_EQ(s.DataBaseName, "C:\\Station\\Archives.mdb");

  // Written by another tool without its terminating zero: ends where the registry says.
  setRaw(HKEY_LOCAL_MACHINE, "DataBaseName", REG_SZ, "C:\\x.mdb", 8);
  LoadSettings(s, store_);
  EXPECT_EQ(s.DataBaseName, "C:\\x.mdb");
}

TEST_F(Registry, UserKeyTakesTheSaveWhenTheMachineKeyIsRefused) {
  setDword(HKEY_LOCAL_MACHINE, "DeviceID", 5);
  setDword(HKEY_LOCAL_MACHINE, "XAxisSec", 40);
  RestrictedStore store(/*userWritable=*/true);
  const AppSettings s = changedAscii();
  ASSERT_NE(SaveSettings(s, store, messages_), 0);
  EXPECT_TRUE(messages_.shown.empty());

  EXPECT_EQ(dwordAt(HKEY_LOCAL_MACHINE, "DeviceID"), 5u);
  EXPECT_FALSE(raw(HKEY_LOCAL_MACHINE, "ArcNum"));
  EXPECT_EQ(dwordAt(HKEY_CURRENT_USER, "DeviceID"), 247u);
  EXPECT_EQ(raw(HKEY_CURRENT_USER, "RS232Setup")->data.size(), 16u);

  AppSettings loaded;
  ASSERT_NE(LoadSettings(loaded, store), 0);
  EXPECT_EQ(loaded, s);  // the user's values over the machine's

  // A value only the machine holds still counts.
  HKEY user = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_SET_VALUE, &user), ERROR_SUCCESS);
  RegDeleteValueA(user, "XAxisSec");
  RegCloseKey(user);
  LoadSettings(loaded, store);
  EXPECT_EQ(loaded.XAxisSec, 40);

  // Without a machine key at all, the user's key alone loads.
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTestKey);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kTestKey);
  AppSettings userOnly;
  EXPECT_NE(LoadSettings(userOnly, store_), 0);
  EXPECT_EQ(userOnly.DeviceID, 247);
}

TEST_F(Registry, AUserValueOfTheWrongTypeOrSizeFallsThroughToTheMachines) {
  setDword(HKEY_LOCAL_MACHINE, "DeviceID", 5);
  setText(HKEY_CURRENT_USER, "DeviceID", "7");
  setDword(HKEY_LOCAL_MACHINE, "PollDelay", 300);
  setRaw(HKEY_CURRENT_USER, "PollDelay", REG_BINARY, "\x01\x02\x03\x04", 4);
  const std::uint8_t shortBlock[8] = {};
  const std::uint8_t machineBlock[16] = {4, 0, 8, 0, 0x80, 0x25, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0};
  setRaw(HKEY_LOCAL_MACHINE, "RS232Setup", REG_BINARY, machineBlock, sizeof machineBlock);
  setRaw(HKEY_CURRENT_USER, "RS232Setup", REG_BINARY, shortBlock, sizeof shortBlock);
  setText(HKEY_LOCAL_MACHINE, "TextFileName", "C:\\m.txt");
  setDword(HKEY_CURRENT_USER, "TextFileName", 1);
  setDword(HKEY_CURRENT_USER, "ArcNum", 250);  // a good user value still wins
  setDword(HKEY_LOCAL_MACHINE, "ArcNum", 60);

  AppSettings s;
  ASSERT_NE(LoadSettings(s, store_), 0);
  EXPECT_EQ(s.DeviceID, 5);
  EXPECT_EQ(s.PollDelay, 300);
  EXPECT_EQ(s.SerialSetup.PortIndex, 4);
  EXPECT_EQ(s.SerialSetup.BaudRate, 9600u);
  EXPECT_EQ(s.TextFileName, "C:\\m.txt");
  EXPECT_EQ(s.ArcNum, 250);
}

TEST_F(Registry, SaveToTheMachineKeyAlsoRefreshesAnEarlierUserKey) {
  setDword(HKEY_CURRENT_USER, "DeviceID", 9);
  const AppSettings s = changedAscii();
  ASSERT_NE(SaveSettings(s, store_, messages_), 0);
  EXPECT_EQ(dwordAt(HKEY_LOCAL_MACHINE, "DeviceID"), 247u);
  EXPECT_EQ(dwordAt(HKEY_CURRENT_USER, "DeviceID"), 247u);
  AppSettings loaded;
  LoadSettings(loaded, store_);
  EXPECT_EQ(loaded, s);
}

TEST_F(Registry, NeitherKeyWritableTellsTheUserOnce) {
  RestrictedStore store(/*userWritable=*/false);
  EXPECT_EQ(SaveSettings(changedAscii(), store, messages_), 0);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, kSaveFailedText);
  EXPECT_EQ(messages_.shown[0].caption, "KM410-8");
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Error);
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE));
  EXPECT_FALSE(keyExists(HKEY_CURRENT_USER));
}

}  // namespace
}  // namespace km8
