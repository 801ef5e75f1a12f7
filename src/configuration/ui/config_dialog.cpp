#include "configuration/ui/config_dialog.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyleOptionComboBox>
#include <QTableView>
#include <stdexcept>

#include "res/config_dialog_template.h"

namespace km8 {
namespace {

// The dash between a port and its device: "COM2 — /dev/ttyUSB0".
constexpr char kPortDeviceDash[] = " — ";
constexpr char kNoDevicesText[] = "Послідовних пристроїв не знайдено.";

template <class W>
W* required(const BuiltDialog& ui, int id) {
  W* widget = ui.controlAs<W>(id);
  if (widget == nullptr) throw std::logic_error("dialog lacks control " + std::to_string(id));
  return widget;
}

QString describe(const SerialDevice& device) {
  QString text = QString::fromStdString(device.adapter);
  if (!device.target.empty()) {
    text += text.isEmpty() ? QString::fromStdString(device.target)
                           : QStringLiteral(" (%1)").arg(QString::fromStdString(device.target));
  }
  if (!device.accessible) {
    if (!text.isEmpty()) text += QStringLiteral(", ");
    text += QString::fromUtf8(kNoAccessMark);
  }
  return text;
}

// "COM2 — /dev/ttyUSB0" cut to `width`: the port, then as much of the device's own name
// (the last part of its path, which for a by-id link names the adapter) as fits.
QString fitPortText(const QString& text, const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(text) <= width) return text;
  const QString dash = QString::fromUtf8(kPortDeviceDash);
  const qsizetype at = text.indexOf(dash);
  if (at < 0) return text;
  const QString port = text.left(at + dash.size());
  const QString path = text.mid(at + dash.size());
  const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
  return port + metrics.elidedText(name.isEmpty() ? path : name, Qt::ElideRight,
                                   width - metrics.horizontalAdvance(port));
}

// The closed port list is narrow: it shows the port and as much of its device as fits;
// the open list and the tooltip keep the whole path.
class ClosedPortListStyle final : public QProxyStyle {
 public:
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    const auto* box = qstyleoption_cast<const QStyleOptionComboBox*>(option);
    if (element != CE_ComboBoxLabel || box == nullptr) {
      QProxyStyle::drawControl(element, option, painter, widget);
      return;
    }
    QStyleOptionComboBox shown(*box);
    const QRect field = subControlRect(CC_ComboBox, box, SC_ComboBoxEditField, widget);
    shown.currentText = fitPortText(box->currentText, box->fontMetrics, field.width() - 2);
    QProxyStyle::drawControl(element, &shown, painter, widget);
  }
};

}  // namespace

SerialDeviceChooser::SerialDeviceChooser(const QString& portName,
                                         const std::vector<SerialDevice>& devices,
                                         const std::string& current, QWidget* parent)
    : QDialog(parent) {
  ui_ = buildDialog(SerialDeviceChooserTemplate(), *this);
  setWindowTitle(windowTitle() + QLatin1Char(' ') + portName);

  QTableView* view = list();
  auto* model = new QStandardItemModel(0, 2, view);
  view->setModel(model);
  view->horizontalHeader()->hide();
  view->horizontalHeader()->setStretchLastSection(true);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  bool anyRefused = false;
  for (const SerialDevice& device : devices) {
    auto* path = new QStandardItem(QString::fromStdString(device.path));
    auto* description = new QStandardItem(describe(device));
    path->setToolTip(path->text());
    if (!device.accessible) {
      description->setToolTip(QString::fromUtf8(kDialoutHint));
      anyRefused = true;
    }
    model->appendRow({path, description});
    if (device.path == current) view->setCurrentIndex(path->index());
  }
  view->resizeColumnToContents(0);

  auto* hint = required<QLabel>(ui_, kDeviceHintId);
  if (devices.empty()) {
    hint->setText(QString::fromUtf8(kNoDevicesText));
  } else if (anyRefused) {
    hint->setText(QString::fromUtf8(kDialoutHint));
  }

  auto* ok = required<QPushButton>(ui_, 1);
  ok->setEnabled(view->currentIndex().isValid());
  connect(view->selectionModel(), &QItemSelectionModel::currentChanged, ok,
          [ok](const QModelIndex& index) { ok->setEnabled(index.isValid()); });
  connect(view, &QAbstractItemView::doubleClicked, this, &QDialog::accept);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(required<QPushButton>(ui_, 2), &QPushButton::clicked, this, &QDialog::reject);
}

QTableView* SerialDeviceChooser::list() const { return required<QTableView>(ui_, kDeviceListId); }

std::string SerialDeviceChooser::selectedPath() const {
  const QModelIndex current = list()->currentIndex();
  if (!current.isValid()) return {};
  return current.siblingAtColumn(0).data().toString().toStdString();
}

