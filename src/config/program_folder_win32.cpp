#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include <array>

#include "config/program_folder.h"

namespace km8 {
namespace {

std::string utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(size - 1));
  return out;
}

std::wstring wide(const std::string& text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (size <= 1) return {};
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), size);
  out.resize(static_cast<std::size_t>(size - 1));
  return out;
}

std::string knownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::string out;
  if (SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path) == S_OK) out = utf8(path);
  CoTaskMemFree(path);
  return out;
}

// Whether the user may create a file there: what the folder's access rules say for them,
// which its attributes do not tell.
bool writable(const std::string& folder) {
  const std::wstring probe = wide(folder + "\\km8-write-test.tmp");
  const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

}  // namespace

char PathSeparator() { return '\\'; }

const char* DefaultDatabaseFileName() { return "Archives.mdb"; }

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string_view exe(path, length < MAX_PATH ? length : 0);
  // An installed station (the MSI puts it under Program Files) keeps the user's files in
  // their Documents: a user may not write beside the program there.
  const std::array<std::string, 2> installed = {knownFolder(FOLDERID_ProgramFiles),
                                                knownFolder(FOLDERID_ProgramFilesX86)};
  std::string documents = knownFolder(FOLDERID_Documents);
  if (documents.empty()) documents = FolderOfPath(exe, '\\');
  return ChooseProgramFolder(
      exe, '\\',
      [&](const std::string& folder) {
        for (const std::string& root : installed) {
          if (IsWithinFolder(folder, root, '\\', false)) return false;
        }
        return writable(folder);
      },
      documents);
}

}  // namespace km8
