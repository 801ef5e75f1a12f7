// The setpoint report window (template 134): modeless, owned by the main window, hidden
// rather than destroyed when closed; its text can be selected and copied.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <functional>

#include "res/ui/dialog_builder.h"
#include "setpoints/setpoint_report.h"

class QPlainTextEdit;

namespace km8 {

class SetpointReportWindow final : public QDialog, public SetpointReportView {
  Q_OBJECT

 public:
  // `closed` runs when the user closes the window (Esc or the close box).
  SetpointReportWindow(QWidget* owner, std::function<void()> closed);

  void centreOnOwner();
  QPlainTextEdit* textEdit() const { return text_; }
  const BuiltDialog& controls() const { return ui_; }

  void setCaption(const std::string& caption) override;
  void setText(const std::string& text) override;
  bool isShown() const override { return isVisible(); }
  void showWindow() override;
  void focusWindow() override;
  void activateWindow() override;

 public slots:
  void reject() override;  // Esc, the close box: hide, never destroy
  void accept() override;  // Enter does nothing

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  BuiltDialog ui_;
  QPlainTextEdit* text_ = nullptr;
  std::function<void()> closed_;
  QSize editSlack_;       // window size minus the edit's, as the template lays them out
  QByteArray placement_;  // size and place when last hidden, for the rest of the run
};

}  // namespace km8
