#include "setpoints/ui/setpoint_report_window.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <stdexcept>
#include <utility>

#include "res/setpoint_report_template.h"
#include "res/ui/window_placement.h"

namespace km8 {

SetpointReportWindow::SetpointReportWindow(QWidget* owner, std::function<void()> closed)
    : QDialog(owner), closed_(std::move(closed)) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setModal(false);
  ui_ = buildDialog(SetpointReportTemplate(), *this);
  text_ = ui_.controlAs<QPlainTextEdit>(kSetpointReportTextId);
  if (text_ == nullptr) throw std::logic_error("template 134 lacks control 1054");
  // The report is longer than the template's window: let the user enlarge it.
  const QSize templateSize = size();
  editSlack_ = templateSize - text_->size();
  setMinimumSize(templateSize / 2);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  resize(templateSize);
}

void SetpointReportWindow::centreOnOwner() {
  create();
  centreFrameOnOwner(*this);
}

void SetpointReportWindow::setCaption(const std::string& caption) {
  setWindowTitle(QString::fromStdString(caption));
}

void SetpointReportWindow::setText(const std::string& text) {
  // The text keeps the instrument program's CR LF; the editor wants plain line feeds.
  QString plain = QString::fromStdString(text);
  plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text_->setPlainText(plain);
}

void SetpointReportWindow::showWindow() {
  if (!placement_.isEmpty()) restoreGeometry(placement_);
  show();
  raise();
}

void SetpointReportWindow::focusWindow() {
  raise();
  QDialog::activateWindow();
  text_->setFocus();
}

void SetpointReportWindow::activateWindow() {
  if (!isVisible()) return;
  raise();
  QDialog::activateWindow();
}

void SetpointReportWindow::reject() {
  if (closed_) closed_();
  hide();
}

void SetpointReportWindow::accept() {}

void SetpointReportWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void SetpointReportWindow::hideEvent(QHideEvent* event) {
  placement_ = saveGeometry();
  QDialog::hideEvent(event);
}

void SetpointReportWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  // The edit fills the window with the template's margins.
  text_->resize(size() - editSlack_);
}

}  // namespace km8
