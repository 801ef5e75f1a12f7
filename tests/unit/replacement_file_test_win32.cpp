// The text file's replacement on Windows, where the create fails.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>

#include "archives/replacement_file.h"
#include "support/archive_entries.h"

namespace km8 {
namespace {

TEST(ReplacementFileWin32, WriteProtectedDiskIsError19) {
  EXPECT_EQ(ClassifyCreateError(19), FileCreateError::WriteProtected);
  EXPECT_EQ(ClassifyCreateError(ERROR_ACCESS_DENIED), FileCreateError::Other);
  EXPECT_EQ(ClassifyCreateError(ERROR_SHARING_VIOLATION), FileCreateError::Other);
}

TEST(ReplacementFileWin32, ReadOnlyOrLockedTargetFailsToCreateAndStays) {
  test::ScratchFolder folder("km8-text-win32");
  const std::string path = folder.file("Archives.txt");
  std::ofstream(path, std::ios::binary) << "old";
  const auto file = MakeReplacementFile();

  ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(file->create(path), FileCreateError::Other);
  ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));

  const HANDLE lock = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_EQ(file->create(path), FileCreateError::Other);
  ::CloseHandle(lock);

  ASSERT_EQ(file->create(path), FileCreateError::None);
  EXPECT_TRUE(file->writeAndReplace("new"));
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "new");
  EXPECT_EQ(folder.names(), std::vector<std::string>{"Archives.txt"});
}

}  // namespace
}  // namespace km8
