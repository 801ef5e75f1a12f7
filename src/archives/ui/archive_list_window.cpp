#include "archives/ui/archive_list_window.h"

#include <QHeaderView>
#include <QTableView>
#include <stdexcept>

#include "archives/archive_rows.h"
#include "archives/ui/archive_list_model.h"
#include "res/archive_templates.h"
#include "res/ui/window_placement.h"

namespace km8 {

ArchiveListWindow::ArchiveListWindow(QWidget* owner) : QDialog(owner) {
  // A dialog of its owner, as the other feature windows: the window manager keeps it in
  // front of the main window instead of burying it when the main window is clicked.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setModal(false);
  ui_ = buildDialog(ArchiveListTemplate(), *this);
  list_ = ui_.controlAs<QTableView>(kArchiveListId);
  if (list_ == nullptr) throw std::logic_error("template 136 lacks its list view");

  model_ = new ArchiveListModel(this);
  list_->setModel(model_);
  list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 2);
  list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  // The list's client area: inside its border, before any scroll bar appears.
  const auto widths = ArchiveColumnWidths(list_->width() - 2 * list_->frameWidth());
  for (int c = 0; c < kArchiveColumnCount; ++c) list_->setColumnWidth(c, widths[c]);
}

void ArchiveListWindow::centreOnOwner() {
  create();
  centreFrameOnOwner(*this);
}

void ArchiveListWindow::deleteAllRows() { model_->clear(); }

void ArchiveListWindow::appendRow(const ArchiveEntry& entry) { model_->append(entry); }

void ArchiveListWindow::setCaption(const std::string& caption) {
  setWindowTitle(QString::fromStdString(caption));
}

void ArchiveListWindow::showOrFocus() {
  if (isHidden()) {
    show();
  } else {
    raise();
    activateWindow();
  }
}

void ArchiveListWindow::activate() {
  raise();
  activateWindow();
}

void ArchiveListWindow::reject() {
  listOpen_ = false;
  hide();
}

void ArchiveListWindow::accept() {}

}  // namespace km8
