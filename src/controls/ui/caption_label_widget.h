// The caption label display control: a text on a coloured panel with an optional
// lowered or raised border, as the main window shows its channel numbers.
#pragma once

#include <QFrame>
#include <QString>

#include "controls/display_controls.h"

namespace km8 {

class CaptionLabelWidget : public QFrame, public CaptionLabel {
  Q_OBJECT

 public:
  enum class Border { None, Lowered, Raised };

  explicit CaptionLabelWidget(QWidget* parent = nullptr);

  void setCaption(const std::string& text) override;
  QString caption() const { return caption_; }

  void setAlignment(Qt::Alignment alignment);
  Qt::Alignment alignment() const { return alignment_; }
  void setBorder(Border border);
  Border border() const { return border_; }
  void setTextColor(ColorRef color);
  ColorRef textColor() const { return textColor_; }
  void setBackgroundColor(ColorRef color);
  ColorRef backgroundColor() const { return backgroundColor_; }

  // The look of the main window's channel numbers: lime bold 24-pixel text, centred
  // on black, lowered border.
  void applyChannelCaptionLook();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString caption_;
  Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
  Border border_ = Border::None;
  ColorRef textColor_ = kBlack;
  ColorRef backgroundColor_ = 0xC0C0C0;
};

}  // namespace km8
