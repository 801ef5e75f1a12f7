#include "archives/ui/archives_dialog.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <stdexcept>

#include "res/archive_templates.h"

namespace km8 {
namespace {

template <class W>
W* required(const BuiltDialog& ui, int id) {
  W* widget = ui.controlAs<W>(id);
  if (widget == nullptr) throw std::logic_error("template 135 lacks control " + std::to_string(id));
  return widget;
}

}  // namespace

ArchivesDialog::ArchivesDialog(MessageBoxHost& messages, QWidget* parent)
    : QDialog(parent), messages_(messages) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  ui_ = buildDialog(ArchivesDialogTemplate(), *this);
  auto* count = required<QLineEdit>(ui_, kRecordCountEditId);
  count->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), count));
  required<QCheckBox>(ui_, kAutoOpenCheckId);

  connect(required<QPushButton>(ui_, kViewButtonId), &QPushButton::clicked, this,
          &ArchivesDialog::onView);
  connect(required<QPushButton>(ui_, kTextFileButtonId), &QPushButton::clicked, this, [this] {
    onFileAction(TextFileRule(), &ArchivesDialogFields::textFileName, ArchiveMode::TextExport);
  });
  connect(required<QPushButton>(ui_, kDatabaseButtonId), &QPushButton::clicked, this, [this] {
    onFileAction(DatabaseFileRule(), &ArchivesDialogFields::dataBaseName,
                 ArchiveMode::DatabaseExport);
  });
}

void ArchivesDialog::setFields(const ArchivesDialogFields& fields) {
  fields_ = fields;
  ui_.controlAs<QLineEdit>(kRecordCountEditId)->setText(QString::number(fields.recordCount));
  ui_.controlAs<QCheckBox>(kAutoOpenCheckId)->setChecked(fields.autoOpen);
}

bool ArchivesDialog::transferControls() {
  auto* count = ui_.controlAs<QLineEdit>(kRecordCountEditId);
  const auto value = ParseRecordCount(count->text().toStdString());
  if (!value) {
    messages_.showMessage(recordCountNotice());
    count->setFocus();
    count->selectAll();
    return false;
  }
  fields_.recordCount = *value;
  fields_.autoOpen = ui_.controlAs<QCheckBox>(kAutoOpenCheckId)->isChecked();
  return true;
}

void ArchivesDialog::onView() {
  if (transferControls()) finish(ArchiveMode::View);
}

void ArchivesDialog::onFileAction(const ArchiveFileRule& rule,
                                  std::string ArchivesDialogFields::*name, ArchiveMode mode) {
  if (!transferControls()) return;
  const auto chosen =
      chooseFile_(this, QString::fromStdString(fields_.*name), QString::fromUtf8(rule.filter));
  if (!chosen || chosen->isEmpty()) return;
  const QString path = QDir::toNativeSeparators(QFileInfo(*chosen).absoluteFilePath());
  const auto stored = ApplyFileRule(rule, path.toStdString());
  if (!stored) {
    messages_.showMessage(wrongExtensionNotice(rule.wrongExtensionText));
    return;
  }
  fields_.*name = *stored;
  if (transferControls()) finish(mode);
}

void ArchivesDialog::finish(ArchiveMode mode) {
  fields_.mode = mode;
  accept();
}

std::optional<QString> ArchivesDialog::saveFileDialog(QWidget* parent, const QString& initialName,
                                                      const QString& filter) {
  const QString chosen = QFileDialog::getSaveFileName(parent, QString(), initialName, filter,
                                                      nullptr, QFileDialog::DontConfirmOverwrite);
  if (chosen.isEmpty()) return std::nullopt;
  return chosen;
}

bool QtArchivesDialogRunner::runArchivesDialog(ArchivesDialogFields& fields) {
  ArchivesDialog dialog(messages_, parent_);
  if (chooser_) dialog.setFileChooser(chooser_);
  dialog.setFields(fields);
  if (dialog.exec() != QDialog::Accepted) return false;
  fields = dialog.fields();
  return true;
}

}  // namespace km8
