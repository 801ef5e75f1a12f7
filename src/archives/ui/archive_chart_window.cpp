#include "archives/ui/archive_chart_window.h"

#include <QFileInfo>
#include <QVBoxLayout>

#include "archives/ui/archive_chart_widget.h"
#include "archives/ui/archive_list_model.h"
#include "archives/ui/archive_report_command.h"
#include "controls/display_controls.h"
#include "controls/ui/chart_picture.h"
#include "monitor/ui/chart_menu.h"

namespace km8 {

ArchiveChartWindow::ArchiveChartWindow(const ArchiveListModel& model, MessageBoxHost& messages,
                                       QWidget* parent)
    : QWidget(parent, Qt::Window), messages_(messages) {
  chart_ = new ArchiveChartWidget([&model] { return model.rows(); }, this);
  chart_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(chart_, &QWidget::customContextMenuRequested, this, &ArchiveChartWindow::openMenu);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(chart_);
  connect(&model, &QAbstractItemModel::rowsInserted, chart_, &ArchiveChartWidget::recordsChanged);
  connect(&model, &QAbstractItemModel::modelReset, chart_, &ArchiveChartWidget::recordsChanged);
  printer_.setShowDialog(true);
  chooseFile_ = &UsualSaveDialog;
  setInstrument(1);
}

void ArchiveChartWindow::setInstrument(unsigned instrument) {
  setWindowTitle(QString::fromUtf8(kChartCommandText) +
                 QStringLiteral(" (Прилад №%1)").arg(instrument));
}

void ArchiveChartWindow::showOrRaise() {
  show();
  raise();
  activateWindow();
}

void ArchiveChartWindow::openMenu(const QPoint& pos) {
  const int command =
      ChartMenu::choose(*this, {ChartMenu::kPrint, ChartMenu::kCopy, ChartMenu::kSavePicture},
                        chart_->mapToGlobal(pos));
  if (command != 0) runCommand(command);
}

void ArchiveChartWindow::runCommand(int command) {
  try {
    switch (command) {
      case ChartMenu::kPrint:
        print();
        break;
      case ChartMenu::kCopy:
        copyPictureToClipboard(chart_->renderPicture());
        break;
      case ChartMenu::kSavePicture:
        savePicture();
        break;
      default:
        break;
    }
  } catch (const ControlError& e) {
    messages_.showMessage({.text = e.what(),
                           .caption = ChartMenu::failureCaption(command),
                           .icon = MessageIcon::Error});
  }
}

void ArchiveChartWindow::print() {
  // Paper is white whatever the screen shows, as the strip chart prints; the screen is
  // black again afterwards, whatever the outcome.
  struct Restore {
    ArchiveChartWidget* chart;
    ~Restore() { chart->setBackground(kBlack); }
  } restore{chart_};
  chart_->setBackground(kWhite);
  printer_.print(this, [this](QPainter& painter, const QRect& target) {
    chart_->renderScaled(painter, target);
  });
}

void ArchiveChartWindow::savePicture() {
  const auto chosen = chooseFile_(this, QString(), QStringLiteral("PNG (*.png)"));
  if (!chosen || chosen->isEmpty()) return;
  QString path = *chosen;
  if (QFileInfo(path).suffix().compare(QLatin1String("png"), Qt::CaseInsensitive) != 0) {
    path += QLatin1String(".png");
  }
  savePictureAsPng(chart_->renderPicture(), path.toStdString());
}

}  // namespace km8
