// The station's icon (resource 128): a thermometer beside a rising trend line, painted
// in code at the sizes the window system asks for.
#pragma once

#include <QIcon>

namespace km8 {

QIcon stationIcon();

}  // namespace km8
