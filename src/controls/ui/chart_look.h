// Everything the strip chart draws besides its samples: channels, limit lines, value
// range, colours, fonts, texts and margins, with the chart's initial look as defaults.
#pragma once

#include <QFont>
#include <QMargins>
#include <QString>
#include <array>

#include "controls/display_controls.h"

namespace km8 {

inline constexpr int kChartChannels = 8;

// A horizontal limit line. Code 3 draws it dashed, any other code solid.
struct ChartLine {
  bool shown = false;
  double value = 0.0;
  int code = 0;
  ColorRef color = kRed;
};

struct ChartChannel {
  QString name;
  ColorRef color = kYellow;
  bool visible = true;
  std::array<ChartLine, 2> regulation{};
  std::array<ChartLine, 2> alarm{};
};

struct ChartLook {
  ChartLook();

  std::array<ChartChannel, kChartChannels> channels;
  int currentChannel = 0;  // drawn on top and read out at the cursor
  bool legendVisible = false;
  // Hidden channels keep their place in the legend, named in the grid colour, so that a
  // click there can bring them back.
  bool legendListsHidden = false;
  double valueMin = 0.0;
  double valueMax = 100.0;

  ColorRef outerBackground = kBlack;
  ColorRef plotBackground = kBlack;
  ColorRef axisColor = kLime;  // axis labels, titles, ticks, frame and legend text
  ColorRef gridColor = 0x808080;
  ColorRef cursorColor = kRed;

  QString timeFormat;  // clock times, hours:minutes:seconds
  QString timeTitle;
  QString valueTitle;
  QFont labelFont;
  QFont titleFont;
  int timeTickCount = 5;    // labelled ticks along the time axis, both ends included
  int timeTickLength = 6;   // pixels
  int valueTickLength = 4;  // pixels
  QMargins outerMargins{5, 5, 0, 5};
  int legendWidth = 40;
  int legendMargin = 5;
};

}  // namespace km8
