#include "config/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/settings_fakes.h"

namespace km8 {
namespace {

using test::ChangedSettings;
using test::MemorySettingsStore;
using test::RecordingMessageHost;

TEST(Settings, FirstRunKeepsEveryDefaultSilently) {
  MemorySettingsStore store;  // no key at all
  AppSettings s;
  s.TextFileName = "/opt/km8/Archives.txt";
  s.DataBaseName = "/opt/km8/Archives.mdb";
  EXPECT_EQ(LoadSettings(s, store), 0);

  EXPECT_EQ(s.SerialSetup.PortIndex, 1);  // COM2
  EXPECT_EQ(s.SerialSetup.BaudRate, 19200u);
  EXPECT_EQ(s.SerialSetup.DataBits, 8);
  EXPECT_EQ(s.SerialSetup.Parity, 0);
  EXPECT_EQ(s.SerialSetup.StopBits, 0);
  EXPECT_EQ(s.SerialSetup.FrameLength, 20u);
  EXPECT_EQ(s.Timeouts, 3);
  EXPECT_EQ(s.PollDelay, 0);
  EXPECT_EQ(s.DeviceID, 1);
  EXPECT_EQ(s.XAxisHour, 0);
  EXPECT_EQ(s.XAxisMin, 5);
  EXPECT_EQ(s.XAxisSec, 0);
  EXPECT_EQ(s.GraphChannel, 8);
  EXPECT_EQ(s.DisplayRegLines, 1u);
  EXPECT_EQ(s.DisplaySigLines, 1u);
  EXPECT_EQ(s.FastFraming, 1u);  // on when the value is absent
  EXPECT_EQ(s.TextAutoOpen, 1u);
  EXPECT_EQ(s.ArcNum, 100);
  EXPECT_EQ(s.TextFileName, "/opt/km8/Archives.txt");
  EXPECT_EQ(s.DataBaseName, "/opt/km8/Archives.mdb");
  EXPECT_EQ(s.PortPaths[0], "/dev/ttyS0");
  EXPECT_EQ(s.PortPaths[8], "/dev/ttyS8");
}

TEST(Settings, SaveWritesTheFifteenValuesThenThePortsWithTheirTypes) {
  MemorySettingsStore store;
  RecordingMessageHost messages;
  const AppSettings s = ChangedSettings();
  ASSERT_NE(SaveSettings(s, store, messages), 0);
  EXPECT_TRUE(messages.shown.empty());

  const std::vector<std::string> expectedNames = {"RS232Setup",
                                                  "Timeouts",
                                                  "PollDelay",
                                                  "XAxisHour",
                                                  "XAxisMin",
                                                  "XAxisSec",
                                                  "DeviceID",
                                                  "ArcNum",
                                                  "GraphChannel",
                                                  "TextAutoOpen",
                                                  "DisplayRegLines",
                                                  "DisplaySigLines",
                                                  "FastFraming",
                                                  "TextFileName",
                                                  "DataBaseName",
                                                  "COM1",
                                                  "COM2",
                                                  "COM3",
                                                  "COM4",
                                                  "COM5",
                                                  "COM6",
                                                  "COM7",
                                                  "COM8",
                                                  "COM9"};
  ASSERT_EQ(store.lastWrite.size(), expectedNames.size());
  for (std::size_t i = 0; i < expectedNames.size(); ++i) {
    const auto& [name, value] = store.lastWrite[i];
    EXPECT_EQ(name, expectedNames[i]);
    if (i == 0) {
      EXPECT_EQ(value, StoredValue::binary(s.SerialSetup.toBytes()));
    } else if (i <= 12) {
      EXPECT_EQ(value.type, ValueType::Dword) << name;
      EXPECT_EQ(value.data.size(), 4u) << name;
    } else {
      EXPECT_EQ(value.type, ValueType::String) << name;
    }
  }
  // 8- and 16-bit settings are zero-extended.
  EXPECT_EQ(store.lastWrite[6].second, StoredValue::dword(247));
  EXPECT_EQ(store.lastWrite[2].second, StoredValue::dword(65535));
  EXPECT_EQ(store.lastWrite[11].second, StoredValue::dword(0xFFFFFFFF));
  EXPECT_EQ(store.lastWrite[12].second, StoredValue::dword(0));
  EXPECT_EQ(store.lastWrite[13].second, StoredValue::string(s.TextFileName));
  EXPECT_EQ(store.lastWrite[23].second, StoredValue::string("/dev/ttyUSB8"));
}

TEST(Settings, EverySettingAndPortPathRoundTrips) {
  MemorySettingsStore store;
  RecordingMessageHost messages;
  const AppSettings saved = ChangedSettings();
  ASSERT_NE(SaveSettings(saved, store, messages), 0);

  AppSettings loaded;
  EXPECT_NE(LoadSettings(loaded, store), 0);
  EXPECT_EQ(loaded, saved);
}

TEST(Settings, StoreWithoutPortPathsNeitherWritesNorReadsThem) {
  MemorySettingsStore store;
  store.portPaths = false;  // the registry
  RecordingMessageHost messages;
  ASSERT_NE(SaveSettings(ChangedSettings(), store, messages), 0);
  EXPECT_EQ(store.lastWrite.size(), 15u);

  store.put("COM1", StoredValue::string("/dev/ttyUSB0"));
  AppSettings loaded;
  LoadSettings(loaded, store);
  EXPECT_EQ(loaded.PortPaths, AppSettings::DefaultPortPaths());
  EXPECT_EQ(loaded.DeviceID, 247);
}

TEST(Settings, DwordsAreCutToTheWidthOfTheirSetting) {
  MemorySettingsStore store;
  store.put("DeviceID", StoredValue::dword(300));
  store.put("PollDelay", StoredValue::dword(70000));
  store.put("Timeouts", StoredValue::dword(0x1FF));
  store.put("XAxisMin", StoredValue::dword(0x12345678));
  store.put("ArcNum", StoredValue::dword(0x12345));
  store.put("GraphChannel", StoredValue::dword(0x109));
  store.put("TextAutoOpen", StoredValue::dword(0x80000002));  // flags keep all 32 bits
  AppSettings s;
  ASSERT_NE(LoadSettings(s, store), 0);
  EXPECT_EQ(s.DeviceID, 44);
  EXPECT_EQ(s.PollDelay, 4464);
  EXPECT_EQ(s.Timeouts, 0xFF);
  EXPECT_EQ(s.XAxisMin, 0x78);
  EXPECT_EQ(s.ArcNum, 0x2345);
  EXPECT_EQ(s.GraphChannel, 9);
  EXPECT_EQ(s.TextAutoOpen, 0x80000002u);
}

TEST(Settings, MissingOrMalformedValuesKeepTheCurrentSetting) {
  const AppSettings current = ChangedSettings();
  MemorySettingsStore store;
  store.put("RS232Setup", StoredValue::binary(std::vector<std::uint8_t>(15, 0xAA)));
  store.put("Timeouts", StoredValue::string("5"));
  store.put("PollDelay", StoredValue{ValueType::Dword, {0x10, 0x27}});  // 2 bytes
  store.put("XAxisHour", StoredValue{ValueType::Dword, {1, 0, 0, 0, 0}});
  store.put("DeviceID", StoredValue{ValueType::Other, {7, 0, 0, 0}});
  store.put("ArcNum", StoredValue::binary(std::vector<std::uint8_t>{50, 0, 0, 0}));
  store.put("TextFileName", StoredValue::dword(1));
  store.put("DataBaseName", StoredValue::binary(std::vector<std::uint8_t>{'a', 'b'}));
  store.put("COM3", StoredValue::dword(0));
  store.put("COM4", StoredValue::string(""));  // no device to open
  // A well-formed neighbour still loads.
  store.put("XAxisSec", StoredValue::dword(45));

  AppSettings s = current;
  ASSERT_NE(LoadSettings(s, store), 0);
  AppSettings expected = current;
  expected.XAxisSec = 45;
  EXPECT_EQ(s, expected);

  // A 17-byte or DWORD-typed serial block is no better than a 15-byte one.
  store.put("RS232Setup", StoredValue::binary(std::vector<std::uint8_t>(17, 0xAA)));
  LoadSettings(s, store);
  EXPECT_EQ(s.SerialSetup, current.SerialSetup);
  store.put("RS232Setup", StoredValue::dword(0));
  LoadSettings(s, store);
  EXPECT_EQ(s.SerialSetup, current.SerialSetup);

  // An empty key changes nothing either.
  MemorySettingsStore empty;
  empty.values.emplace();
  AppSettings untouched = current;
  EXPECT_NE(LoadSettings(untouched, empty), 0);
  EXPECT_EQ(untouched, current);
}

TEST(Settings, SerialBlockLoadsWhole) {
  MemorySettingsStore store;
  const SerialSetup::Bytes bytes = {3, 1, 7, 2, 0x80, 0x25, 0, 0, 0xD5, 0, 0, 0, 0, 1, 0, 0};
  store.put("RS232Setup", StoredValue::binary(bytes));
  AppSettings s;
  LoadSettings(s, store);
  EXPECT_EQ(s.SerialSetup.PortIndex, 3);
  EXPECT_EQ(s.SerialSetup.Parity, 1);
  EXPECT_EQ(s.SerialSetup.DataBits, 7);
  EXPECT_EQ(s.SerialSetup.StopBits, 2);
  EXPECT_EQ(s.SerialSetup.BaudRate, 9600u);
  EXPECT_EQ(s.SerialSetup.TotalTimeoutMs, 213u);
  EXPECT_EQ(s.SerialSetup.FrameLength, 256u);
}

TEST(Settings, NamesUpTo525BytesLoadLongerOnesAreIgnored) {
  const std::string fits(kFileNameLimit, 'a');
  const std::string tooLong(kFileNameLimit + 1, 'b');
  MemorySettingsStore store;
  store.put("TextFileName", StoredValue::string(fits));
  store.put("DataBaseName", StoredValue::string(tooLong));
  store.put("COM1", StoredValue::string("/dev/" + std::string(kFileNameLimit - 5, 'c')));
  store.put("COM2", StoredValue::string("/dev/" + std::string(kFileNameLimit - 4, 'd')));
  AppSettings s;
  s.DataBaseName = "/opt/km8/Archives.mdb";
  ASSERT_NE(LoadSettings(s, store), 0);
  EXPECT_EQ(s.TextFileName, fits);
  EXPECT_EQ(s.DataBaseName, "/opt/km8/Archives.mdb");
  EXPECT_EQ(s.PortPaths[0].size(), kFileNameLimit);
  EXPECT_EQ(s.PortPaths[1], "/dev/ttyS1");
}

TEST(Settings, FailedSaveTellsTheUserOnceAndKeepsTheSettings) {
  MemorySettingsStore store;
  store.writable = false;
  RecordingMessageHost messages;
  const AppSettings s = ChangedSettings();
  EXPECT_EQ(SaveSettings(s, store, messages), 0);
  EXPECT_EQ(store.writeCalls, 1);
  ASSERT_EQ(messages.shown.size(), 1u);
  const Message& m = messages.shown[0];
  EXPECT_EQ(m.text,
            "\xD0\x9D\xD0\xB5\xD0\xBC\xD0\xBE\xD0\xB6\xD0\xBB\xD0\xB8\xD0\xB2\xD0\xBE "
            "\xD0\xB7\xD0\xB1\xD0\xB5\xD1\x80\xD0\xB5\xD0\xB3\xD1\x82\xD0\xB8 "
            "\xD0\xBA\xD0\xBE\xD0\xBD\xD1\x84\xD1\x96\xD0\xB3\xD1\x83\xD1\x80\xD0\xB0\xD1\x86"
            "\xD1\x96\xD1\x8E");
  EXPECT_EQ(m.caption, "KM410-8");
  EXPECT_EQ(m.icon, MessageIcon::Error);
  EXPECT_EQ(m.buttons, MessageButtons::Ok);
  EXPECT_TRUE(m.ownedByMainWindow);
  EXPECT_FALSE(store.values.has_value());

  // Once the store can be written again the same settings go through, silently.
  store.writable = true;
  EXPECT_NE(SaveSettings(s, store, messages), 0);
  EXPECT_EQ(messages.shown.size(), 1u);
}

TEST(Settings, ThePlantDatabaseTextsAreSavedOnlyWhenSetAndReadBack) {
  MemorySettingsStore store;
  RecordingMessageHost messages;
  AppSettings s;
  ASSERT_NE(SaveSettings(s, store, messages), 0);
  EXPECT_FALSE(store.values->contains("PlantDatabase"));
  EXPECT_FALSE(store.values->contains("StationName"));

  s.PlantDatabase = "postgresql://km8@plantdb/plant?sslmode=require";
  s.StationName = "Піч №3 'ліва'; x";
  ASSERT_NE(SaveSettings(s, store, messages), 0);
  AppSettings loaded;
  ASSERT_NE(LoadSettings(loaded, store), 0);
  EXPECT_EQ(loaded.PlantDatabase, s.PlantDatabase);
  EXPECT_EQ(loaded.StationName, s.StationName);
}

}  // namespace
}  // namespace km8
