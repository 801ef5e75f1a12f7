// Dialog templates of the archives: the archives dialog (135) and the archive list
// window (136).
#pragma once

#include "res/dialog_template.h"

namespace km8 {

inline constexpr int kRecordCountEditId = 1055;
inline constexpr int kAutoOpenCheckId = 1062;
inline constexpr int kViewButtonId = 1056;
inline constexpr int kTextFileButtonId = 1057;
inline constexpr int kDatabaseButtonId = 1058;
inline constexpr int kArchiveListId = 1060;

const DialogTemplate& ArchivesDialogTemplate();
const DialogTemplate& ArchiveListTemplate();

}  // namespace km8
