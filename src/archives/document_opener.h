// Opening a written file with the program the desktop associates with it (the text
// export's auto-open): the Qt layer supplies it, tests record it.
#pragma once

#include <string>

namespace km8 {

class DocumentOpener {
 public:
  virtual ~DocumentOpener() = default;
  // Fire and forget: whether a program was found is not reported.
  virtual void openDocument(const std::string& path) = 0;
};

}  // namespace km8
