// The archives dialog (template 135): how many records to read, whether to open the
// text file once written, and the three actions; the file choice for the two exports.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

#include "archives/archives_command.h"
#include "archives/database_file_rule.h"
#include "res/message_box.h"
#include "res/ui/dialog_builder.h"

namespace km8 {

class ArchivesDialog final : public QDialog {
  Q_OBJECT

 public:
  // The chosen file, or nothing when the user cancelled.
  using FileChooser = std::function<std::optional<QString>(
      QWidget* parent, const QString& initialName, const QString& filter)>;

  explicit ArchivesDialog(MessageBoxHost& messages, QWidget* parent = nullptr);

  void setFields(const ArchivesDialogFields& fields);
  const ArchivesDialogFields& fields() const { return fields_; }
  void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
  const BuiltDialog& controls() const { return ui_; }

  // A save dialog that neither asks before overwriting nor adds an extension itself.
  static std::optional<QString> saveFileDialog(QWidget* parent, const QString& initialName,
                                               const QString& filter);

 private:
  bool transferControls();
  void onView();
  void onFileAction(const ArchiveFileRule& rule, std::string ArchivesDialogFields::*name,
                    ArchiveMode mode);
  void finish(ArchiveMode mode);

  MessageBoxHost& messages_;
  BuiltDialog ui_;
  ArchivesDialogFields fields_;
  FileChooser chooseFile_ = &ArchivesDialog::saveFileDialog;
};

// Runs the dialog for the Archives command, owned by `parent`.
class QtArchivesDialogRunner final : public ArchivesDialogRunner {
 public:
  QtArchivesDialogRunner(MessageBoxHost& messages, QWidget* parent)
      : messages_(messages), parent_(parent) {}
  void setFileChooser(ArchivesDialog::FileChooser chooser) { chooser_ = std::move(chooser); }
  bool runArchivesDialog(ArchivesDialogFields& fields) override;

 private:
  MessageBoxHost& messages_;
  QWidget* parent_;
  ArchivesDialog::FileChooser chooser_;
};

}  // namespace km8
