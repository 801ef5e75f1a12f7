#include "setpoints/ui/access_code_dialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <algorithm>

#include "res/access_code_template.h"
#include "setpoints/access_code.h"

namespace km8 {

AccessCodeDialog::AccessCodeDialog(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  ui_ = buildDialog(AccessCodeTemplate(), *this);
  code_ = ui_.controlAs<QLineEdit>(access_code_ids::kCode);
  code_->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QString::fromLatin1(kAccessCodeDigitPattern)), code_));
  code_->setEchoMode(QLineEdit::Password);
  code_->setMaxLength(kAccessCodeMaxLength);
  code_->setFocus();
  connect(ui_.controlAs<QPushButton>(access_code_ids::kOk), &QPushButton::clicked, this,
          &AccessCodeDialog::accept);
  connect(ui_.controlAs<QPushButton>(access_code_ids::kCancel), &QPushButton::clicked, this,
          &AccessCodeDialog::reject);
}

AccessCodeDialog::~AccessCodeDialog() { std::fill(entry_.begin(), entry_.end(), '\0'); }

void AccessCodeDialog::accept() {
  const std::string entry = code_->text().toStdString();
  if (!isAcceptableAccessCode(entry)) {
    code_->setFocus();
    code_->selectAll();
    return;
  }
  entry_ = entry;
  code_->clear();
  QDialog::accept();
}

std::string AccessCodeDialog::takeEntry() {
  std::string entry = std::move(entry_);
  entry_.clear();
  return entry;
}

}  // namespace km8
