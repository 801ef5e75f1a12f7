#include "archives/access_file.h"

namespace km8 {

std::string AccessConnectionString(const std::string& path) {
  // A value with separators or braces goes in braces, a closing brace doubled.
  std::string value = path;
  if (value.find_first_of(";{}") != std::string::npos || value.starts_with(' ')) {
    std::string quoted = "{";
    for (char c : path) {
      quoted += c;
      if (c == '}') quoted += '}';
    }
    value = quoted + "}";
  }
  return std::string("DRIVER={") + kAccessOdbcDriver + "};DBQ=" + value + ";";
}

}  // namespace km8
