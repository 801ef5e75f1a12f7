#include "config/settings_store_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
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

// Where a save puts the file: `path` itself, or the end of its chain of symbolic links,
// so that a link (kept with other dot files, say) survives the save; a dangling link's
// target is created. nullopt for a loop or an over-long chain of links, anything that
// is not a regular file, a file this process cannot read, or a path it cannot look at.
std::optional<std::string> replaceTarget(const std::string& path) {
  std::string target = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0) {
      if (errno == ENOENT) return target;
      return std::nullopt;
    }
    if (S_ISREG(st.st_mode)) {
      // One that cannot be read is somebody's settings all the same.
      const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
      if (fd < 0) return std::nullopt;
      ::close(fd);
      return target;
    }
    if (!S_ISLNK(st.st_mode)) return std::nullopt;
    std::string link(static_cast<std::size_t>(PATH_MAX), '\0');
    const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) return std::nullopt;
    link.resize(static_cast<std::size_t>(n));
    target = link.front() == '/' ? link : folderOf(target) + "/" + link;
  }
  return std::nullopt;
}

std::string systemReason(const std::string& path, int error) {
  return path + ": " + std::strerror(error);
}

}  // namespace

FileSettingsStore::FileSettingsStore(std::string path) : path_(std::move(path)) {}

std::optional<StoredValues> FileSettingsStore::read(std::span<const std::string> names) {
  // Non-blocking so that a path pointing at a FIFO cannot hang the start-up.
  unreadable_.clear();
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    // Only a missing file (or a link to one) is a first run.
    if (errno != ENOENT) unreadable_ = systemReason(path_, errno);
    return std::nullopt;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    unreadable_ = path_ + ": not a regular file";
    ::close(fd);
    return std::nullopt;
  }
  std::string text;
  char buffer[4096];
  while (text.size() < kMaxFileBytes) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      unreadable_ = systemReason(path_, errno);
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
  if (!unreadable_.empty()) return false;
  const std::optional<std::string> resolved = replaceTarget(path_);
  if (!resolved) return false;
  const std::string& target = *resolved;
  const std::string text = FormatSettingsFile(values);
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
