#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cmath>
#include <map>

#include "app/ui/station_features.h"
#include "controls/ui/caption_label_widget.h"
#include "controls/ui/color_ref.h"
#include "controls/ui/round_led_widget.h"
#include "controls/ui/seven_segment_widget.h"
#include "controls/ui/strip_chart_widget.h"
#include "monitor/ui/main_window.h"
#include "qt/widget_text.h"
#include "res/dialog_template.h"
#include "res/ui/dialog_builder.h"
#include "support/fake_link_mailbox.h"
#include "support/scripted_message_host.h"

namespace km8 {
namespace {

using test::textOf;

// Pixels of a dialog unit measured here from the window's font, independently of the
// builder: average letter width and font height, MulDiv rounding.
struct Units {
  explicit Units(const QFont& font) {
    const QFontMetrics m(font);
    const int letters =
        m.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX = static_cast<int>(std::lround(letters / 52.0));
    baseY = m.height();
  }
  int px(int du) const { return static_cast<int>(std::lround(du * baseX / 4.0)); }
  int py(int du) const { return static_cast<int>(std::lround(du * baseY / 8.0)); }
  QRect rect(const ControlTemplate& c) const {
    return {px(c.x), py(c.y), px(c.width), py(c.height)};
  }
  int baseX = 0;
  int baseY = 0;
};

// Whether the widget is of the kind the template asks for.
bool hasKind(QWidget* w, ControlKind kind) {
  switch (kind) {
    case ControlKind::Static:
      return qobject_cast<QLabel*>(w) != nullptr;
    case ControlKind::GroupBox:
      return qobject_cast<QGroupBox*>(w) != nullptr;
    case ControlKind::PushButton: {
      auto* b = qobject_cast<QPushButton*>(w);
      return b != nullptr && !b->isDefault() && !b->autoDefault();
    }
    case ControlKind::RadioButton:
      return qobject_cast<QRadioButton*>(w) != nullptr;
    case ControlKind::CaptionLabel:
      return qobject_cast<CaptionLabelWidget*>(w) != nullptr;
    case ControlKind::RoundLed:
      return qobject_cast<RoundLedWidget*>(w) != nullptr;
    case ControlKind::SevenSegment:
      return qobject_cast<SevenSegmentWidget*>(w) != nullptr;
    case ControlKind::StripChart:
      return qobject_cast<StripChartWidget*>(w) != nullptr;
    default:
      return false;  // template 102 has no other kinds
  }
}

class MainWindowTemplateTest : public ::testing::Test {
 protected:
  MainWindow& window(std::uint8_t graphChannel = 8) {
    settings.set(&AppSettings::GraphChannel, graphChannel);
    window_ = std::make_unique<MainWindow>(mailbox, settings, messages, MainWindowCallbacks{},
                                           StationFeatures::factory());
    return *window_;
  }

  // The window's controls in creation order, found by their identifier property alone.
  static std::vector<QWidget*> taggedControls(QWidget& w) {
    std::vector<QWidget*> out;
    for (QObject* child : w.children()) {
      auto* widget = qobject_cast<QWidget*>(child);
      if (widget != nullptr && widget->property(kControlIdProperty).isValid()) {
        out.push_back(widget);
      }
    }
    return out;
  }

  static QWidget* byId(QWidget& w, int id) {
    for (QWidget* c : taggedControls(w)) {
      if (c->property(kControlIdProperty).toInt() == id) return c;
    }
    return nullptr;
  }

  test::FakeLinkMailbox mailbox;
  SharedSettings settings;
  test::ScriptedMessageHost messages;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTemplateTest, EveryControlHasItsIdentifierKindTextAndPlace) {
  MainWindow& w = window();
  const DialogTemplate& t = MainWindowTemplate();
  const Units units(w.font());
  ASSERT_GE(units.baseX, 4);  // a real font was found
  ASSERT_GE(units.baseY, 8);

  const std::vector<QWidget*> controls = taggedControls(w);
  ASSERT_EQ(controls.size(), t.controls.size());
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const ControlTemplate& c = t.controls[i];
    QWidget* widget = controls[i];
    SCOPED_TRACE(testing::Message() << "control " << c.id << " (" << i << ")");
    EXPECT_EQ(widget->property(kControlIdProperty).toInt(), c.id);
    EXPECT_TRUE(hasKind(widget, c.kind)) << widget->metaObject()->className();
    EXPECT_EQ(textOf(widget), QString::fromUtf8(c.text));
    EXPECT_EQ(widget->geometry(), units.rect(c));
    EXPECT_EQ(widget->isHidden(), (c.flags & kHidden) != 0);
  }
  // Identifiers the code uses are unique.
  std::map<int, int> seen;
  for (QWidget* c : controls) ++seen[c->property(kControlIdProperty).toInt()];
  for (const auto& [id, count] : seen) {
    if (id != kStaticId) {
      EXPECT_EQ(count, 1) << id;
    }
  }
  EXPECT_EQ(seen.size(), 55u);  // 54 identified controls and the unnamed ones
}

TEST_F(MainWindowTemplateTest, WindowIsAFixedSizeDialogWithoutMaximiseBox) {
  MainWindow& w = window();
  const Units units(w.font());
  EXPECT_EQ(w.windowTitle(), "KM-8");
  EXPECT_EQ(w.font().pointSize(), 8);
  EXPECT_TRUE(QFontInfo(w.font()).exactMatch() ||
              QFontInfo(w.font()).styleHint() == QFont::SansSerif ||
              w.font().styleHint() == QFont::SansSerif);
  const QSize expected(units.px(450), units.py(279));
  EXPECT_EQ(w.size(), expected);
  EXPECT_EQ(w.minimumSize(), expected);
  EXPECT_EQ(w.maximumSize(), expected);

  const Qt::WindowFlags flags = w.windowFlags();
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(w.windowIcon().isNull());
  EXPECT_FALSE(w.windowIcon().pixmap(16, 16).isNull());

  w.show();
  w.resize(expected * 2);  // the frame cannot enlarge it either
  EXPECT_EQ(w.size(), expected);
  w.done(0);
}

TEST_F(MainWindowTemplateTest, DisplayControlsStartWithTheirTemplateLook) {
  MainWindow& w = window();
  const int labels[] = {1001, 1008, 1009, 1010, 1011, 1012, 1014, 1015};
  const int values[] = {1000, 1016, 1017, 1019, 1020, 1021, 1022, 1023};
  for (int i = 0; i < 8; ++i) {
    auto* label = qobject_cast<CaptionLabelWidget*>(byId(w, labels[i]));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->caption(), QString::number(i + 1));
    EXPECT_EQ(label->textColor(), kLime);
    EXPECT_EQ(label->backgroundColor(), kBlack);
    EXPECT_EQ(label->border(), CaptionLabelWidget::Border::Lowered);
    EXPECT_EQ(label->alignment(), Qt::AlignCenter);
    EXPECT_TRUE(label->font().bold());
    EXPECT_EQ(label->font().pixelSize(), 24);

    auto* value = qobject_cast<SevenSegmentWidget*>(byId(w, values[i]));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->segmentColor(), kBlack);
    EXPECT_EQ(value->precision(), 1);
    EXPECT_EQ(value->frameShadow(), QFrame::Sunken);

