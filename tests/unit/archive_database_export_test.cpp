#include <gtest/gtest.h>

#include "archives/database_export.h"
#include "support/archive_entries.h"
#include "support/event_log.h"
#include "support/scripted_message_host.h"

namespace km8 {
namespace {

using test::MakeArchiveEntry;

TEST(DatabaseExport, RowsAreTheValidRecordsInOrderWithNullForMarkers) {
  ArchiveBuffer buffer;
  for (int k = 0; k < 100; ++k) {
    const std::uint8_t status = (k == 3 || k == 50 || k == 99) ? 0xEF
                                : (k == 7 || k == 8)           ? 0x02
                                                               : 0;
    buffer.append(MakeArchiveEntry(
        status, {static_cast<std::int16_t>(k), 231, -32000, 32000, -12345, -32768, 32767, -1},
        {2026, 12, 7, k / 60, k % 60, 5}));
  }
  const std::vector<ArchiveRow> rows = BuildArchiveRows(buffer);
  ASSERT_EQ(rows.size(), 95u);
  EXPECT_EQ(rows[0].time, (LocalDateTime{2026, 12, 7, 0, 0, 5}));
  EXPECT_EQ(rows[3].time.minute, 4);    // entry 3 was a reset marker
  EXPECT_EQ(rows[94].time.minute, 38);  // entry 98, the last valid one
  EXPECT_EQ(rows[94].values[0], 9.8f);
  const ArchiveRow& r = rows[1];
  EXPECT_EQ(r.values[1], 23.1f);  // the single-precision value nearest 23.1
  EXPECT_FALSE(r.values[2]);      // LowMarker
  EXPECT_FALSE(r.values[3]);      // HighMarker
  EXPECT_EQ(r.values[4], -1234.5f);
  EXPECT_FALSE(r.values[5]);
  EXPECT_FALSE(r.values[6]);
  EXPECT_EQ(r.values[7], -0.1f);
}

TEST(DatabaseExport, NamesAndDateText) {
  EXPECT_EQ(ArchiveTableName(1), "#1");
  EXPECT_EQ(ArchiveTableName(247), "#247");
  EXPECT_EQ(TemperatureFieldName(0), "T1");
  EXPECT_EQ(TemperatureFieldName(7), "T8");
  EXPECT_EQ(IsoDateTime({2026, 3, 7, 4, 5, 6}), "2026-03-07 04:05:06");
}

struct ScriptedDatabase : ArchiveDatabase {
  std::optional<std::string> replaceTable(const std::string& fileName, DatabaseEngine engine,
                                          const std::string& table,
                                          std::span<const ArchiveRow> rows) override {
    calls.push_back(fileName + " " + table + " " + std::to_string(rows.size()) +
                    (engine == DatabaseEngine::Access ? " access" : " sqlite"));
    return answer;
  }
  std::optional<std::string> answer;
  std::vector<std::string> calls;
};

struct CountingFront : MainWindowFront {
  bool BringToFront() override {
    ++fronts;
    return false;
  }
  void minimise() override {}
  int fronts = 0;
};

TEST(DatabaseExport, EngineByExtensionAndTheErrorBox) {
  ArchiveBuffer buffer;
  buffer.append(MakeArchiveEntry(0x00));
  buffer.append(MakeArchiveEntry(0xEF));
  const std::string fallback = SilentFailureDescription("a.sqlite", "#3");
  const bool access = AccessEngineAvailable();
  const struct {
    const char* file;
    std::optional<std::string> answer;
    std::vector<std::string> calls;
    std::string message;  // empty: none
  } cases[] = {
      {"a.sqlite", std::nullopt, {"a.sqlite #3 1 sqlite"}, ""},
      {"a.SQLite", std::string("disk I/O error"), {"a.SQLite #3 1 sqlite"}, "disk I/O error"},
      {"a.sqlite", std::string(), {"a.sqlite #3 1 sqlite"}, fallback},
      {"a.mdb", std::nullopt,
       access ? std::vector<std::string>{"a.mdb #3 1 access"} : std::vector<std::string>{},
       access ? "" : NoEngineDescription("a.mdb")},
      {"a.txt", std::nullopt, {}, NoEngineDescription("a.txt")},
  };
  for (const auto& c : cases) {
    ScriptedDatabase database;
    database.answer = c.answer;
    test::ScriptedMessageHost messages;
    CountingFront front;
    ExportArchiveDatabase(buffer, {c.file, 3}, database, messages, front);
    EXPECT_EQ(database.calls, c.calls) << c.file;
    if (c.message.empty()) {
      EXPECT_TRUE(messages.shown.empty()) << c.file;
      continue;
    }
    ASSERT_EQ(messages.shown.size(), 1u) << c.file;
    EXPECT_EQ(front.fronts, 1);
    EXPECT_EQ(messages.shown[0].text, c.message);
    EXPECT_EQ(messages.shown[0].caption, "Помилка бази даних");
    EXPECT_EQ(messages.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
  }
  // The description of a refused Access file says where it works and what works here.
  EXPECT_NE(NoEngineDescription("/x/Archives.mdb").find(".sqlite"), std::string::npos);
  EXPECT_NE(NoEngineDescription("/x/Archives.mdb").find("Windows"), std::string::npos);
}

}  // namespace
}  // namespace km8
