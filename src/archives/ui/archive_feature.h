// The archives as the main window hosts them: the reading attached to the poll cycle,
// the list window created with the other feature windows, and the "Архіви" command.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "archives/archive_clock.h"
#include "archives/archive_list_view.h"
#include "archives/archive_reading.h"
#include "archives/ui/archive_report_command.h"
#include "archives/ui/archives_dialog.h"
#include "archives/ui/desktop_document_opener.h"
#include "res/message_box.h"

namespace km8 {

class ArchiveChartWindow;
class ArchiveListWindow;

class ArchiveFeature final : private ArchiveListView {
 public:
  // `mainWindow` owns the list window; everything given must outlive this object.
  ArchiveFeature(QWidget& mainWindow, MainWindowFront& front, PollCycle& poll,
                 SharedSettings& settings, MessageBoxHost& messages,
                 std::function<void()> saveSettings);
  ~ArchiveFeature() override;
  ArchiveFeature(const ArchiveFeature&) = delete;
  ArchiveFeature& operator=(const ArchiveFeature&) = delete;

  ArchiveReading& reading() { return reading_; }
  void attachExports(ArchiveExports& exports) { reading_.attachExports(exports); }

  // The main window's feature windows: created once, hidden; centred; destroyed.
  bool createListWindow();
  void centreListWindow();
  void destroyListWindow();
  ArchiveListWindow* listWindow() const;

  // Button 1041.
  void runArchivesCommand();

  // The list's right-button menu: the chart of the records listed, their batch report.
  void showChart();
  void writeReport();
  ArchiveChartWindow* chartWindow() const;

  // Every file choice of the archives (the exports', the report's, the chart picture's)
  // and the report's opening afterwards, for tests.
  void setFileChooser(ArchivesDialog::FileChooser chooser);
  void setReportOpener(DocumentOpener& opener) { report_.setOpener(opener); }

 private:
  // The window's side, relayed while it exists.
  void deleteAllRows() override;
  void appendRow(const ArchiveEntry& entry) override;
  void setCaption(const std::string& caption) override;
  void showOrFocus() override;
  void activate() override;
  bool listOpen() const override;
  void setListOpen(bool open) override;

  void openListMenu(const QPoint& pos);

  QWidget& mainWindow_;
  PollCycle& poll_;
  SharedSettings& settings_;
  MessageBoxHost& messages_;
  std::function<void()> saveSettings_;
  QPointer<ArchiveListWindow> window_;
  QPointer<ArchiveChartWindow> chart_;
  SystemArchiveClock clock_;
  ArchiveReading reading_;
  QtArchivesDialogRunner runner_;
  DesktopDocumentOpener opener_;
  ArchiveReportCommand report_;
  ArchivesDialog::FileChooser chooser_;  // empty: the usual dialogs
};

}  // namespace km8