    auto* regulation = qobject_cast<RoundLedWidget*>(byId(w, 1024 + i));
    ASSERT_NE(regulation, nullptr);
    EXPECT_EQ(regulation->activeColor(), RoundLedWidget::kDefaultActiveColor);
    EXPECT_FALSE(regulation->isLit());
    auto* alarm = qobject_cast<RoundLedWidget*>(byId(w, 1074 + i));
    ASSERT_NE(alarm, nullptr);
    EXPECT_EQ(alarm->activeColor(), 8421631u);
    EXPECT_EQ(toQColor(alarm->activeColor()), QColor(255, 128, 128));
  }
  const std::map<int, ColorRef> statusColours = {
      {1063, kRed}, {1066, 8388863}, {1067, 8388863}, {1068, 8388863}, {1069, kYellow}};
  for (const auto& [id, colour] : statusColours) {
    auto* led = qobject_cast<RoundLedWidget*>(byId(w, id));
    ASSERT_NE(led, nullptr) << id;
    EXPECT_EQ(led->activeColor(), colour) << id;
    EXPECT_FALSE(led->isLit()) << id;
  }
  EXPECT_EQ(toQColor(8388863), QColor(255, 0, 128));
}

TEST_F(MainWindowTemplateTest, RadioGroupIsOneExclusiveGroupOfNineFollowingGraphChannel) {
  const int order[] = {1033, 1034, 1035, 1036, 1037, 1038, 1039, 1040, 1124};
  for (std::uint8_t graphChannel : {0, 3, 7, 8, 200}) {
    SCOPED_TRACE(int{graphChannel});
    MainWindow& w = window(graphChannel);
    QButtonGroup* group = w.chartChannelGroup();
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->exclusive());
    ASSERT_EQ(group->buttons().size(), 9);
    for (int index = 0; index < 9; ++index) {
      EXPECT_EQ(group->button(index)->property(kControlIdProperty).toInt(), order[index]);
    }
    const int expected = graphChannel > 8 ? 8 : graphChannel;
    EXPECT_EQ(group->checkedId(), expected);
    EXPECT_EQ(w.logic().items().chartChannel, expected);
    EXPECT_EQ(w.controls().radioGroups.size(), 1u);
  }
}

TEST_F(MainWindowTemplateTest, ClickingARadioButtonSelectsItsChannel) {
  MainWindow& w = window(8);
  qobject_cast<QRadioButton*>(byId(w, 1035))->click();
  EXPECT_EQ(w.chartChannelGroup()->checkedId(), 2);
  EXPECT_EQ(w.logic().items().chartChannel, 2);
  EXPECT_EQ(settings.get(&AppSettings::GraphChannel), 2);

  qobject_cast<QRadioButton*>(byId(w, 1124))->click();
  EXPECT_EQ(w.logic().items().chartChannel, 8);
  EXPECT_EQ(settings.get(&AppSettings::GraphChannel), 8);
  EXPECT_FALSE(qobject_cast<QRadioButton*>(byId(w, 1035))->isChecked());
}

TEST_F(MainWindowTemplateTest, CommandButtonsReportTheirIdentifierAndNothingElse) {
  MainWindow& w = window();
  std::vector<int> commands;
  QObject::connect(&w, &MainWindow::commandRequested, [&](int id) { commands.push_back(id); });
  // A command that opens a dialog is left at once.
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [] {
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
  });
  closer.start(0);
  for (int id : {1053, 1041, 1042, 1101}) qobject_cast<QPushButton*>(byId(w, id))->click();
  EXPECT_EQ(commands, (std::vector<int>{1053, 1041, 1042, 1101}));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(mailbox.submitted().empty());
}

}  // namespace
}  // namespace km8
