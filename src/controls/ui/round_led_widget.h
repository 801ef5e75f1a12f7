// The round LED display control: a lamp lit in its active colour, or shown in a dark
// shade of that colour when off.
#pragma once

#include <QWidget>

#include "controls/display_controls.h"

namespace km8 {

class RoundLedWidget : public QWidget, public RoundLed {
  Q_OBJECT

 public:
  static constexpr ColorRef kDefaultActiveColor = kLime;

  explicit RoundLedWidget(QWidget* parent = nullptr);

  void setLit(bool lit) override;
  bool isLit() const { return lit_; }
  void setActiveColor(ColorRef color);
  ColorRef activeColor() const { return activeColor_; }
  ColorRef inactiveColor() const;  // the colour of the lamp when off

  QSize sizeHint() const override { return {30, 30}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool lit_ = false;
  ColorRef activeColor_ = kDefaultActiveColor;
};

}  // namespace km8
