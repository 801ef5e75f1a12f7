#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>

#include "archives/replacement_file.h"

namespace km8 {
namespace {

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// A file that is a symbolic link is replaced at its target, so that the link survives.
std::string replaceTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : path;
}

class PosixReplacementFile final : public ReplacementFile {
 public:
  ~PosixReplacementFile() override { discard(); }

  FileCreateError create(const std::string& path) override {
    discard();
    if (path.empty()) return FileCreateError::Other;  // no name: nothing beside it either
    target_ = replaceTarget(path);
    // Probe the old file the way creating it would: a read-only file, a folder or a
    // read-only medium fail here, before anything is written.
    mode_t mode = 0666;
    bool keepMode = false;
    const int probe = ::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (probe >= 0) {
      struct stat st {};
      if (::fstat(probe, &st) == 0) {
        mode = st.st_mode & 07777;
        keepMode = true;
      }
      ::close(probe);
    } else if (errno != ENOENT) {
      return ClassifyCreateError(errno);
    }
    static std::atomic<unsigned> serial{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
      temp_ = target_ + ".~" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
      fd_ = ::open(temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
      if (fd_ >= 0) break;
      if (errno != EEXIST) {
        const int error = errno;
        temp_.clear();
        return ClassifyCreateError(error);
      }
    }
    if (fd_ < 0) {
      temp_.clear();
      return FileCreateError::Other;
    }
    // The new file takes the place of the old one with the old one's permissions.
    if (keepMode) (void)::fchmod(fd_, mode);
    return FileCreateError::None;
  }

  bool writeAndReplace(std::string_view bytes) override {
    if (fd_ < 0) return false;
    if (::ftruncate(fd_, 0) != 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n =
          ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd_) != 0) return false;
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return false;
    ::close(fd_);
    fd_ = -1;
    temp_.clear();
    // Make the rename itself durable; a failure here no longer affects the content.
    const int folder = ::open(folderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
      (void)::fsync(folder);
      ::close(folder);
    }
    return true;
  }

  void discard() override {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
  }

 private:
  std::string target_;
  std::string temp_;
  int fd_ = -1;
};

}  // namespace

std::unique_ptr<ReplacementFile> MakeReplacementFile() {
  return std::make_unique<PosixReplacementFile>();
}

FileCreateError ClassifyCreateError(int systemError) {
  return systemError == EROFS ? FileCreateError::WriteProtected : FileCreateError::Other;
}

}  // namespace km8