ConfigDialog::ConfigDialog(const ConfigDialogValues& values, MessageBoxHost& messages,
                           Options options, QWidget* parent)
    : QDialog(parent), values_(values), messages_(messages), options_(std::move(options)) {
  ui_ = buildDialog(
      options_.devicePaths ? ConfigDialogWithDeviceButtonTemplate() : ConfigDialogTemplate(),
      *this);
  QComboBox* ports = combo(config_ids::kPortList);
  for (int i = 0; i < kPortCount; ++i) ports->addItem(portText(i));
  QComboBox* rates = combo(config_ids::kBaudList);
  for (std::uint32_t rate : kConfigBaudRates) rates->addItem(QString::number(rate));
  if (options_.devicePaths) {
    // The closed list is narrow; the open one and the tooltip show the whole path.
    auto* style = new ClosedPortListStyle;
    style->setParent(ports);
    ports->setStyle(style);
    connect(ports, &QComboBox::currentIndexChanged, this,
            [ports] { ports->setToolTip(ports->currentText()); });
    connect(required<QPushButton>(ui_, kDeviceChooserButtonId), &QPushButton::clicked, this,
            &ConfigDialog::chooseDevice);
  }
  connect(required<QPushButton>(ui_, 1), &QPushButton::clicked, this, &ConfigDialog::accept);
  connect(required<QPushButton>(ui_, 2), &QPushButton::clicked, this, &QDialog::reject);
  showValues();
}

QComboBox* ConfigDialog::combo(int id) const { return required<QComboBox>(ui_, id); }

QLineEdit* ConfigDialog::edit(int id) const { return required<QLineEdit>(ui_, id); }

QString ConfigDialog::portText(int index) const {
  QString text = QStringLiteral("COM%1").arg(index + 1);
  if (options_.devicePaths) {
    text += QString::fromUtf8(kPortDeviceDash) +
            QString::fromStdString(values_.portPaths[static_cast<std::size_t>(index)]);
  }
  return text;
}

void ConfigDialog::refreshPortList() {
  QComboBox* ports = combo(config_ids::kPortList);
  for (int i = 0; i < kPortCount; ++i) ports->setItemText(i, portText(i));
  ports->setToolTip(ports->currentText());
  ports->view()->setMinimumWidth(ports->view()->sizeHintForColumn(0) +
                                 ports->view()->verticalScrollBar()->sizeHint().width());
}

void ConfigDialog::showValues() {
  combo(config_ids::kBaudList)->setCurrentIndex(values_.baudIndex);
  combo(config_ids::kPortList)->setCurrentIndex(values_.portIndex);
  edit(config_ids::kInstrumentNumber)->setText(QString::number(values_.instrumentNumber));
  edit(config_ids::kHours)->setText(QString::number(values_.hours));
  edit(config_ids::kMinutes)->setText(QString::number(values_.minutes));
  edit(config_ids::kSeconds)->setText(QString::number(values_.seconds));
  edit(config_ids::kDelay)->setText(QString::number(values_.delay));
  edit(config_ids::kAttempts)->setText(QString::number(values_.attempts));
  required<QCheckBox>(ui_, config_ids::kAlarmLimits)->setChecked(values_.alarmLimits);
  required<QCheckBox>(ui_, config_ids::kRegulationLimits)->setChecked(values_.regulationLimits);
  if (options_.devicePaths) refreshPortList();
}

void ConfigDialog::accept() {
  ConfigDialogValues v = values_;
  v.baudIndex = combo(config_ids::kBaudList)->currentIndex();
  v.portIndex = combo(config_ids::kPortList)->currentIndex();
  const auto text = [this](int id) { return edit(id)->text().toStdString(); };
  const ConfigFieldTexts texts{
      text(config_ids::kInstrumentNumber), text(config_ids::kHours), text(config_ids::kMinutes),
      text(config_ids::kSeconds),          text(config_ids::kDelay), text(config_ids::kAttempts)};
  if (const auto error = ReadConfigFields(texts, v)) {
    messages_.showMessage(FieldRangeMessage(*error));
    QLineEdit* field = edit(error->controlId);
    field->setFocus();
    field->selectAll();
    return;
  }
  v.alarmLimits = required<QCheckBox>(ui_, config_ids::kAlarmLimits)->isChecked();
  v.regulationLimits = required<QCheckBox>(ui_, config_ids::kRegulationLimits)->isChecked();
  values_ = v;
  QDialog::accept();
}

void ConfigDialog::chooseDevice() {
  QComboBox* ports = combo(config_ids::kPortList);
  const int port = ports->currentIndex();
  if (port < 0 || port >= kPortCount) return;
  auto& path = values_.portPaths[static_cast<std::size_t>(port)];
  SerialDeviceChooser chooser(QStringLiteral("COM%1").arg(port + 1),
                              ListSerialDevices(options_.scan), path, this);
  if (chooser.exec() != QDialog::Accepted) return;
  const std::string chosen = chooser.selectedPath();
  if (chosen.empty()) return;
  path = chosen;
  refreshPortList();
}

bool QtConfigDialogView::runModal(ConfigDialogValues& values) {
  ConfigDialog dialog(values, messages_, options_, parent_);
  if (dialog.exec() != QDialog::Accepted) return false;
  values = dialog.values();
  return true;
}

}  // namespace km8
