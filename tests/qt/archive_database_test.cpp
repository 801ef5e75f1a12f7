// The database export into SQLite files through QtSql, end to end from the buffer: the
// table's name, fields, types, rows and Nulls, its replacement, and failures that leave
// the file as it was.
#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>
#include <fstream>
#include <sstream>

#include "archive_database_checks.h"
#include "archives/ui/qt_archive_database.h"
#include "support/archive_entries.h"
#include "support/scripted_message_host.h"

namespace km8 {
namespace {

using test::MakeArchiveEntry;
using test::SqliteFile;

// 100 entries: 3 reset markers and 2 empty slots among them; entry 1 holds the
// interesting values.
ArchiveBuffer HundredEntries() {
  ArchiveBuffer b;
  for (int k = 0; k < 100; ++k) {
    const std::uint8_t status = (k == 2 || k == 40 || k == 99) ? 0xEF
                                : (k == 5 || k == 6)           ? 0x07
                                                               : 0;
    b.append(MakeArchiveEntry(status,
                              {static_cast<std::int16_t>(k), 231, -32000, 32000, -12345, 0, 1, -1},
                              {2026, 12, 7, 23 - k / 60, 59 - k % 60, 30}));
  }
  return b;
}

TEST(ArchiveDatabase, CreatesReplacesAndKeepsOneTablePerInstrument) {
  test::ScratchFolder folder("km8-db-export");
  const std::string path = folder.file("Archives.sqlite");
  test::ExportRig rig;

  rig.run(HundredEntries(), {path, 1});
  ASSERT_TRUE(rig.messages.shown.empty()) << rig.messages.shown[0].text;
  SqliteFile db(path);
  EXPECT_EQ(db.tables(), QStringList{"#1"});
  EXPECT_EQ(db.columns("#1"), QStringList({"Дата/Час DATETIME", "T1 REAL", "T2 REAL", "T3 REAL",
                                           "T4 REAL", "T5 REAL", "T6 REAL", "T7 REAL", "T8 REAL"}));
  EXPECT_EQ(db.count("#1"), 95);
  const QList<QVariantList> rows = db.rows("#1");
  EXPECT_EQ(rows[0][0].toString(), "2026-12-07 23:59:30");
  EXPECT_EQ(rows[1][0].toString(), "2026-12-07 23:58:30");
  EXPECT_EQ(rows[2][0].toString(), "2026-12-07 23:56:30");  // entry 2 was a reset marker
  // SQLite has no single precision: the values are kept as the instrument meant them.
  EXPECT_EQ(rows[1][1].toDouble(), 0.1);
  EXPECT_EQ(rows[1][2].toDouble(), 23.1);
  EXPECT_TRUE(rows[1][3].isNull());                              // LowMarker
  EXPECT_TRUE(rows[1][4].isNull());                              // HighMarker
  EXPECT_EQ(rows[1][5].toDouble(), -1234.5);
  EXPECT_EQ(rows[1][8].toDouble(), -0.1);

  // A second export for the same instrument replaces the table.
  ArchiveBuffer two;
  two.append(MakeArchiveEntry(0, {5}, {2026, 12, 8, 1, 2, 3}));
  two.append(MakeArchiveEntry(0, {6}, {2026, 12, 8, 1, 0, 3}));
  rig.run(two, {path, 1});
  EXPECT_EQ(db.count("#1"), 2);
  EXPECT_EQ(db.rows("#1")[0][0].toString(), "2026-12-08 01:02:03");

  // Another instrument gets its own table beside it.
  rig.run(HundredEntries(), {path, 2});
  EXPECT_EQ(db.tables(), QStringList({"#1", "#2"}));
  EXPECT_EQ(db.count("#1"), 2);
  EXPECT_EQ(db.count("#2"), 95);
  EXPECT_TRUE(rig.messages.shown.empty());
  EXPECT_EQ(folder.names(), std::vector<std::string>{"Archives.sqlite"});
}

TEST(ArchiveDatabase, FileThatIsNotADatabaseIsReportedAndLeftAlone) {
  test::ScratchFolder folder("km8-db-not-db");
  const std::string path = folder.file("Archives.sqlite");
  const std::string text(4096, 'k');
  std::ofstream(path, std::ios::binary) << text;
  test::ExportRig rig;
  rig.run(HundredEntries(), {path, 1});
  ASSERT_EQ(rig.messages.shown.size(), 1u);
  EXPECT_EQ(rig.messages.shown[0].caption, "Помилка бази даних");
  EXPECT_EQ(rig.messages.shown[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(rig.messages.shown[0].icon, MessageIcon::Error);
  EXPECT_NE(rig.messages.shown[0].text.find("not a database"), std::string::npos)
      << rig.messages.shown[0].text;
  EXPECT_EQ(rig.front.fronts, 1);
  std::ifstream in(path, std::ios::binary);
  std::ostringstream now;
  now << in.rdbuf();
  EXPECT_EQ(now.str(), text);
}

}  // namespace
}  // namespace km8
