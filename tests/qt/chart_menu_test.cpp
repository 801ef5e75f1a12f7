#include "monitor/ui/chart_menu.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/ui/station_features.h"
#include "controls/ui/strip_chart_widget.h"
#include "monitor/ui/main_window.h"
#include "qt/user_input.h"
#include "support/fake_link_mailbox.h"
#include "support/recording_strip_chart.h"
#include "support/scripted_message_host.h"

namespace km8 {
namespace {

class ChartMenuTest : public ::testing::Test {
 protected:
  ChartMenuTest()
      : window(mailbox, settings, messages, MainWindowCallbacks{}, StationFeatures::factory()) {
    window.show();
    chart = window.chart();
  }
  ~ChartMenuTest() override { window.done(0); }

  QString file(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

  QTemporaryDir dir;
  test::FakeLinkMailbox mailbox;
  SharedSettings settings;
  test::ScriptedMessageHost messages;
  MainWindow window;
  StripChartWidget* chart = nullptr;
};

TEST_F(ChartMenuTest, OnlyTheRightButtonOpensTheFourCommandsAndInvertWorksFromThere) {
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton, Qt::RightButton}) {
    QStringList items;  // texts and identifiers, "-" for a separator
    QTimer watch;       // answers a menu that shows up during the click
    QObject::connect(&watch, &QTimer::timeout, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (menu == nullptr) return;
      watch.stop();
      for (QAction* a : menu->actions()) {
        items << (a->isSeparator() ? QStringLiteral("-")
                                   : a->text() + ' ' + a->property(kControlIdProperty).toString());
      }
      QAction* invert = menu->actions().at(4);
      test::userClick(*menu, Qt::LeftButton, menu->actionGeometry(invert).center());
    });
    // As a user's click: whatever is on top at that point takes it.
    watch.start(10);
    test::userClick(*chart, button, QPoint(150, 100));
    QCoreApplication::processEvents();
    if (button != Qt::RightButton) {
      EXPECT_TRUE(items.isEmpty()) << button;
      continue;
    }
    EXPECT_EQ(items, (QStringList{"&Друк 1082", "-", "&Копiювати 1083", "-", "&Інвертувати 1118",
                                  "-", "&Зберегти малюнок як... 1084"}));
  }
  EXPECT_EQ(chart->look().outerBackground, kWhite);
  EXPECT_EQ(chart->look().plotBackground, kWhite);
  EXPECT_EQ(window.chartLogic().chartBackground(), kWhite);
}

TEST_F(ChartMenuTest, PrintGoesOnWhiteAndTheScreenIsBlackAgainAfter) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows shows its own print dialog, which no test can answer";
#endif
  const QString pdf = file("chart.pdf");
  chart->printer()->setOutputFormat(QPrinter::PdfFormat);
  chart->printer()->setOutputFileName(pdf);
  bool dialogShown = false, whileDialog = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    dialogShown = true;
    whileDialog = chart->look().outerBackground == kWhite &&
                  chart->look().plotBackground == kWhite && !chart->isRunning();
    dialog->accept();
  });
  window.chartMenu().runCommand(ChartMenu::kPrint);
  EXPECT_TRUE(dialogShown);
  EXPECT_TRUE(whileDialog);
  QFile printed(pdf);
  ASSERT_TRUE(printed.open(QIODevice::ReadOnly));
  EXPECT_EQ(printed.read(5), "%PDF-");
  EXPECT_EQ(chart->look().outerBackground, kBlack);
  EXPECT_EQ(chart->look().plotBackground, kBlack);
  EXPECT_TRUE(chart->isRunning());
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ChartMenuTest, SavePictureTakesTheFiltersExtensionAndRefusesOthersWithAMessage) {
  struct Case {
    const char* chosen;
    int filter;
    const char* written;  // nullptr: nothing, and the message
    const char* format;
  };
  for (const Case& c :
       {Case{"report", 0, "report.JPG", "jpeg"}, Case{"report", 1, "report.BMP", "bmp"},
        Case{"Chart.Jpg", 1, "Chart.Jpg", "jpeg"}, Case{"picture.png", 0, nullptr, nullptr},
        Case{"picture.jpeg", 0, nullptr, nullptr}}) {
    SCOPED_TRACE(c.chosen);
    messages.shown.clear();
    const QStringList before = QDir(dir.path()).entryList(QDir::Files);
    window.chartMenu().setPictureChooser([&] {
      return ChartMenu::PictureChoice{file(c.chosen), c.filter};
    });
    window.chartMenu().runCommand(ChartMenu::kSavePicture);
    EXPECT_TRUE(chart->isRunning());
    if (c.written == nullptr) {
      EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), before);
      ASSERT_EQ(messages.shown.size(), 1u);
      EXPECT_EQ(messages.shown[0].text, "Розширення файла має бути 'JPG' або 'BMP'");
      EXPECT_EQ(messages.shown[0].caption, "Збереження файлу");
      EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
      continue;
    }
    EXPECT_TRUE(messages.shown.empty());
    QImageReader reader(file(c.written));
    EXPECT_EQ(reader.format(), c.format);
    EXPECT_EQ(reader.read().size(), chart->size());
  }
}

// The running switch around the outputs, and where an output's error is told.
TEST(ChartMenuCommands, OutputsPauseUnlessInTheUsersViewAndReportErrorsByOperation) {
  struct Case {
    int command;
    int mode;
    const char* failOn;
    std::vector<std::string> calls;
    const char* caption;  // of the error box, if any
    bool runningInBox;
    ColorRef backgroundInBox;
  };
  const std::vector<Case> cases = {
      {ChartMenu::kCopy, 0, "", {"get mode", "stop", "copy", "run"}, nullptr, true, 0},
      {ChartMenu::kCopy, 4, "copy", {"get mode", "copy", "run"}, "Копiювання", true, 0},
      {ChartMenu::kSavePicture,
       0,
       "save bitmap",
       {"get mode", "stop", "save bitmap", "run"},
       "Збереження файлу",
       true,
       0},
      {ChartMenu::kPrint,
       4,
       "print",
       {"pre-print", "print setting", "get mode", "background", "print", "background", "run"},
       "Друк",
       true,
       kWhite},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    test::RecordingStripChart rec;
    rec.mode = c.mode;
    rec.failOn = c.failOn;
    PollItems items;
    SharedSettings settings;
    test::ScriptedMessageHost messages;
    StripChartLogic logic(rec, items, settings, messages);
    QWidget owner;
    ChartMenu menu(rec, logic, messages, owner);
    menu.setPictureChooser([] { return ChartMenu::PictureChoice{"/nowhere/chart.bmp", 0}; });
    bool running = false;
    ColorRef background = 1;
    messages.whileShown = [&](const Message&) {
      running = rec.running;
      background = rec.outerBackground;
    };
    menu.runCommand(c.command);
    EXPECT_EQ(rec.calls, c.calls);
    EXPECT_TRUE(rec.running);
    ASSERT_EQ(messages.shown.size(), c.caption != nullptr ? 1u : 0u);
    if (c.caption == nullptr) continue;
    EXPECT_EQ(messages.shown[0].caption, c.caption);
    EXPECT_EQ(messages.shown[0].text, std::string(c.failOn) + " failed");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(running, c.runningInBox);
    EXPECT_EQ(background, c.backgroundInBox);
  }
}

}  // namespace
}  // namespace km8
