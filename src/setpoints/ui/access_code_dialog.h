// The access code dialog (template 140): one masked field taking at most six digits.
// The entry is handed over once and never kept, logged or shown.
#pragma once

#include <QDialog>
#include <string>

#include "res/ui/dialog_builder.h"

class QLineEdit;

namespace km8 {

class AccessCodeDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit AccessCodeDialog(QWidget* parent = nullptr);
  ~AccessCodeDialog() override;

  const BuiltDialog& controls() const { return ui_; }
  QLineEdit* codeField() const { return code_; }
  // The text OK transferred; empties the dialog's copy.
  std::string takeEntry();

 public slots:
  void accept() override;

 private:
  BuiltDialog ui_;
  QLineEdit* code_ = nullptr;
  std::string entry_;
};

}  // namespace km8
