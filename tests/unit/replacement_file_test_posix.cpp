// The text file's replacement on a real file system, where a write or a create fails.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "archives/replacement_file.h"
#include "archives/text_export.h"
#include "support/archive_entries.h"
#include "support/file_faults.h"
#include "support/scripted_message_host.h"

namespace km8 {
namespace {

struct QuietFront : MainWindowFront {
  bool BringToFront() override { return false; }
  void minimise() override {}
};

struct NoOpener : DocumentOpener {
  void openDocument(const std::string& path) override { opened.push_back(path); }
  std::vector<std::string> opened;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TEST(ReplacementFilePosix, ReadOnlyMediumIsWriteProtected) {
  EXPECT_EQ(ClassifyCreateError(EROFS), FileCreateError::WriteProtected);
  EXPECT_EQ(ClassifyCreateError(EACCES), FileCreateError::Other);
  EXPECT_EQ(ClassifyCreateError(ENOSPC), FileCreateError::Other);
}

TEST(ReplacementFilePosix, FailedWriteKeepsTheOldFileAndCancelLeavesNoTemporary) {
  test::ScratchFolder folder("km8-text-full");
  const std::string path = folder.file("Archives.txt");
  std::ofstream(path, std::ios::binary) << "old content\r\n";
  test::ScriptedMessageHost messages;
  messages.answers = {MessageResult::Retry, MessageResult::Cancel};
  QuietFront front;
  NoOpener opener;
  {
    test::FileSizeLimit full(4096);
    ExportArchiveText(test::MakeLongReading(1000), {path, true}, {messages, front, opener});
  }
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[1].text, "Помилка запису файла '" + path + "' !");
  EXPECT_EQ(ReadAll(path), "old content\r\n");
  EXPECT_EQ(folder.names(), std::vector<std::string>{"Archives.txt"});
  EXPECT_TRUE(opener.opened.empty());
}

TEST(ReplacementFilePosix, ReadOnlyTargetCannotBeCreatedAndStaysAsItWas) {
  test::ScratchFolder folder("km8-text-read-only");
  const std::string path = folder.file("Archives.txt");
  std::ofstream(path, std::ios::binary) << "old content\r\n";
  test::ReadOnlyFile readOnly(path);
  if (!readOnly.active()) GTEST_SKIP() << "cannot make a file read-only here";
  test::ScriptedMessageHost messages;
  messages.answers = {MessageResult::Retry, MessageResult::Cancel};
  QuietFront front;
  NoOpener opener;
  ExportArchiveText(test::MakeLongReading(10), {path, true}, {messages, front, opener});
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0].text, "Неможливо створити файл '" + path + "' !");
  EXPECT_EQ(ReadAll(path), "old content\r\n");
  EXPECT_EQ(folder.names(), std::vector<std::string>{"Archives.txt"});
}

}  // namespace
}  // namespace km8
