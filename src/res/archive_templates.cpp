#include "res/archive_templates.h"

namespace km8 {
namespace {

using K = ControlKind;

// clang-format off
constexpr ControlTemplate kArchivesDialogControls[] = {
    {kStaticId, K::GroupBox, "", 7, 3, 194, 44},
    {kStaticId, K::Static, "Кількість вимірів:", 15, 16, 70, 8},
    {kRecordCountEditId, K::Edit, "", 88, 14, 44, 12},
    {kAutoOpenCheckId, K::CheckBox, "Відкривати текстовий файл після створення", 15, 31, 180, 10},
    {kViewButtonId, K::DefaultPushButton, "Перегляд", 7, 55, 60, 14},
    {kTextFileButtonId, K::PushButton, "Текстовий файл", 74, 55, 60, 14},
    {kDatabaseButtonId, K::PushButton, "База даних", 141, 55, 60, 14},
};

constexpr ControlTemplate kArchiveListControls[] = {
    {kArchiveListId, K::ListView, "", 5, 4, 348, 99},
};
// clang-format on

}  // namespace

const DialogTemplate& ArchivesDialogTemplate() {
  static const DialogTemplate t{
      135, "Архіви", 208, 76, "MS Sans Serif", 8, kArchivesDialogControls};
  return t;
}

const DialogTemplate& ArchiveListTemplate() {
  static const DialogTemplate t{136, "", 358, 108, "MS Sans Serif", 8, kArchiveListControls};
  return t;
}

}  // namespace km8
