#include "setpoints/ui/progress_window.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>

#include "res/progress_template.h"
#include "res/ui/window_placement.h"

namespace km8 {

ProgressWindow::ProgressWindow(QWidget* parent) : QDialog(parent) {
  // A modal frame without a caption bar; modeless, owned by the main window.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint);
  setModal(false);
  ui_ = buildDialog(ProgressTemplate(), *this);
  bar_ = ui_.controlAs<QProgressBar>(progress_ids::kBar);
  phase_ = ui_.controlAs<QGroupBox>(progress_ids::kPhaseCaption);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setFocusPolicy(Qt::TabFocus);
  phase_->setAlignment(Qt::AlignHCenter);
  // The bar sits inside the group box in the template: keep it painted above the box.
  bar_->raise();
  connect(ui_.controlAs<QPushButton>(progress_ids::kCancel), &QPushButton::clicked, this,
          &ProgressWindow::reject);
}

void ProgressWindow::setRange(int low, int high) { bar_->setRange(low, high); }

void ProgressWindow::setPosition(int position) {
  bar_->setValue(position);
  // The programming animation holds the event loop: paint now.
  if (bar_->isVisible()) bar_->repaint();
}

void ProgressWindow::setPhaseCaption(const std::string& text) {
  phase_->setTitle(QString::fromStdString(text));
}

void ProgressWindow::centre() {
  create();
  centreFrameOnOwner(*this);
}

void ProgressWindow::focusWindow() {
  raise();
  activateWindow();
  setFocus();
}

void ProgressWindow::focusBar() { bar_->setFocus(); }

void ProgressWindow::reject() {
  if (onCancel_) onCancel_();
}

void ProgressWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return;  // nothing
  QDialog::keyPressEvent(event);
}

}  // namespace km8
