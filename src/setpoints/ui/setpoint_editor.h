// The SetpointEditor dialog (template 137): one channel at a time with "<<" and ">>",
// the common parameters below; it edits the block in place through SetpointEditorModel.
#pragma once

#include <QDialog>
#include <optional>

#include "res/message_box.h"
#include "res/ui/dialog_builder.h"
#include "setpoints/setpoint_editor_model.h"

namespace km8 {

class SetpointEditor final : public QDialog {
  Q_OBJECT

 public:
  SetpointEditor(SetpointBlock& block, MessageBoxHost& messages, QWidget* parent = nullptr);

  const BuiltDialog& controls() const { return ui_; }
  int channel() const { return model_.channel(); }

 public slots:
  void accept() override;  // "Змiнити"

 private:
  void showFields();
  EditorFields readFields() const;
  // False after a refusal: the prompt was shown and the field has the focus.
  bool handled(const std::optional<EditorRefusal>& refusal);

  BuiltDialog ui_;
  SetpointEditorModel model_;
  MessageBoxHost& messages_;
};

}  // namespace km8
