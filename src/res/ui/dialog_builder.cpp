#include "res/ui/dialog_builder.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTableView>

#include "controls/ui/caption_label_widget.h"
#include "controls/ui/control_font.h"
#include "controls/ui/round_led_widget.h"
#include "controls/ui/seven_segment_widget.h"
#include "controls/ui/strip_chart_widget.h"

namespace km8 {
namespace {

// Rounds a * b / c to the nearest integer, halves away from zero, as MulDiv does.
int mulDiv(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

QPushButton* makePushButton(const ControlTemplate& c, QWidget* parent) {
  auto* button = new QPushButton(QString::fromUtf8(c.text), parent);
  // Qt would otherwise promote the first button of a dialog to the default one.
  button->setAutoDefault(false);
  button->setDefault(c.kind == ControlKind::DefaultPushButton);
  return button;
}

QLabel* makeStatic(const ControlTemplate& c, QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(c.text), parent);
  // A dialog's static text is top-aligned and wraps at word boundaries.
  const Qt::Alignment horizontal = (c.flags & kCentered) ? Qt::AlignHCenter : Qt::AlignLeft;
  label->setAlignment(horizontal | Qt::AlignTop);
  label->setWordWrap(true);
  label->setMargin(0);
  label->setIndent(0);
  return label;
}

// A report-style list: rows of one height and no row headers or grid. Its owner supplies
// the model, so long lists are appended to without copying items into the view.
QTableView* makeListView(QWidget* parent) {
  auto* list = new QTableView(parent);
  list->setShowGrid(false);
  list->setWordWrap(false);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->verticalHeader()->hide();
  list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 2);
  list->horizontalHeader()->setStretchLastSection(false);
  list->horizontalHeader()->setHighlightSections(false);
  return list;
}

QWidget* makeControl(const ControlTemplate& c, QWidget* parent) {
  const QString text = QString::fromUtf8(c.text);
  switch (c.kind) {
    case ControlKind::Static:
      return makeStatic(c, parent);
    case ControlKind::GroupBox: {
      // Templates often list a group box after the controls it frames, which puts it on
      // top of them; it only frames, so every click goes through to them.
      auto* box = new QGroupBox(text, parent);
      box->setAttribute(Qt::WA_TransparentForMouseEvents);
      return box;
    }
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton:
      return makePushButton(c, parent);
    case ControlKind::RadioButton:
      return new QRadioButton(text, parent);
    case ControlKind::CheckBox:
      return new QCheckBox(text, parent);
    case ControlKind::Edit: {
      auto* edit = new QLineEdit(text, parent);
      if (c.flags & kDigitsOnly) {
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
      }
      return edit;
    }
    case ControlKind::DropDownList:
      return new QComboBox(parent);
    case ControlKind::ListView:
      return makeListView(parent);
    case ControlKind::ProgressBar: {
      auto* bar = new QProgressBar(parent);
      bar->setTextVisible(false);
      return bar;
    }
    case ControlKind::CaptionLabel: {
      auto* label = new CaptionLabelWidget(parent);
      label->setCaption(c.text);
      return label;
    }
    case ControlKind::RoundLed:
      return new RoundLedWidget(parent);
    case ControlKind::SevenSegment:
      return new SevenSegmentWidget(parent);
    case ControlKind::StripChart:
      return new StripChartWidget(parent);
    case ControlKind::MultiLineEdit: {
      auto* edit = new QPlainTextEdit(text, parent);
      edit->setLineWrapMode(QPlainTextEdit::NoWrap);
      edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // scrolls, has no bar
      if (c.flags & kReadOnly) {
        // Like a read-only edit of Windows: selectable and copyable from mouse and keyboard.
        edit->setReadOnly(true);
        edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
      }
      return edit;
    }
  }
  return new QWidget(parent);
}

void applyLook(QWidget* widget, const LabelLook& look) {
  auto* label = qobject_cast<CaptionLabelWidget*>(widget);
  if (label == nullptr) return;
  label->setFont(controlFont(QString::fromUtf8(look.fontFamily), look.fontPixelHeight, look.bold));
  label->setTextColor(look.text);
  label->setBackgroundColor(look.background);
  label->setBorder(look.lowered ? CaptionLabelWidget::Border::Lowered
                                : CaptionLabelWidget::Border::None);
  label->setAlignment(look.centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
}

void applyLook(QWidget* widget, const SegmentLook& look) {
  auto* value = qobject_cast<SevenSegmentWidget*>(widget);
  if (value == nullptr) return;
  value->setSegmentColor(look.segments);
  value->setLowered(look.lowered);
  value->setPrecision(look.precision);
}

void applyLook(QWidget* widget, const LedLook& look) {
  if (auto* led = qobject_cast<RoundLedWidget*>(widget)) led->setActiveColor(look.active);
}

}  // namespace

DialogBaseUnits DialogBaseUnits::of(const QFont& font) {
  static const QString kLetters =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const QFontMetrics metrics(font);
  return {mulDiv(metrics.horizontalAdvance(kLetters), 1, 52), metrics.height()};
}

int DialogBaseUnits::toPixelsX(int dialogUnits) const { return mulDiv(dialogUnits, x, 4); }

int DialogBaseUnits::toPixelsY(int dialogUnits) const { return mulDiv(dialogUnits, y, 8); }

QRect DialogBaseUnits::toPixels(int left, int top, int width, int height) const {
  return {toPixelsX(left), toPixelsY(top), toPixelsX(width), toPixelsY(height)};
}

QFont dialogFont(const DialogTemplate& dialog) {
  const QString family = QString::fromUtf8(dialog.fontName);
  QFont font(family, dialog.fontPointSize);
  if (!QFontDatabase::hasFamily(family)) {
    font = QFont(QStringLiteral("Sans Serif"), dialog.fontPointSize);
  }
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QWidget* BuiltDialog::control(int id) const {
  const auto it = byId.find(id);
  return it == byId.end() ? nullptr : it->second;
}

BuiltDialog buildDialog(const DialogTemplate& dialog, QWidget& window,
                        std::span<const ControlLook> looks) {
  BuiltDialog built;
  built.font = dialogFont(dialog);
  built.units = DialogBaseUnits::of(built.font);
  window.setFont(built.font);
  window.setWindowTitle(QString::fromUtf8(dialog.caption));
  window.setFixedSize(built.units.toPixelsX(dialog.width), built.units.toPixelsY(dialog.height));

  QButtonGroup* group = nullptr;
  for (const ControlTemplate& c : dialog.controls) {
    QWidget* widget = makeControl(c, &window);
    widget->setProperty(kControlIdProperty, c.id);
    widget->setGeometry(built.units.toPixels(c.x, c.y, c.width, c.height));
    if (c.kind == ControlKind::DropDownList) {
      // A drop-down list's template height includes its open list; closed it is one line.
      widget->resize(widget->width(), widget->sizeHint().height());
    }
    if (c.kind == ControlKind::RadioButton) {
      if (group == nullptr || (c.flags & kGroupStart)) {
        group = new QButtonGroup(&window);
        group->setExclusive(true);
        built.radioGroups.push_back(group);
      }
      group->addButton(static_cast<QRadioButton*>(widget),
                       static_cast<int>(group->buttons().size()));
    }
    if (c.flags & kHidden) widget->setVisible(false);
    built.controls.push_back(widget);
    if (c.id != kStaticId) built.byId[c.id] = widget;
  }

  for (const ControlLook& entry : looks) {
    QWidget* widget = built.control(entry.id);
    if (widget == nullptr) continue;
    std::visit([widget](const auto& look) { applyLook(widget, look); }, entry.look);
  }
  return built;
}

}  // namespace km8
