// The ProgressWindow of the setpoint change (template 139): a modeless popup without a
// caption bar showing the phase and its progress; its Cancel goes to the workflow.
#pragma once

#include <QDialog>
#include <functional>

#include "res/ui/dialog_builder.h"
#include "setpoints/setpoint_programming.h"

class QGroupBox;
class QProgressBar;

namespace km8 {

class ProgressWindow final : public QDialog, public ProgressView {
  Q_OBJECT

 public:
  explicit ProgressWindow(QWidget* parent);

  // Cancel, Esc and the window's close all land here; the workflow decides.
  void setCancelHandler(std::function<void()> handler) { onCancel_ = std::move(handler); }

  const BuiltDialog& controls() const { return ui_; }
  QProgressBar* bar() const { return bar_; }
  QGroupBox* phaseBox() const { return phase_; }

  // ProgressView
  void setRange(int low, int high) override;
  void setPosition(int position) override;
  void setPhaseCaption(const std::string& text) override;
  void centre() override;
  bool isShown() const override { return isVisible(); }
  void showWindow() override { show(); }
  void focusWindow() override;
  void focusBar() override;
  void hideWindow() override { hide(); }

 public slots:
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  BuiltDialog ui_;
  QProgressBar* bar_ = nullptr;
  QGroupBox* phase_ = nullptr;
  std::function<void()> onCancel_;
};

}  // namespace km8
