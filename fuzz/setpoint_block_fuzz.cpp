// A setpoint block as the instrument may send it, read in its fifteen steps, then shown
// as the report and walked through the editor. Nothing may crash, every step is written
// back as it was read, and the report ends with a line end.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "setpoints/setpoint_block.h"
#include "setpoints/setpoint_editor_model.h"
#include "setpoints/setpoint_report.h"

namespace {

void require(bool ok) {
  if (!ok) __builtin_trap();
}

constexpr std::size_t kStepBytes = 10;
constexpr std::uint16_t kLastStep = 70;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* in, std::size_t size) {
  if (size < 150) return 0;
  km8::SetpointBlock block;
  for (std::uint16_t offset = 0; offset <= kLastStep; offset += 5) {
    const std::span<const std::uint8_t> step(in + offset * 2, kStepBytes);
    require(km8::storeStep(block, offset, step));
    const std::uint8_t* written = km8::stepBytes(block, offset);
    require(written != nullptr && std::memcmp(written, step.data(), kStepBytes) == 0);
  }
  require(km8::stepBytes(block, kLastStep + 5) == nullptr);

  const std::string report = km8::formatSetpointReport(block);
  require(report.size() >= 2 && report.compare(report.size() - 2, 2, "\r\n") == 0);

  // The user steps through every channel and presses OK without typing anything.
  km8::SetpointEditorModel editor(block);
  for (int i = 0; i < 8; ++i) {
    if (editor.next(editor.fields())) break;
  }
  (void)editor.accept(editor.fields());
  return 0;
}
