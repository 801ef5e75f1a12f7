// The strip chart's printing: the printer kept between prints (on first use the default
// printer, landscape, half-inch margins; later what the print dialog chose) and the print
// dialog shown first when the print setting asks for it.
#pragma once

#include <QRect>
#include <functional>
#include <memory>

class QPainter;
class QPrinter;
class QWidget;

namespace km8 {

class ChartPrinter {
 public:
  using Render = std::function<void(QPainter& painter, const QRect& target)>;

  ChartPrinter();
  ~ChartPrinter();

  QPrinter* printer();  // prepared on first use
  void setShowDialog(bool show) { showDialog_ = show; }
  bool showDialog() const { return showDialog_; }

  // Renders into the printer's page. A cancelled dialog prints nothing and is no error;
  // a printer that cannot be used throws ControlError.
  void print(QWidget* dialogParent, const Render& render);

 private:
  std::unique_ptr<QPrinter> printer_;
  bool showDialog_ = false;
};

}  // namespace km8
