// A file replaced whole: the new content goes to a temporary file in the same folder and
// is renamed over the old name only once written and flushed, so a failed or abandoned
// write leaves the previous file exactly as it was.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace km8 {

enum class FileCreateError {
  None,
  WriteProtected,  // read-only medium (EROFS; Windows error 19)
  Other,
};

class ReplacementFile {
 public:
  virtual ~ReplacementFile() = default;

  // Checks that `path` may be written and opens a fresh temporary file beside it. Fails
  // as creating `path` itself would (a read-only or locked file, a missing folder).
  virtual FileCreateError create(const std::string& path) = 0;

  // Writes `bytes` as the whole new content, from the start of the temporary file,
  // flushes it to the disk and renames it over the path. On failure the path is
  // untouched and the temporary file is kept, so a later call starts the write over.
  virtual bool writeAndReplace(std::string_view bytes) = 0;

  // Closes and removes the temporary file, if one is left. Also done on destruction.
  virtual void discard() = 0;
};

// The platform's file, and how it names the reason a create failed (errno on POSIX,
// the last-error code on Windows).
std::unique_ptr<ReplacementFile> MakeReplacementFile();
FileCreateError ClassifyCreateError(int systemError);

}  // namespace km8
