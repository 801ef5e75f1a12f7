// The text a dialog control shows, whichever kind of control it is.
#pragma once

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QString>

#include "controls/ui/caption_label_widget.h"

namespace km8::test {

// Empty for a kind of control that shows no text of its own.
inline QString textOf(QWidget* w) {
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* c = qobject_cast<CaptionLabelWidget*>(w)) return c->caption();
  return {};
}

}  // namespace km8::test
