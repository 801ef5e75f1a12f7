#include <gtest/gtest.h>

#include "archives/database_export.h"
#include "support/archive_entries.h"
#include "support/event_log.h"
#include "support/scripted_message_host.h"

namespace km8 {
namespace {

using test::MakeArchiveEntry;

// Rows, fields and values are proven on real SQLite files (tests/qt); here the engine
// choice and the error box, which run on every platform.
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

// SQLite's values are proven on real files (tests/qt); Access, out of reach here, keeps
// the Single of the degrees, markers as Null.
TEST(DatabaseExport, AccessRowsKeepTheSingleOfTheDegrees) {
  ArchiveBuffer buffer;
  buffer.append(MakeArchiveEntry(0x00, {201, -1, 32000, 31999}));
  const std::vector<ArchiveRow> rows = BuildArchiveRows(buffer, DatabaseEngine::Access);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].values[0], static_cast<double>(20.1f));
  EXPECT_EQ(rows[0].values[1], static_cast<double>(-0.1f));
  EXPECT_EQ(rows[0].values[2], std::nullopt);
  EXPECT_EQ(rows[0].values[3], static_cast<double>(3199.9f));
}

}  // namespace
}  // namespace km8
