#include "controls/ui/caption_label_widget.h"

#include <QPainter>

#include "controls/ui/color_ref.h"
#include "controls/ui/control_font.h"

namespace km8 {

CaptionLabelWidget::CaptionLabelWidget(QWidget* parent) : QFrame(parent) {
  // The whole rectangle is painted, so a repaint need not repaint the parent first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setBorder(Border::None);
}

void CaptionLabelWidget::setCaption(const std::string& text) {
  const QString next = QString::fromStdString(text);
  if (next == caption_) return;
  caption_ = next;
  update();
}

void CaptionLabelWidget::setAlignment(Qt::Alignment alignment) {
  if (alignment == alignment_) return;
  alignment_ = alignment;
  update();
}

void CaptionLabelWidget::setBorder(Border border) {
  border_ = border;
  switch (border) {
    case Border::None:
      setFrameStyle(QFrame::NoFrame);
      break;
    case Border::Lowered:
      setFrameStyle(QFrame::Panel | QFrame::Sunken);
      break;
    case Border::Raised:
      setFrameStyle(QFrame::Panel | QFrame::Raised);
      break;
  }
  setLineWidth(1);
  update();
}

void CaptionLabelWidget::setTextColor(ColorRef color) {
  if (color == textColor_) return;
  textColor_ = color;
  update();
}

void CaptionLabelWidget::setBackgroundColor(ColorRef color) {
  if (color == backgroundColor_) return;
  backgroundColor_ = color;
  update();
}

void CaptionLabelWidget::applyChannelCaptionLook() {
  setFont(controlFont(QStringLiteral("MS Sans Serif"), 24, true));
  setAlignment(Qt::AlignCenter);
  setBorder(Border::Lowered);
  setTextColor(kLime);
  setBackgroundColor(kBlack);
}

void CaptionLabelWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), toQColor(backgroundColor_));
  drawFrame(&painter);
  painter.setPen(toQColor(textColor_));
  painter.setFont(font());
  painter.drawText(contentsRect(), static_cast<int>(alignment_), caption_);
}

}  // namespace km8
