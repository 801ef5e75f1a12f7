#include "controls/ui/chart_printer.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <string>

#include "controls/display_controls.h"

namespace km8 {

ChartPrinter::ChartPrinter() = default;
ChartPrinter::~ChartPrinter() = default;

QPrinter* ChartPrinter::printer() {
  if (!printer_) {
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer_->setPageOrientation(QPageLayout::Landscape);
    printer_->setPageMargins(QMarginsF(0.5, 0.5, 0.5, 0.5), QPageLayout::Inch);
  }
  return printer_.get();
}

void ChartPrinter::print(QWidget* dialogParent, const Render& render) {
  QPrinter* target = printer();
  if (showDialog_) {
    QPrintDialog dialog(target, dialogParent);
    if (dialog.exec() != QDialog::Accepted) return;
  }
  QPainter painter;
  if (!painter.begin(target)) {
    const QString name =
        target->outputFileName().isEmpty() ? target->printerName() : target->outputFileName();
    throw ControlError(name.isEmpty() ? std::string("No printer is available")
                                      : "Cannot print on " + name.toStdString());
  }
  render(painter, painter.viewport());
  if (!painter.end()) throw ControlError("Printing failed");
}

}  // namespace km8
