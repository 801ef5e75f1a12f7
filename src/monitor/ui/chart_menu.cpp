#include "monitor/ui/chart_menu.h"

#include <QAction>
#include <QCursor>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <algorithm>

#include "res/ui/dialog_builder.h"

namespace km8 {
namespace {

struct MenuItem {
  int id;
  const char* text;
};

constexpr MenuItem kItems[] = {{ChartMenu::kPrint, "&Друк"},
                               {ChartMenu::kCopy, "&Копiювати"},
                               {ChartMenu::kInvert, "&Інвертувати"},
                               {ChartMenu::kSavePicture, "&Зберегти малюнок як..."}};

constexpr char kPrintCaption[] = "Друк";
constexpr char kCopyCaption[] = "Копiювання";
constexpr char kSaveCaption[] = "Збереження файлу";

// The extension each filter entry gives a name chosen without one.
constexpr const char* kFilterExtensions[] = {"JPG", "BMP"};

}  // namespace

Message pictureExtensionNotice() {
  return {.text = "Розширення файла має бути 'JPG' або 'BMP'",
          .caption = kSaveCaption,
          .icon = MessageIcon::Warning};
}

ChartMenu::ChartMenu(StripChart& chart, StripChartLogic& logic, MessageBoxHost& messages,
                     QWidget& owner)
    : QObject(&owner), chart_(chart), logic_(logic), messages_(messages), owner_(owner) {}

void ChartMenu::onChartMouse(int button) {
  if (button == kRightButton) open(QCursor::pos());
}

int ChartMenu::choose(QWidget& owner, std::initializer_list<int> commands,
                      const QPoint& globalPos) {
  QPointer<QMenu> menu = new QMenu(&owner);
  for (int id : commands) {
    const auto* item = std::find_if(std::begin(kItems), std::end(kItems),
                                    [id](const MenuItem& m) { return m.id == id; });
    if (item == std::end(kItems)) continue;
    if (!menu->isEmpty()) menu->addSeparator();
    QAction* action = menu->addAction(QString::fromUtf8(item->text));
    action->setProperty(kControlIdProperty, item->id);
  }
  const QAction* chosen = menu->exec(globalPos);
  const int command = chosen != nullptr ? chosen->property(kControlIdProperty).toInt() : 0;
  delete menu;
  return command;
}

const char* ChartMenu::failureCaption(int command) {
  switch (command) {
    case kPrint:
      return kPrintCaption;
    case kCopy:
      return kCopyCaption;
    default:
      return kSaveCaption;
  }
}

void ChartMenu::open(const QPoint& globalPos) {
  // Either button chooses an item; the command runs once the menu is gone, unless the
  // window went with it.
  const QPointer<ChartMenu> self(this);
  const int command = choose(owner_, {kPrint, kCopy, kInvert, kSavePicture}, globalPos);
  if (self && command != 0) runCommand(command);
}

void ChartMenu::runCommand(int commandId) {
  switch (commandId) {
    case kPrint:
      print();
      break;
    case kCopy:
      copy();
      break;
    case kInvert:
      invert();
      break;
    case kSavePicture:
      savePicture();
      break;
    default:
      break;
  }
}

void ChartMenu::pauseUnlessUserView() {
  if (chart_.interactionMode() != StripChartLogic::kUserViewMode) chart_.setRunning(false);
}

void ChartMenu::resumeRunning() {
  try {
    chart_.setRunning(true);
  } catch (const ControlError&) {
  }
}

void ChartMenu::report(const ControlError& error, const char* caption) {
  messages_.showMessage({.text = error.what(), .caption = caption, .icon = MessageIcon::Error});
}

void ChartMenu::print() {
  try {
    chart_.prePrint();
    chart_.setPrintSetting(true);
    pauseUnlessUserView();
    // Paper is white whatever the screen shows.
    chart_.setBackgroundColors(kWhite, kWhite);
    chart_.print();
  } catch (const ControlError& e) {
    report(e, kPrintCaption);
  }
  try {
    chart_.setBackgroundColors(logic_.chartBackground(), logic_.chartBackground());
  } catch (const ControlError&) {
  }
  resumeRunning();
}

void ChartMenu::copy() {
  try {
    pauseUnlessUserView();
    chart_.copyToClipboard();
  } catch (const ControlError& e) {
    resumeRunning();
    report(e, kCopyCaption);
    return;
  }
  resumeRunning();
}

void ChartMenu::invert() {
  const ColorRef background = logic_.invertChartBackground();
  try {
    chart_.setBackgroundColors(background, background);
  } catch (const ControlError& e) {
    messages_.showMessage(chartUpdateFailure(e.what()));
  }
}

std::optional<ChartMenu::PictureChoice> ChartMenu::choosePicture() {
  if (chooser_) return chooser_();
  const QStringList filters = {QStringLiteral("JPEG (*.jpg)"), QStringLiteral("Bitmap (*.bmp)")};
  QString selected = filters.front();
  const QString path = QFileDialog::getSaveFileName(&owner_, QString(), QString(),
                                                    filters.join(QStringLiteral(";;")), &selected,
                                                    QFileDialog::DontConfirmOverwrite);
  if (path.isEmpty()) return std::nullopt;
  return PictureChoice{path, static_cast<int>(std::max<qsizetype>(filters.indexOf(selected), 0))};
}

void ChartMenu::savePicture() {
  const std::optional<PictureChoice> choice = choosePicture();
  if (!choice || choice->path.isEmpty()) return;
  QString path = choice->path;
  QString extension = QFileInfo(path).suffix().toUpper();
  if (extension.isEmpty()) {
    extension = QString::fromLatin1(kFilterExtensions[choice->filterIndex == 1 ? 1 : 0]);
    path += QLatin1Char('.') + extension;
  }
  if (extension != QLatin1String("JPG") && extension != QLatin1String("BMP")) {
    // Saving nothing without a word would look like success.
    messages_.showMessage(pictureExtensionNotice());
    return;
  }
  try {
    pauseUnlessUserView();
    if (extension == QLatin1String("JPG")) {
      chart_.saveJpeg(path.toStdString(), 100, false);
    } else {
      chart_.saveBitmap(path.toStdString());
    }
  } catch (const ControlError& e) {
    resumeRunning();
    report(e, kSaveCaption);
    return;
  }
  resumeRunning();
}

}  // namespace km8
