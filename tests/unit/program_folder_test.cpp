#include "config/program_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archives/database_file_rule.h"

namespace km8 {
namespace {

TEST(ProgramFolder, WindowsPathIsCutBeforeTheLastBackslash) {
  EXPECT_EQ(FolderOfPath("C:\\Station\\km8.exe", '\\'), "C:\\Station");
  EXPECT_EQ(FolderOfPath("C:\\km8.exe", '\\'), "C:");
  EXPECT_EQ(FolderOfPath("km8.exe", '\\'), "km8.exe");  // no backslash: used whole
  EXPECT_EQ(FolderOfPath("/opt/km8/km8.exe", '\\'), "/opt/km8/km8.exe");

  AppSettings s;
  SetDefaultFileNames(s, FolderOfPath("C:\\Station\\km8.exe", '\\'), '\\');
  EXPECT_EQ(s.TextFileName, "C:\\Station\\Archives.txt");
  EXPECT_EQ(s.DataBaseName, std::string("C:\\Station\\") + DatabaseFileRule().defaultFileName);
  SetDefaultFileNames(s, FolderOfPath("C:\\km8.exe", '\\'), '\\');
  EXPECT_EQ(s.TextFileName, "C:\\Archives.txt");
}

TEST(ProgramFolder, PosixPathKeepsTheRootFolder) {
  EXPECT_EQ(FolderOfPath("/opt/km8/bin/km8-station", '/'), "/opt/km8/bin");
  EXPECT_EQ(FolderOfPath("/km8-station", '/'), "/");
  AppSettings s;
  SetDefaultFileNames(s, "/", '/');
  EXPECT_EQ(s.TextFileName, "/Archives.txt");
  SetDefaultFileNames(s, "/home/op/", '/');
  EXPECT_EQ(s.DataBaseName, std::string("/home/op/") + DatabaseFileRule().defaultFileName);
}

// Program Files on Windows (any letter case), /usr on POSIX: the folder itself and what
// lies below it, never a sibling that merely starts with the same letters.
TEST(ProgramFolder, WithinAFolderMeansTheFolderOrBelowIt) {
  struct Case {
    const char* path;
    const char* folder;
    char separator;
    bool caseMatters;
    bool within;
  };
  const Case cases[] = {
      {"C:\\Program Files\\KM-8", "C:\\Program Files", '\\', false, true},
      {"c:\\program files\\km-8", "C:\\Program Files", '\\', false, true},
      {"C:\\Program Files", "C:\\Program Files\\", '\\', false, true},
      {"C:\\Program Files (x86)\\KM-8", "C:\\Program Files", '\\', false, false},
      {"C:\\Station", "C:\\Program Files", '\\', false, false},
      {"C:\\Station", "", '\\', false, false},
      {"/usr/bin", "/usr", '/', true, true},
      {"/USR/bin", "/usr", '/', true, false},
      {"/usrlocal/bin", "/usr", '/', true, false},
      {"/us", "/usr", '/', true, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsWithinFolder(c.path, c.folder, c.separator, c.caseMatters), c.within)
        << c.path << " in " << c.folder;
  }
}

TEST(ProgramFolder, UnwritableExecutableFolderFallsBackToHome) {
  std::vector<std::string> asked;
  const auto writableOnlyOpt = [&](const std::string& folder) {
    asked.push_back(folder);
    return folder.starts_with("/opt");
  };
  EXPECT_EQ(ChooseProgramFolder("/opt/km8/km8-station", '/', writableOnlyOpt, "/home/op"),
            "/opt/km8");
  EXPECT_EQ(ChooseProgramFolder("/usr/bin/km8-station", '/', writableOnlyOpt, "/home/op"),
            "/home/op");
  EXPECT_EQ(asked, (std::vector<std::string>{"/opt/km8", "/usr/bin"}));
  // An unknown executable path never asks about a folder.
  EXPECT_EQ(ChooseProgramFolder("", '/', writableOnlyOpt, "/home/op"), "/home/op");
  EXPECT_EQ(asked.size(), 2u);
}

TEST(ProgramFolder, InstalledProgramsFoldersHoldNoUserFiles) {
  for (const char* folder : {"/usr", "/usr/bin", "/usr/local/bin"}) {
    EXPECT_FALSE(MayHoldUserFiles(folder)) << folder;
  }
  for (const char* folder : {"/home/op/km8/build/src", "/opt/km8", "/usrdata", "/"}) {
    EXPECT_TRUE(MayHoldUserFiles(folder)) << folder;
  }
}

}  // namespace
}  // namespace km8
