// The database export where the file cannot take the new table: a read-only file, and a
// disk that fills up in the middle of the rows. The previous table stays as it was.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive_database_checks.h"
#include "support/archive_entries.h"
#include "support/file_faults.h"

namespace km8 {
namespace {

TEST(ArchiveDatabasePosix, ReadOnlyFileIsReportedWithThePreviousTableUntouched) {
  test::ScratchFolder folder("km8-db-read-only");
  const std::string path = folder.file("Archives.sqlite");
  test::ExportRig rig;
  rig.run(test::MakeLongReading(10), {path, 1});
  ASSERT_TRUE(rig.messages.shown.empty());

  test::ReadOnlyFile readOnly(path);
  if (!readOnly.active()) GTEST_SKIP() << "cannot make a file read-only here";
  rig.run(test::MakeLongReading(50), {path, 1});
  ASSERT_EQ(rig.messages.shown.size(), 1u);
  EXPECT_EQ(rig.messages.shown[0].caption, "Помилка бази даних");
  EXPECT_NE(rig.messages.shown[0].text.find("readonly"), std::string::npos)
      << rig.messages.shown[0].text;
  test::SqliteFile db(path);
  EXPECT_EQ(db.count("#1"), 10);  // the first export's rows
}

TEST(ArchiveDatabasePosix, DiskFullAmongTheRowsRollsBackToThePreviousTable) {
  test::ScratchFolder folder("km8-db-full");
  const std::string path = folder.file("Archives.sqlite");
  test::ExportRig rig;
  rig.run(test::MakeLongReading(10), {path, 1});
  ASSERT_TRUE(rig.messages.shown.empty());
  const auto size = std::filesystem::file_size(path);
  {
    // Room for the drop and the first rows, not for 60000.
    test::FileSizeLimit full(size + 64 * 1024);
    rig.run(test::MakeLongReading(60000), {path, 1});
  }
  ASSERT_EQ(rig.messages.shown.size(), 1u);
  EXPECT_EQ(rig.messages.shown[0].caption, "Помилка бази даних");
  EXPECT_FALSE(rig.messages.shown[0].text.empty());
  test::SqliteFile db(path);
  EXPECT_EQ(db.tables(), QStringList{"#1"});
  EXPECT_EQ(db.count("#1"), 10);
  EXPECT_EQ(folder.names(), std::vector<std::string>{"Archives.sqlite"});
}

}  // namespace
}  // namespace km8
