// The user's home folder on POSIX ($HOME, else the password database), for the
// settings file and the fallback folder of the default archive files.
#pragma once

#include <string>

namespace km8 {

// Empty when neither source knows it.
std::string HomeFolder();

}  // namespace km8
