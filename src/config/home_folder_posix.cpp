#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "config/home_folder.h"

namespace km8 {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return {};
}

}  // namespace km8
