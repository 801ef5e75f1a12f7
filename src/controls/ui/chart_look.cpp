#include "controls/ui/chart_look.h"

#include "controls/ui/control_font.h"

namespace km8 {

namespace {
constexpr ColorRef kLightGreen = 0x80FF80;
}

ChartLook::ChartLook()
    : timeFormat(QStringLiteral("HH:mm:ss")),
      timeTitle(QStringLiteral("Час")),
      valueTitle(QStringLiteral("Температура, °C")),
      labelFont(controlFont(QStringLiteral("MS Sans Serif"), 11, false)),
      titleFont(controlFont(QStringLiteral("Arial"), 11, false)) {
  for (int i = 0; i < kChartChannels; ++i) {
    ChartChannel& ch = channels[static_cast<std::size_t>(i)];
    ch.name = QStringLiteral("T%1").arg(i + 1);
    for (ChartLine& line : ch.regulation) {
      line.code = 3;
      line.color = kLightGreen;
    }
    for (ChartLine& line : ch.alarm) line.code = 4;
  }
}

}  // namespace km8
