// The archive list window (template 136): a modeless window listing the records of the
// current reading as they arrive, with the reading's progress in its caption.
#pragma once

#include <QDialog>

#include "archives/archive_list_view.h"
#include "res/ui/dialog_builder.h"

class QTableView;

namespace km8 {

class ArchiveListModel;

class ArchiveListWindow final : public QDialog, public ArchiveListView {
  Q_OBJECT

 public:
  // Created hidden; `owner` keeps it above itself and destroys it.
  explicit ArchiveListWindow(QWidget* owner);

  void centreOnOwner();

  // ArchiveListView
  void deleteAllRows() override;
  void appendRow(const ArchiveEntry& entry) override;
  void setCaption(const std::string& caption) override;
  void showOrFocus() override;
  void activate() override;
  bool listOpen() const override { return listOpen_; }
  void setListOpen(bool open) override { listOpen_ = open; }

  QTableView* list() const { return list_; }
  ArchiveListModel* model() const { return model_; }
  const BuiltDialog& controls() const { return ui_; }

 public slots:
  void reject() override;  // Esc and the close box: hidden, the reading stops
  void accept() override;  // Enter does nothing

 private:
  BuiltDialog ui_;
  QTableView* list_ = nullptr;
  ArchiveListModel* model_ = nullptr;
  bool listOpen_ = false;
};

}  // namespace km8
