#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// Needs windows.h first.
#include <shellapi.h>

#include "archives/shell_open.h"
#include "archives/utf16_win32.h"

namespace km8 {

void ShellOpenDocument(const std::string& path, std::uintptr_t ownerWindow) {
  const std::wstring wide = Utf8ToWide(path);
  if (wide.empty()) return;
  // No parameters, no working folder, shown normally; the result is ignored.
  ::ShellExecuteW(reinterpret_cast<HWND>(ownerWindow), L"open", wide.c_str(), nullptr, nullptr,
                  SW_SHOWNORMAL);
}

}  // namespace km8
