// The seven-segment value display control: a number with a fixed number of decimals
// drawn as seven-segment digits in the segment colour, behind a lowered border.
#pragma once

#include <QFrame>
#include <QString>

#include "controls/display_controls.h"

namespace km8 {

// A value always fits: a long one (the markers -10000.0 and 10000.0 included) is drawn
// with smaller digits rather than cut, and NaN, infinities and values of more than six
// integer digits show "----". Digits are right-aligned, as on an instrument panel.
class SevenSegmentWidget : public QFrame, public SevenSegmentValue {
  Q_OBJECT

 public:
  explicit SevenSegmentWidget(QWidget* parent = nullptr);

  void setValue(double value) override;
  double value() const { return value_; }
  void setSegmentColor(ColorRef color) override;
  ColorRef segmentColor() const { return segmentColor_; }

  void setBackgroundColor(ColorRef color);
  ColorRef backgroundColor() const { return backgroundColor_; }
  void setPrecision(int decimals);  // 0 to 3; 1 by default
  int precision() const { return precision_; }
  void setLowered(bool lowered);

  QString displayText() const;  // what the digits show, e.g. "23.4" or "----"

  QSize sizeHint() const override { return {84, 33}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  double value_ = 0.0;
  int precision_ = 1;
  ColorRef segmentColor_ = kBlack;
  ColorRef backgroundColor_ = 0xC0C0C0;
};

}  // namespace km8
