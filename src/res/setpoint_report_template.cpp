#include "res/setpoint_report_template.h"

namespace km8 {
namespace {

constexpr ControlTemplate kControls[] = {
    {kSetpointReportTextId, ControlKind::MultiLineEdit, "", 5, 5, 227, 76, kReadOnly},
};

}  // namespace

const DialogTemplate& SetpointReportTemplate() {
  static const DialogTemplate t{134, "", 237, 87, "MS Sans Serif", 8, kControls};
  return t;
}

}  // namespace km8
