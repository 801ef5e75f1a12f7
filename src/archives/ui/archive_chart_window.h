// The window "Графік архіву (Прилад №N)": the chart of the archive list's records, kept
// up with the list as rows arrive, with the strip chart's print, copy and save (as PNG)
// on its right button.
#pragma once

#include <QWidget>

#include "archives/ui/archives_dialog.h"
#include "controls/ui/chart_printer.h"
#include "res/message_box.h"

class QPrinter;

namespace km8 {

class ArchiveChartWidget;
class ArchiveListModel;

class ArchiveChartWindow final : public QWidget {
  Q_OBJECT

 public:
  // `model` must outlive the window; `parent` keeps it above itself and destroys it.
  ArchiveChartWindow(const ArchiveListModel& model, MessageBoxHost& messages, QWidget* parent);

  void setInstrument(unsigned instrument);  // the caption's number
  void showOrRaise();
  // ChartMenu::kPrint, kCopy or kSavePicture, as chosen on the chart's right button.
  void runCommand(int command);
  void setFileChooser(ArchivesDialog::FileChooser chooser) { chooseFile_ = std::move(chooser); }

  ArchiveChartWidget* chart() const { return chart_; }
  QPrinter* printer() { return printer_.printer(); }  // prepared on first use

 private:
  void openMenu(const QPoint& pos);
  void print();
  void savePicture();

  MessageBoxHost& messages_;
  ArchiveChartWidget* chart_ = nullptr;
  ChartPrinter printer_;
  ArchivesDialog::FileChooser chooseFile_;
};

}  // namespace km8
