#include "archives/ui/archive_report_command.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <stdexcept>
#include <string_view>

#include "archives/prompted_file_write.h"
#include "archives/ui/archive_report_pdf.h"

namespace km8 {

std::optional<QString> UsualSaveDialog(QWidget* parent, const QString& initialName,
                                       const QString& filter) {
  const QString chosen = QFileDialog::getSaveFileName(parent, QString(), initialName, filter);
  if (chosen.isEmpty()) return std::nullopt;
  return chosen;
}

void ArchiveReportCommand::run(QWidget* parent, const ArchiveReportFacts& facts) {
  if (running_) return;  // the progress box's loop could bring the menu back
  running_ = true;
  struct Done {
    bool& running;
    ~Done() { running = false; }
  } done{running_};

  QString initial = lastName_;
  if (initial.isEmpty()) {
    // Beside the text file, as "Archives.pdf".
    const QFileInfo text(QString::fromStdString(settings_.get(&AppSettings::TextFileName)));
    initial = text.dir().filePath(text.completeBaseName() + QLatin1String(".pdf"));
  }
  const auto chosen = chooseFile_(parent, initial, QStringLiteral("PDF (*.pdf)"));
  if (!chosen || chosen->isEmpty()) return;
  QString path = QDir::toNativeSeparators(QFileInfo(*chosen).absoluteFilePath());
  if (QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0) {
    path += QLatin1String(".pdf");
  }
  lastName_ = path;
  const std::string name = path.toStdString();

  QProgressDialog progress(parent);
  progress.setWindowTitle(QString::fromUtf8(kReportCommandText));
  progress.setLabelText(path);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(300);
  progress.setAutoReset(false);
  std::optional<QByteArray> pdf;
  try {
    pdf = ArchiveReportPdf(facts, [&progress](int pagesDone, int pages) {
      progress.setMaximum(pages);
      progress.setValue(pagesDone);
      return !progress.wasCanceled();
    });
  } catch (const std::runtime_error&) {
    Message failed = FileWriteFailedMessage(name, kReportCommandText);
    failed.buttons = MessageButtons::Ok;
    messages_.showMessage(failed);
    return;
  }
  progress.close();
  if (!pdf) return;

  const auto file = MakeReplacementFile();
  const PromptedFileWrite prompts{
      .messages = messages_, .caption = kReportCommandText, .beforePrompt = {}};
  if (!WriteFileWithPrompts(*file, name, std::string_view(pdf->constData(), pdf->size()),
                            prompts)) {
    return;
  }
  if (settings_.get(&AppSettings::TextAutoOpen) != 0) opener_->openDocument(name);
}

}  // namespace km8
