#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "config/program_folder.h"
#include "config/settings.h"
#include "config/settings_store_posix.h"
#include "support/file_faults.h"
#include "support/settings_fakes.h"

namespace km8 {
namespace {

namespace fs = std::filesystem;
using test::ChangedSettings;
using test::FileSizeLimit;
using test::RecordingMessageHost;

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "km8-settings-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    ::chmod(dir_.c_str(), 0700);
    fs::remove_all(dir_);
  }

  std::string at(const std::string& name) const { return (fs::path(dir_) / name).string(); }

  static std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  std::vector<std::string> folderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_))
      names.push_back(entry.path().filename().string());
    return names;
  }

  // Saving must fail, say so once, and leave the old file and nothing else behind.
  void expectFailedSaveKeepsOldFile(const std::string& path) {
    const std::string before = readFile(path);
    const std::vector<std::string> entries = folderEntries();
    FileSettingsStore store(path);
    RecordingMessageHost messages;
    AppSettings other = ChangedSettings();
    other.DeviceID = 99;
    EXPECT_EQ(SaveSettings(other, store, messages), 0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, kSaveFailedText);
    EXPECT_EQ(messages.shown[0].caption, "KM410-8");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(folderEntries(), entries) << "no temporary file is left behind";
  }

  std::string dir_;
};

TEST_F(SettingsFile, FirstRunIsSilentAndCreatesNothing) {
  FileSettingsStore store(at("km8/km8.conf"));
  AppSettings s;
  EXPECT_EQ(LoadSettings(s, store), 0);
  EXPECT_EQ(s, AppSettings{});
  EXPECT_FALSE(fs::exists(at("km8")));
}

TEST_F(SettingsFile, SaveCreatesTheFoldersAndEverythingReadsBack) {
  const std::string path = at("config/km8/km8.conf");
  RecordingMessageHost messages;
  const AppSettings saved = ChangedSettings();
  {
    FileSettingsStore store(path);
    ASSERT_NE(SaveSettings(saved, store, messages), 0);
  }
  EXPECT_TRUE(messages.shown.empty());
  const std::string text = readFile(path);
  EXPECT_NE(text.find("\nDeviceID = dword:247\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nCOM1 = sz:/dev/ttyUSB0\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nRS232Setup = binary:08020702"), std::string::npos) << text;

  FileSettingsStore reader(path);
  AppSettings loaded;
  EXPECT_NE(LoadSettings(loaded, reader), 0);
  EXPECT_EQ(loaded, saved);

  // A second save replaces the first and leaves no temporary file.
  AppSettings again = saved;
  again.PortPaths[0] = "/dev/ttyACM0";
  again.ArcNum = 7;
  ASSERT_NE(SaveSettings(again, reader, messages), 0);
  AppSettings reloaded;
  LoadSettings(reloaded, reader);
  EXPECT_EQ(reloaded, again);
  EXPECT_EQ(fs::directory_iterator(at("config/km8"))->path().filename(), "km8.conf");
  EXPECT_EQ(std::distance(fs::directory_iterator(at("config/km8")), fs::directory_iterator()), 1);
}

TEST_F(SettingsFile, HandEditedFileLoadsWhatIsWellFormed) {
  const std::string path = at("km8.conf");
  std::string text = "# edited by hand\n";
  text += std::string(
      "\x7F"
      "ELF\0\0\x01\xFF\xFE\n",
      10);
  text += "DeviceID = dword:300\r\n";
  text += "PollDelay=dword:70000\n";
  text += "Timeouts = sz:5\n";
  text += "TextFileName = sz:" + std::string(kFileNameLimit + 1, 'x') + "\n";
  text += "DataBaseName = sz:" + std::string(kFileNameLimit, 'y') + "\n";
  text += "COM1 = sz:/dev/ttyUSB0\n";
  text += "nonsense without equals\n";
  text += "RS232Setup = binary:0100080";  // cut short
  writeFile(path, text);

  FileSettingsStore store(path);
  AppSettings s;
  s.TextFileName = "/opt/km8/Archives.txt";
  ASSERT_NE(LoadSettings(s, store), 0);
  EXPECT_EQ(s.DeviceID, 44);
  EXPECT_EQ(s.PollDelay, 4464);
  EXPECT_EQ(s.Timeouts, 3);
  EXPECT_EQ(s.TextFileName, "/opt/km8/Archives.txt");
  EXPECT_EQ(s.DataBaseName, std::string(kFileNameLimit, 'y'));
  EXPECT_EQ(s.PortPaths[0], "/dev/ttyUSB0");
  EXPECT_EQ(s.PortPaths[1], "/dev/ttyS1");
  EXPECT_EQ(s.SerialSetup, SerialSetup{});
}

