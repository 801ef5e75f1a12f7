// The strip chart's right-button menu and its four commands: print, copy, invert the
// background, and save the chart as a JPEG or BMP picture.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>
#include <initializer_list>
#include <optional>

#include "controls/display_controls.h"
#include "monitor/strip_chart_logic.h"
#include "res/message_box.h"

class QMenu;
class QWidget;

namespace km8 {

// The message for a chosen picture name whose extension is neither JPG nor BMP.
Message pictureExtensionNotice();

class ChartMenu : public QObject {
  Q_OBJECT

 public:
  static constexpr int kPrint = 1082;
  static constexpr int kCopy = 1083;
  static constexpr int kInvert = 1118;
  static constexpr int kSavePicture = 1084;
  static constexpr int kRightButton = 2;

  // The name chosen in the save dialog and the filter selected there (0 JPEG, 1 Bitmap).
  struct PictureChoice {
    QString path;
    int filterIndex = 0;
  };
  using PictureChooser = std::function<std::optional<PictureChoice>()>;

  // `owner` receives the menu's commands and owns the menu, the file dialog and the
  // message boxes.
  ChartMenu(StripChart& chart, StripChartLogic& logic, MessageBoxHost& messages, QWidget& owner);

  // A menu of some of the four commands, in the given order, with the items' own texts
  // and separators, owned by `owner`: the command chosen, 0 for none. Other charts offer
  // their print, copy and save through it.
  static int choose(QWidget& owner, std::initializer_list<int> commands, const QPoint& globalPos);
  // The caption of the box that reports a failed print, copy or save.
  static const char* failureCaption(int command);

  // The chart's mouse event: the right button opens the menu at the mouse cursor.
  void onChartMouse(int button);
  void open(const QPoint& globalPos);
  void runCommand(int commandId);

  // Tests choose the picture's name without the dialog.
  void setPictureChooser(PictureChooser chooser) { chooser_ = std::move(chooser); }

 private:
  void print();
  void copy();
  void invert();
  void savePicture();
  void pauseUnlessUserView();
  void resumeRunning();
  void report(const ControlError& error, const char* caption);
  std::optional<PictureChoice> choosePicture();

  StripChart& chart_;
  StripChartLogic& logic_;
  MessageBoxHost& messages_;
  QWidget& owner_;
  PictureChooser chooser_;
};

}  // namespace km8
