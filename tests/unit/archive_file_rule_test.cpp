#include <gtest/gtest.h>

#include <string>

#include "archives/archive_record.h"
#include "archives/database_file_rule.h"

namespace km8 {
namespace {

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

TEST(ArchiveBuffer, HoldsAtMostSixtyThousandEntries) {
  ArchiveBuffer buffer;
  for (std::size_t i = 0; i < ArchiveBuffer::kMaxEntries; ++i) ASSERT_TRUE(buffer.append({}));
  EXPECT_FALSE(buffer.append({}));
  EXPECT_EQ(buffer.size(), ArchiveBuffer::kMaxEntries);
}

}  // namespace
}  // namespace km8
