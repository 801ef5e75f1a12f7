#include "app/parent_console.h"

namespace km8 {

void UseParentConsole() {}

}  // namespace km8
