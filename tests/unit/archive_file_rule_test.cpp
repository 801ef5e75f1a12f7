#include <gtest/gtest.h>

#include <string>

#include "archives/archive_record.h"
#include "archives/database_file_rule.h"

namespace km8 {
namespace {

TEST(ArchiveFileRule, TextNamesAreKeptExtendedOrRefused) {
  struct Case {
    const char* chosen;
    const char* stored;  // nullptr: refused
  };
  const Case cases[] = {
      {"/home/op/report.txt", "/home/op/report.txt"},
      {"/home/op/report.TxT", "/home/op/report.TxT"},
      {"/home/op/report", "/home/op/report.txt"},
      {"/home/op.d/report", "/home/op.d/report.txt"},  // a folder's dot is no extension
      {"C:\\Data.1\\report", "C:\\Data.1\\report.txt"},
      {"/home/op/report.csv", nullptr},
      {"/home/op/report.txt.bak", nullptr},
  };
  for (const Case& c : cases) {
    const auto stored = ApplyFileRule(TextFileRule(), c.chosen);
    if (c.stored == nullptr) {
      EXPECT_FALSE(stored.has_value()) << c.chosen;
    } else {
      EXPECT_EQ(stored.value_or("(refused)"), c.stored) << c.chosen;
    }
  }
}

TEST(ArchiveFileRule, DatabaseRuleAndEngineAgree) {
  const ArchiveFileRule& rule = DatabaseFileRule();
  // Whatever the platform's rule offers, the engine can write it.
  EXPECT_NE(DatabaseEngineFor(std::string("/x/") + rule.defaultFileName), DatabaseEngine::None);
  EXPECT_NE(DatabaseEngineFor(*ApplyFileRule(rule, "/x/archive")), DatabaseEngine::None);
  EXPECT_EQ(std::string("Розширення файла має бути '") + rule.extension + "'",
            rule.wrongExtensionText);

  EXPECT_EQ(DatabaseEngineFor("/x/a.SQLite"), DatabaseEngine::Sqlite);
  EXPECT_EQ(DatabaseEngineFor("/x/a.txt"), DatabaseEngine::None);
  EXPECT_EQ(DatabaseEngineFor("/x/a"), DatabaseEngine::None);
  EXPECT_EQ(DatabaseEngineFor("/x/a.mdb"),
            AccessEngineAvailable() ? DatabaseEngine::Access : DatabaseEngine::None);
}

TEST(ArchiveRecord, KindsAndChannelValues) {
  ArchiveRecord r;
  r.bytes = {0x00, 10, 0xE7, 0x00, 0x00, 0x7D, 0xF6, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(r.kind(), ArchiveRecordKind::Valid);
  EXPECT_EQ(r.intervalMinutes(), 10);
  EXPECT_DOUBLE_EQ(r.temperature(0), 23.1);
  EXPECT_FALSE(r.channelValue(1).has_value());  // raw 32000: high marker
  EXPECT_DOUBLE_EQ(*r.channelValue(2), -1.0);
  r.bytes[0] = 0xEF;
  EXPECT_EQ(r.kind(), ArchiveRecordKind::ResetMarker);
  r.bytes[0] = 0x01;
  EXPECT_EQ(r.kind(), ArchiveRecordKind::EmptySlot);

  ArchiveBuffer buffer;
  for (std::size_t i = 0; i < ArchiveBuffer::kMaxEntries; ++i) ASSERT_TRUE(buffer.append({}));
  EXPECT_FALSE(buffer.append({}));
  EXPECT_EQ(buffer.size(), ArchiveBuffer::kMaxEntries);
}

}  // namespace
}  // namespace km8
