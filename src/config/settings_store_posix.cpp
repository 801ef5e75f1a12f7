#include "config/settings_store_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <utility>

#include "config/home_folder.h"
#include "config/settings_file_format.h"

namespace km8 {
namespace {

// A settings file is a few hundred bytes; a huge one is not ours, and reading stops here.
constexpr std::size_t kMaxFileBytes = 1 << 20;

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool makeFolders(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const auto slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !makeFolders(folder.substr(0, slash)))
    return false;
  return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// A settings file that is a symbolic link (kept with other dot files, say) is replaced
// at its target, so that the link survives the save.
std::string replaceTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : path;
}

}  // namespace

FileSettingsStore::FileSettingsStore(std::string path) : path_(std::move(path)) {}

std::optional<StoredValues> FileSettingsStore::read(std::span<const std::string> names) {
  // Non-blocking so that a path pointing at a FIFO cannot hang the start-up.
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  std::string text;
  char buffer[4096];
  while (text.size() < kMaxFileBytes) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);

  const StoredValues all = ParseSettingsFile(text);
  StoredValues wanted;
  for (const std::string& name : names) {
    if (const auto it = all.find(name); it != all.end()) wanted.insert(*it);
  }
  return wanted;
}

bool FileSettingsStore::write(std::span<const NamedValue> values) {
  const std::string text = FormatSettingsFile(values);
  const std::string target = replaceTarget(path_);
  const std::string folder = folderOf(target);
  if (!makeFolders(folder)) return false;

  std::string temp = target + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);

  // The new file keeps the old one's permissions; mkstemp's 0600 would hide it from a
  // second account that only reads it.
  struct stat old {};
  const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  ::fchmod(fd, mode);

  bool ok = writeAll(fd, text) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Makes the rename itself durable. Some file systems cannot sync a folder; the new
  // file is in place by now, so that is not a failure.
  if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

std::string SettingsPathFor(const char* xdgConfigHome, const char* home) {
  // XDG: a relative XDG_CONFIG_HOME is invalid and is ignored.
  if (xdgConfigHome && xdgConfigHome[0] == '/') return std::string(xdgConfigHome) + "/km8/km8.conf";
  const std::string base = (home && *home) ? std::string(home) + "/.config" : ".config";
  return base + "/km8/km8.conf";
}

std::string DefaultSettingsPath() {
  const std::string home = HomeFolder();
  return SettingsPathFor(std::getenv("XDG_CONFIG_HOME"), home.c_str());
}

std::unique_ptr<SettingsStore> MakeDefaultSettingsStore() {
  return std::make_unique<FileSettingsStore>(DefaultSettingsPath());
}

}  // namespace km8
