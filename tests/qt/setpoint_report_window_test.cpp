#include "setpoints/ui/setpoint_report_window.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QTest>
#include <cmath>

#include "res/setpoint_report_template.h"

namespace km8 {
namespace {

class ReportWindowTest : public ::testing::Test {
 protected:
  ReportWindowTest() : window(&owner, [this] { ++closes; }) {}

  QWidget owner;
  int closes = 0;
  SetpointReportWindow window;
};

TEST_F(ReportWindowTest, TemplateGivesOneReadOnlySelectableEditFillingTheWindow) {
  const QFontMetrics m(window.font());
  const double baseX = std::lround(
      m.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0);
  const auto px = [&](int du) { return static_cast<int>(std::lround(du * baseX / 4.0)); };
  const auto py = [&](int du) { return static_cast<int>(std::lround(du * m.height() / 8.0)); };
  EXPECT_EQ(window.size(), QSize(px(237), py(87)));
  EXPECT_EQ(window.textEdit()->geometry(), QRect(px(5), py(5), px(227), py(76)));
  EXPECT_EQ(window.textEdit()->property("controlId").toInt(), 1054);
  EXPECT_TRUE(window.windowTitle().isEmpty());
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(window.textEdit()->isReadOnly());
  EXPECT_TRUE(window.textEdit()->textInteractionFlags() & Qt::TextSelectableByKeyboard);
  EXPECT_EQ(window.textEdit()->lineWrapMode(), QPlainTextEdit::NoWrap);

  // CR LF ends a line; the edit shows it as a line break.
  window.setText("a\r\nb\r\n");
  EXPECT_EQ(window.textEdit()->toPlainText(), "a\nb\n");
  EXPECT_EQ(window.textEdit()->document()->blockCount(), 3);

  // A larger window keeps the edit filling it.
  window.showWindow();
  window.resize(window.size() + QSize(100, 200));
  EXPECT_EQ(window.textEdit()->size(), QSize(px(227) + 100, py(76) + 200));
}

TEST_F(ReportWindowTest, ClosingHidesItAndItComesBackWithItsSizeAndPlace) {
  window.showWindow();
  window.resize(600, 500);
  window.move(40, 30);
  const QRect placed = window.geometry();
  QTest::keyClick(&window, Qt::Key_Return);  // Enter does nothing
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(closes, 0);
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(closes, 1);
  window.showWindow();
  EXPECT_EQ(window.geometry(), placed);
  window.close();  // the close box
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(closes, 2);
}

}  // namespace
}  // namespace km8
