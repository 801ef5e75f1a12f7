#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "config/program_folder.h"

namespace km8 {

char PathSeparator() { return '\\'; }

const char* DefaultDatabaseFileName() { return "Archives.mdb"; }

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return FolderOfPath(std::string_view(path, length < MAX_PATH ? length : MAX_PATH), '\\');
}

}  // namespace km8