// Runs `check` without root's privileges (as "nobody" in a child process when this
// runs as root, as CI does): root reads a file of mode 000 all the same.
bool runUnprivileged(const std::function<bool()>& check) {
  if (::geteuid() != 0) return check();
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    ::_exit(check() ? 0 : 1);
  }
  int status = 0;
  return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

TEST_F(SettingsFile, AFileThatCannotBeReadIsReportedAndNeverReplaced) {
  const std::string path = at("km8.conf");
  {
    FileSettingsStore store(path);
    RecordingMessageHost messages;
    ASSERT_NE(SaveSettings(ChangedSettings(), store, messages), 0);
  }
  const std::string before = readFile(path);
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  ASSERT_EQ(::chmod(dir_.c_str(), 0777), 0);  // a replacement could be made here

  EXPECT_TRUE(runUnprivileged([&] {
    FileSettingsStore store(path);
    AppSettings s;
    RecordingMessageHost messages;
    const bool loaded = LoadSettings(s, store) != 0;
    const bool reported = store.unreadableReason() == path + ": " + std::strerror(EACCES);
    const bool refused = SaveSettings(s, store, messages) == 0 && messages.shown.size() == 1 &&
                         messages.shown[0].text == kSaveFailedText;
    // A store that never read refuses as well: the file is somebody's settings.
    FileSettingsStore fresh(path);
    const bool freshRefused = !fresh.write(std::vector<NamedValue>{});
    return !loaded && s == AppSettings{} && reported && refused && freshRefused;
  }));
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  EXPECT_EQ(readFile(path), before);
  EXPECT_EQ(folderEntries(), std::vector<std::string>{"km8.conf"});
}

TEST_F(SettingsFile, SpecialFilesAreReportedAndNeverReplaced) {
  const std::string path = at("km8.conf");
  struct Case {
    const char* what;
    std::function<bool()> make;  // false: cannot be made here
    fs::file_type kept;
  };
  const std::vector<Case> cases = {
      {"a folder", [&] { return fs::create_directory(path); }, fs::file_type::directory},
      {"a FIFO", [&] { return ::mkfifo(path.c_str(), 0600) == 0; }, fs::file_type::fifo},
      {"a device node", [&] { return ::mknod(path.c_str(), S_IFCHR | 0600, ::makedev(1, 3)) == 0; },
       fs::file_type::character},
      {"a link to a FIFO",
       [&] {
         return ::mkfifo(at("fifo").c_str(), 0600) == 0 && ::symlink("fifo", path.c_str()) == 0;
       },
       fs::file_type::symlink},
      {"a loop of links",
       [&] {
         return ::symlink("loop", path.c_str()) == 0 &&
                ::symlink("km8.conf", at("loop").c_str()) == 0;
       },
       fs::file_type::symlink},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& entry : fs::directory_iterator(dir_)) fs::remove_all(entry.path());
    if (!c.make()) {
      std::printf("skipped %s: cannot make one here\n", c.what);
      continue;
    }
    const std::vector<std::string> entries = folderEntries();

    FileSettingsStore reader(path);
    AppSettings s;
    EXPECT_EQ(LoadSettings(s, reader), 0);
    EXPECT_EQ(reader.unreadableReason().rfind(path + ": ", 0), 0u) << reader.unreadableReason();

    FileSettingsStore writer(path);  // never read: the save alone must refuse
    RecordingMessageHost messages;
    EXPECT_EQ(SaveSettings(ChangedSettings(), writer, messages), 0);
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(fs::symlink_status(path).type(), c.kept);
    EXPECT_EQ(folderEntries(), entries);
  }
}

