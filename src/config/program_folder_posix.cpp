#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "config/home_folder.h"
#include "config/program_folder.h"

namespace km8 {

char PathSeparator() { return '/'; }

const char* DefaultDatabaseFileName() { return "Archives.sqlite"; }

std::string ProgramFolder() {
  std::error_code error;
  const std::string exe = std::filesystem::read_symlink("/proc/self/exe", error).string();
  std::string home = HomeFolder();
  if (home.empty()) home = ".";
  return ChooseProgramFolder(
      error ? std::string() : exe, '/',
      [](const std::string& folder) {
        return MayHoldUserFiles(folder) && ::access(folder.c_str(), W_OK) == 0;
      },
      home);
}

}  // namespace km8
