#include "setpoints/ui/setpoint_editor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <string_view>
#include <utility>

#include "res/setpoint_editor_template.h"
#include "setpoints/setpoint_programming.h"

namespace km8 {
namespace {

using namespace editor_ids;

// The edit fields and the members of EditorFields they show.
const std::array<std::pair<int, std::string EditorFields::*>, 11> kEditFields = {{
    {kInstrumentNumber, &EditorFields::instrumentNumber},
    {kArchivePeriod, &EditorFields::archivePeriod},
    {kSensorOffset, &EditorFields::sensorOffset},
    {kSetpoint, &EditorFields::setpoint},
    {kAlarmHigh, &EditorFields::alarmHigh},
    {kAlarmLow, &EditorFields::alarmLow},
    {kBand, &EditorFields::band},
    {kPulsePeriod, &EditorFields::pulsePeriod},
    {kMaxPower, &EditorFields::maxPower},
    {kDerivativeTime, &EditorFields::derivativeTime},
    {kIntegralTime, &EditorFields::integralTime},
}};

const std::array<std::pair<int, int EditorFields::*>, 3> kLists = {{
    {kSensorType, &EditorFields::sensorType},
    {kControlLaw, &EditorFields::controlLaw},
    {kBaudRate, &EditorFields::baudIndex},
}};

template <class W>
W* control(const BuiltDialog& ui, int id) {
  return ui.controlAs<W>(id);
}

void fillList(QComboBox* list, const auto& texts) {
  for (const auto& text : texts) {
    const std::string_view view(text);
    list->addItem(QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size())));
  }
}

}  // namespace

SetpointEditor::SetpointEditor(SetpointBlock& block, MessageBoxHost& messages, QWidget* parent)
    : QDialog(parent), model_(block), messages_(messages) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  ui_ = buildDialog(SetpointEditorTemplate(), *this);

  fillList(control<QComboBox>(ui_, kSensorType), kSensorTypeTexts);
  fillList(control<QComboBox>(ui_, kControlLaw), kControlLawEditorTexts);
  std::array<std::string, InstrumentBaudRates.size()> rates;
  for (std::size_t i = 0; i < rates.size(); ++i) rates[i] = std::to_string(InstrumentBaudRates[i]);
  fillList(control<QComboBox>(ui_, kBaudRate), rates);

  connect(control<QPushButton>(ui_, kOk), &QPushButton::clicked, this, &SetpointEditor::accept);
  connect(control<QPushButton>(ui_, kCancel), &QPushButton::clicked, this, &SetpointEditor::reject);
  connect(control<QPushButton>(ui_, kNextChannel), &QPushButton::clicked, this, [this] {
    if (handled(model_.next(readFields()))) showFields();
  });
  connect(control<QPushButton>(ui_, kPreviousChannel), &QPushButton::clicked, this, [this] {
    if (handled(model_.previous(readFields()))) showFields();
  });
  showFields();
}

void SetpointEditor::showFields() {
  const EditorFields& fields = model_.fields();
  control<QGroupBox>(ui_, kChannelHeading)
      ->setTitle(QString::fromStdString(model_.channelHeading()));
  for (const auto& [id, member] : kEditFields) {
    control<QLineEdit>(ui_, id)->setText(QString::fromStdString(fields.*member));
  }
  for (const auto& [id, member] : kLists)
    control<QComboBox>(ui_, id)->setCurrentIndex(fields.*member);
  for (int i = 0; i < kSetpointChannels; ++i) {
    control<QCheckBox>(ui_, kChannelEnabled[i])->setChecked(fields.enabled[i]);
  }
}

EditorFields SetpointEditor::readFields() const {
  EditorFields fields;
  for (const auto& [id, member] : kEditFields) {
    fields.*member = control<QLineEdit>(ui_, id)->text().toStdString();
  }
  for (const auto& [id, member] : kLists)
    fields.*member = control<QComboBox>(ui_, id)->currentIndex();
  for (int i = 0; i < kSetpointChannels; ++i) {
    fields.enabled[i] = control<QCheckBox>(ui_, kChannelEnabled[i])->isChecked();
  }
  return fields;
}

bool SetpointEditor::handled(const std::optional<EditorRefusal>& refusal) {
  if (!refusal) return true;
  messages_.showMessage(
      {.text = refusal->prompt, .caption = kProgrammingCaption, .icon = MessageIcon::Warning});
  if (auto* field = control<QLineEdit>(ui_, refusal->controlId)) {
    field->setFocus();
    field->selectAll();
  }
  return false;
}

void SetpointEditor::accept() {
  if (handled(model_.accept(readFields()))) QDialog::accept();
}

}  // namespace km8
