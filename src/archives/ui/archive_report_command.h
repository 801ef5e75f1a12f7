// "Звіт PDF…" from the archive list's menu: the file asked for with the usual save
// dialog, the report made with its progress shown (Cancel stops it), written whole
// through a replacement file and opened afterwards as the text export opens its file.
#pragma once

#include <QString>
#include <QWidget>

#include "archives/archive_report.h"
#include "archives/document_opener.h"
#include "archives/ui/archives_dialog.h"
#include "config/app_settings.h"
#include "res/message_box.h"

namespace km8 {

inline constexpr char kChartCommandText[] = "Графік архіву";
inline constexpr char kReportCommandText[] = "Звіт PDF…";

// The usual save dialog, which asks before replacing a file; nothing when cancelled.
std::optional<QString> UsualSaveDialog(QWidget* parent, const QString& initialName,
                                       const QString& filter);

class ArchiveReportCommand {
 public:
  // Everything given must outlive this object.
  ArchiveReportCommand(const SharedSettings& settings, MessageBoxHost& messages,
                       DocumentOpener& opener)
      : settings_(settings), messages_(messages), opener_(&opener) {}

  // Asks for the file (owned by `parent`) and writes the report of `facts` there.
  void run(QWidget* parent, const ArchiveReportFacts& facts);

  void setFileChooser(ArchivesDialog::FileChooser chooser) { chooseFile_ = std::move(chooser); }
  void setOpener(DocumentOpener& opener) { opener_ = &opener; }

 private:
  const SharedSettings& settings_;
  MessageBoxHost& messages_;
  DocumentOpener* opener_;
  ArchivesDialog::FileChooser chooseFile_ = &UsualSaveDialog;
  QString lastName_;  // offered again next time
  bool running_ = false;
};

}  // namespace km8