TEST_F(SettingsFile, ADanglingLinkGetsItsTargetCreatedAndIsKept) {
  fs::create_symlink("dotfiles/km8/real.conf", at("km8.conf"));
  FileSettingsStore store(at("km8.conf"));
  AppSettings s;
  EXPECT_EQ(LoadSettings(s, store), 0);
  EXPECT_EQ(store.unreadableReason(), "") << "a dangling link is a first run";
  RecordingMessageHost messages;
  ASSERT_NE(SaveSettings(ChangedSettings(), store, messages), 0);
  EXPECT_TRUE(fs::is_symlink(at("km8.conf")));
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(at("dotfiles/km8/real.conf"))));
  AppSettings loaded;
  ASSERT_NE(LoadSettings(loaded, store), 0);
  EXPECT_EQ(loaded, ChangedSettings());
}

TEST_F(SettingsFile, WriteCutShortKeepsTheOldFile) {
  const std::string path = at("km8.conf");
  FileSettingsStore store(path);
  RecordingMessageHost messages;
  ASSERT_NE(SaveSettings(ChangedSettings(), store, messages), 0);

  {
    const FileSizeLimit small(64);  // the temporary file's write fails half-way
    expectFailedSaveKeepsOldFile(path);
  }

  AppSettings loaded;
  LoadSettings(loaded, store);
  EXPECT_EQ(loaded, ChangedSettings());
}

TEST_F(SettingsFile, UnwritableFolderKeepsTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into any folder";
  const std::string path = at("km8.conf");
  FileSettingsStore store(path);
  RecordingMessageHost messages;
  ASSERT_NE(SaveSettings(ChangedSettings(), store, messages), 0);
  ASSERT_EQ(::chmod(dir_.c_str(), 0500), 0);
  expectFailedSaveKeepsOldFile(path);
}

TEST_F(SettingsFile, FolderThatCannotBeCreatedFailsTheSave) {
  writeFile(at("plain"), "not a folder");
  FileSettingsStore store(at("plain/km8/km8.conf"));
  RecordingMessageHost messages;
  EXPECT_EQ(SaveSettings(AppSettings{}, store, messages), 0);
  EXPECT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(readFile(at("plain")), "not a folder");
}

TEST_F(SettingsFile, ReplacingKeepsTheFileModeAndALinkToIt) {
  writeFile(at("real.conf"), "DeviceID = dword:5\n");
  ASSERT_EQ(::chmod(at("real.conf").c_str(), 0640), 0);
  fs::create_symlink("real.conf", at("km8.conf"));

  FileSettingsStore store(at("km8.conf"));
  AppSettings s;
  ASSERT_NE(LoadSettings(s, store), 0);
  EXPECT_EQ(s.DeviceID, 5);
  s.DeviceID = 6;
  RecordingMessageHost messages;
  ASSERT_NE(SaveSettings(s, store, messages), 0);

  EXPECT_TRUE(fs::is_symlink(at("km8.conf")));
  EXPECT_NE(readFile(at("real.conf")).find("\nDeviceID = dword:6\n"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(::stat(at("real.conf").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(SettingsPath, FollowsXdgConfigHome) {
  EXPECT_EQ(SettingsPathFor("/cfg", "/home/op"), "/cfg/km8/km8.conf");
  EXPECT_EQ(SettingsPathFor(nullptr, "/home/op"), "/home/op/.config/km8/km8.conf");
  EXPECT_EQ(SettingsPathFor("", "/home/op"), "/home/op/.config/km8/km8.conf");
  EXPECT_EQ(SettingsPathFor("relative/cfg", "/home/op"), "/home/op/.config/km8/km8.conf");
  EXPECT_EQ(SettingsPathFor(nullptr, nullptr), ".config/km8/km8.conf");
}

TEST(ProgramFolderPosix, IsTheWritableFolderOfThisExecutable) {
  const fs::path exe = fs::read_symlink("/proc/self/exe");
  const std::string folder = ProgramFolder();
  if (::access(exe.parent_path().c_str(), W_OK) == 0)
    EXPECT_EQ(folder, exe.parent_path().string());
  else
    EXPECT_NE(folder, exe.parent_path().string());
  EXPECT_EQ(PathSeparator(), '/');
}

}  // namespace
}  // namespace km8
