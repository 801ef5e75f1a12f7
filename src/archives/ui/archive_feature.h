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
#include "archives/ui/archives_dialog.h"
#include "res/message_box.h"

namespace km8 {

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
  void setFileChooser(ArchivesDialog::FileChooser chooser) {
    runner_.setFileChooser(std::move(chooser));
  }

 private:
  // The window's side, relayed while it exists.
  void deleteAllRows() override;
  void appendRow(const ArchiveEntry& entry) override;
  void setCaption(const std::string& caption) override;
  void showOrFocus() override;
  void activate() override;
  bool listOpen() const override;
  void setListOpen(bool open) override;

  QWidget& mainWindow_;
  SharedSettings& settings_;
  std::function<void()> saveSettings_;
  QPointer<ArchiveListWindow> window_;
  SystemArchiveClock clock_;
  ArchiveReading reading_;
  QtArchivesDialogRunner runner_;
};

}  // namespace km8
