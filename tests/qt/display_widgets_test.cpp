#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFontInfo>
#include <QtTest/QTest>
#include <cmath>
#include <limits>
#include <map>

#include "controls/ui/caption_label_widget.h"
#include "controls/ui/color_ref.h"
#include "controls/ui/round_led_widget.h"
#include "controls/ui/segment_text.h"
#include "controls/ui/seven_segment_widget.h"
#include "qt/pixel_checks.h"

namespace km8 {
namespace {

using test::Count;
using test::Extent;
using test::Grab;

const QColor kQtLime(0, 255, 0);
const QColor kQtRed(255, 0, 0);
const QColor kQtBlack(0, 0, 0);

TEST(CaptionLabelWidget, ChannelCaptionIsLimeBoldTextOnBlack) {
  CaptionLabelWidget label;
  label.resize(30, 30);
  label.applyChannelCaptionLook();
  label.setCaption("3");
  EXPECT_EQ(label.caption(), "3");
  EXPECT_EQ(label.font().pixelSize(), 24);
  EXPECT_TRUE(label.font().bold());
  EXPECT_EQ(QFontInfo(label.font()).pixelSize(), 24);  // a real font, whatever its family

  QImage image = Grab(label);
  EXPECT_GT(Count(image, kQtLime), 20);
  EXPECT_TRUE(test::Is(image, 3, 15, kQtBlack));  // background inside the border
  EXPECT_FALSE(test::Is(image, 0, 0, kQtBlack));  // the lowered border's shadow
  const QRect centred = Extent(image, kQtLime);
  EXPECT_NEAR(centred.center().x(), 15, 2);

  label.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  EXPECT_LT(Extent(Grab(label), kQtLime).left(), centred.left());

  label.setCaption(" ");  // a disabled channel
  image = Grab(label);
  EXPECT_EQ(Count(image, kQtLime), 0);
  label.setBackgroundColor(kWhite);
  EXPECT_TRUE(test::Is(Grab(label), 15, 15, Qt::white));
}

TEST(RoundLedWidget, LitShowsTheActiveColourAtTheCentreAndOffADarkShade) {
  RoundLedWidget led;
  led.resize(30, 30);
  EXPECT_EQ(led.activeColor(), RoundLedWidget::kDefaultActiveColor);
  EXPECT_TRUE(test::Is(Grab(led), 15, 15, toQColor(led.inactiveColor())));
  led.setLit(true);
  EXPECT_TRUE(test::Is(Grab(led), 15, 15, toQColor(led.activeColor())));

  led.setActiveColor(8421631);  // the alarm LEDs' pink: red 255, green 128, blue 128
  EXPECT_TRUE(test::Is(Grab(led), 15, 15, QColor(255, 128, 128)));
  led.setLit(false);
  const QColor off(Grab(led).pixel(15, 15));
  EXPECT_NE(off.rgb(), QColor(255, 128, 128).rgb());
  EXPECT_LT(off.value(), 128);        // dark
  EXPECT_GT(off.red(), off.green());  // still a shade of the same colour
  EXPECT_EQ(off.rgb(), toQColor(led.inactiveColor()).rgb());

  led.resize(15, 15);  // the small transfer LED
  led.setActiveColor(kYellow);
  led.setLit(true);
  EXPECT_TRUE(test::Is(Grab(led), 7, 7, QColor(255, 255, 0)));
}

TEST(SegmentText, FormatsOneDecimalAndDashesWhatCannotBeShown) {
  EXPECT_EQ(formatSegmentValue(12.3, 1), "12.3");
  EXPECT_EQ(formatSegmentValue(-10000.0, 1), "-10000.0");
  EXPECT_EQ(formatSegmentValue(10000.0, 1), "10000.0");
  EXPECT_EQ(formatSegmentValue(-0.04, 1), "0.0");  // no negative zero
  EXPECT_EQ(formatSegmentValue(-0.06, 1), "-0.1");
  EXPECT_EQ(formatSegmentValue(7.0, 0), "7");
  EXPECT_EQ(formatSegmentValue(std::numeric_limits<double>::quiet_NaN(), 1), "----");
  EXPECT_EQ(formatSegmentValue(-std::numeric_limits<double>::infinity(), 1), "----");
  EXPECT_EQ(formatSegmentValue(1e300, 1), "----");
  EXPECT_EQ(formatSegmentValue(999999.96, 1), "----");  // rounds to seven digits
  EXPECT_EQ(formatSegmentValue(-999999.9, 1), "-999999.9");

  const auto cells = segmentCells("-1.5");
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_EQ(cells[0].segments, 0x40);  // middle bar only
  EXPECT_EQ(cells[1].segments, 0x06);
  EXPECT_TRUE(cells[1].point);
  EXPECT_FALSE(cells[2].point);
}

TEST(SevenSegmentWidget, DrawsTheValueInTheSegmentColour) {
  SevenSegmentWidget display;
  display.resize(84, 33);
  display.setSegmentColor(255);  // red as COLORREF
  display.setValue(12.3);
  const QImage a = Grab(display);
  display.setValue(45.6);
  const QImage b = Grab(display);
  EXPECT_EQ(display.displayText(), "45.6");
  EXPECT_GT(Count(a, kQtRed), 30);
  EXPECT_GT(Count(b, kQtRed), 30);
  EXPECT_NE(a, b);

  display.setSegmentColor(0);  // black: the same digits, no red
  const QImage black = Grab(display);
  EXPECT_EQ(Count(black, kQtRed), 0);
  EXPECT_EQ(Count(black, kQtBlack, display.contentsRect()), Count(b, kQtRed));
}

TEST(SevenSegmentWidget, MarkersAndUnshowableValuesStayInsideAndLegible) {
  SevenSegmentWidget display;
  display.resize(84, 33);
  display.setSegmentColor(255);
  display.setValue(1.0);
  const QRect shortExtent = Extent(Grab(display), kQtRed);
  const QRect inside = display.contentsRect();

  for (double marker : {-10000.0, 10000.0}) {
    display.setValue(marker);
    const QImage image = Grab(display);
    const QRect extent = Extent(image, kQtRed);
    EXPECT_TRUE(inside.contains(extent)) << marker;
    EXPECT_GT(extent.width(), 2 * shortExtent.width()) << marker;  // all digits drawn
    EXPECT_GE(extent.height(), 12) << marker;                      // still readable
  }
  EXPECT_EQ(display.displayText(), "10000.0");

  // NaN shows dashes: the middle bars only.
  display.setValue(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(display.displayText(), "----");
  const QRect dashes = Extent(Grab(display), kQtRed);
  ASSERT_FALSE(dashes.isNull());
  EXPECT_LT(dashes.height(), 8);
  EXPECT_NEAR(dashes.center().y(), inside.center().y(), 3);
  display.setValue(std::numeric_limits<double>::infinity());
  EXPECT_EQ(Extent(Grab(display), kQtRed), dashes);
}

// The poll cycle sets every value, colour and lamp on every reply; only a change
// may repaint, and a control that paints its whole rectangle must not make its
// parent repaint behind it.
class PaintCounter : public QObject {
 public:
  std::map<QObject*, int> paints;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints[watched];
    return false;
  }
};

TEST(DisplayControls, RepaintOnlyWhatChangedAndNotTheParentOfAnOpaqueOne) {
  QWidget parent;
  parent.resize(300, 60);
  auto* caption = new CaptionLabelWidget(&parent);
  caption->setGeometry(0, 0, 60, 40);
  caption->applyChannelCaptionLook();
  auto* led = new RoundLedWidget(&parent);
  led->setGeometry(70, 0, 20, 20);
  auto* value = new SevenSegmentWidget(&parent);
  value->setGeometry(100, 0, 84, 33);
  caption->setCaption("1");
  value->setValue(23.4);
  value->setSegmentColor(255);
  led->setLit(true);
  parent.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
  QCoreApplication::processEvents();

  PaintCounter counter;
  for (QObject* o : std::initializer_list<QObject*>{&parent, caption, led, value})
    o->installEventFilter(&counter);
  const auto settle = [&] {
    counter.paints.clear();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    return counter.paints;
  };

  // Everything as it already is, twice over.
  for (int i = 0; i < 2; ++i) {
    caption->setCaption("1");
    caption->setTextColor(kLime);
    value->setValue(23.4);
    value->setSegmentColor(255);
    value->setPrecision(1);
    led->setLit(true);
    led->setActiveColor(led->activeColor());
  }
  EXPECT_TRUE(settle().empty());
  value->setValue(std::nan(""));
  settle();
  value->setValue(std::nan(""));  // no value shown, still no change
  EXPECT_TRUE(settle().empty());

  const struct {
    const char* what;
    std::function<void()> change;
    QObject* painted;
    bool opaque;  // a round lamp leaves its corners to the parent
  } changes[] = {
      {"value", [&] { value->setValue(23.5); }, value, true},
      {"colour", [&] { value->setSegmentColor(0); }, value, true},
      {"caption", [&] { caption->setCaption(" "); }, caption, true},
      {"lamp", [&] { led->setLit(false); }, led, false},
  };
  for (const auto& c : changes) {
    c.change();
    const auto paints = settle();
    EXPECT_EQ(paints.count(c.painted), 1u) << c.what;
    if (c.opaque) {
      EXPECT_EQ(paints.count(&parent), 0u) << c.what << ": the parent repainted too";
    }
  }
}

}  // namespace
}  // namespace km8
