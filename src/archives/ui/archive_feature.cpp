#include "archives/ui/archive_feature.h"

#include <QMenu>
#include <QSysInfo>
#include <QTableView>
#include <vector>

#include "archives/ui/archive_chart_window.h"
#include "archives/ui/archive_list_model.h"
#include "archives/ui/archive_list_window.h"

namespace km8 {

ArchiveFeature::ArchiveFeature(QWidget& mainWindow, MainWindowFront& front, PollCycle& poll,
                               SharedSettings& settings, MessageBoxHost& messages,
                               std::function<void()> saveSettings)
    : mainWindow_(mainWindow),
      poll_(poll),
      settings_(settings),
      messages_(messages),
      saveSettings_(std::move(saveSettings)),
      reading_(settings, poll, front, *this, clock_),
      runner_(messages, &mainWindow),
      opener_(&mainWindow),
      report_(settings, messages, opener_) {}

ArchiveFeature::~ArchiveFeature() { destroyListWindow(); }

bool ArchiveFeature::createListWindow() {
  if (!window_) {
    window_ = new ArchiveListWindow(&mainWindow_);
    QTableView* list = window_->list();
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(list, &QWidget::customContextMenuRequested, window_,
                     [this](const QPoint& pos) { openListMenu(pos); });
  }
  return window_ != nullptr;
}

void ArchiveFeature::centreListWindow() {
  if (window_) window_->centreOnOwner();
}

void ArchiveFeature::destroyListWindow() {
  delete chart_.data();  // it draws the list's rows
  delete window_.data();
}

ArchiveListWindow* ArchiveFeature::listWindow() const { return window_.data(); }

ArchiveChartWindow* ArchiveFeature::chartWindow() const { return chart_.data(); }

void ArchiveFeature::runArchivesCommand() {
  RunArchivesCommand(settings_, runner_, saveSettings_, reading_);
}

void ArchiveFeature::setFileChooser(ArchivesDialog::FileChooser chooser) {
  chooser_ = chooser;
  runner_.setFileChooser(chooser);
  report_.setFileChooser(chooser);
  if (chart_) chart_->setFileChooser(std::move(chooser));
}

void ArchiveFeature::openListMenu(const QPoint& pos) {
  const QPointer<ArchiveListWindow> window = window_;
  QPointer<QMenu> menu = new QMenu(window);
  const QAction* chart = menu->addAction(QString::fromUtf8(kChartCommandText));
  QAction* report = menu->addAction(QString::fromUtf8(kReportCommandText));
  report->setEnabled(!window->model()->rows().empty());
  const QAction* chosen = menu->exec(window->list()->viewport()->mapToGlobal(pos));
  const bool chartChosen = chosen != nullptr && chosen == chart;
  const bool reportChosen = chosen != nullptr && chosen == report;
  delete menu;
  // The command runs once the menu is gone, unless the window went with it.
  if (!window) return;
  if (chartChosen) showChart();
  if (reportChosen) writeReport();
}

void ArchiveFeature::showChart() {
  if (!window_) return;
  if (!chart_) {
    chart_ = new ArchiveChartWindow(*window_->model(), messages_, &mainWindow_);
    if (chooser_) chart_->setFileChooser(chooser_);
  }
  chart_->setInstrument(reading_.deviceId());
  chart_->showOrRaise();
}

void ArchiveFeature::writeReport() {
  if (!window_) return;
  // A copy: the reading may go on, or start again, while the report is written.
  const std::span<const ArchiveEntry> listed = window_->model()->rows();
  const std::vector<ArchiveEntry> rows(listed.begin(), listed.end());
  ArchiveReportFacts facts;
  facts.station = settings_.get(&AppSettings::StationName);
  if (facts.station.empty()) facts.station = QSysInfo::machineHostName().toStdString();
  facts.instrument = reading_.deviceId();
  facts.madeAt = clock_.toLocal(clock_.now());
  facts.entries = rows;
  const PollItems& items = poll_.items();
  for (std::size_t c = 0; c < facts.limits.size(); ++c) {
    if (items.limitsRead[c]) facts.limits[c] = items.limits[c];
  }
  report_.run(window_, facts);
}

void ArchiveFeature::deleteAllRows() {
  if (window_) window_->deleteAllRows();
  // A new reading: the chart takes its instrument's number.
  if (chart_) chart_->setInstrument(reading_.deviceId());
}

void ArchiveFeature::appendRow(const ArchiveEntry& entry) {
  if (window_) window_->appendRow(entry);
}

void ArchiveFeature::setCaption(const std::string& caption) {
  if (window_) window_->setCaption(caption);
}

void ArchiveFeature::showOrFocus() {
  if (window_) window_->showOrFocus();
}

void ArchiveFeature::activate() {
  if (window_) window_->activate();
}

bool ArchiveFeature::listOpen() const { return window_ && window_->listOpen(); }

void ArchiveFeature::setListOpen(bool open) {
  if (window_) window_->setListOpen(open);
}

}  // namespace km8
