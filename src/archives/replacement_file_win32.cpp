#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

#include "archives/replacement_file.h"

// File names are UTF-8 throughout: the executables run with UTF-8 as their ANSI code page.
namespace km8 {
namespace {

class Win32ReplacementFile final : public ReplacementFile {
 public:
  ~Win32ReplacementFile() override { discard(); }

  FileCreateError create(const std::string& path) override {
    discard();
    if (path.empty()) return FileCreateError::Other;  // no name: nothing beside it either
    target_ = path;
    // Probe the old file the way creating it would: read-only, locked by another
    // program or on a write-protected disk fails here, before anything is written.
    const DWORD attributes = ::GetFileAttributesA(target_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
      return FileCreateError::Other;
    }
    const HANDLE probe = ::CreateFileA(target_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
      ::CloseHandle(probe);
    } else {
      const DWORD error = ::GetLastError();
      if (error != ERROR_FILE_NOT_FOUND) return ClassifyCreateError(static_cast<int>(error));
    }
    static std::atomic<unsigned> serial{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
      temp_ =
          target_ + ".~" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(serial++);
      handle_ = ::CreateFileA(temp_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
      if (handle_ != INVALID_HANDLE_VALUE) return FileCreateError::None;
      const DWORD error = ::GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
        temp_.clear();
        return ClassifyCreateError(static_cast<int>(error));
      }
    }
    temp_.clear();
    return FileCreateError::Other;
  }

  bool writeAndReplace(std::string_view bytes) override {
    if (temp_.empty()) return false;
    // After a failed rename the handle is closed; the retry writes the same file again.
    if (handle_ == INVALID_HANDLE_VALUE) {
      handle_ = ::CreateFileA(temp_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (handle_ == INVALID_HANDLE_VALUE) return false;
    }
    if (::SetFilePointer(handle_, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !::SetEndOfFile(handle_)) {
      return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
      DWORD written = 0;
      if (!::WriteFile(handle_, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
        return false;
      }
      done += written;
    }
    if (!::FlushFileBuffers(handle_)) return false;
    ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    if (!::MoveFileExA(temp_.c_str(), target_.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return false;
    }
    temp_.clear();
    return true;
  }

  void discard() override {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    if (!temp_.empty()) ::DeleteFileA(temp_.c_str());
    temp_.clear();
  }

 private:
  std::string target_;
  std::string temp_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<ReplacementFile> MakeReplacementFile() {
  return std::make_unique<Win32ReplacementFile>();
}

FileCreateError ClassifyCreateError(int systemError) {
  return systemError == ERROR_WRITE_PROTECT ? FileCreateError::WriteProtected
                                            : FileCreateError::Other;
}

}  // namespace km8
