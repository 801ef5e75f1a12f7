// The text of the POSIX settings file: one "Name = type:value" line per value, the type
// spelled out, so that a person can edit it and every byte string reads back exactly.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/settings_store.h"

namespace km8 {

// The file's text for these values, in this order, under a short explanatory header:
//   Timeouts = dword:3
//   RS232Setup = binary:0100080000...
//   TextFileName = sz:/home/op/Archives.txt
// In sz text a backslash, control bytes and a final space are escaped (\\ \n \r \t \xHH).
// Values of a type the file cannot hold (Other, or a DWORD not 4 bytes long) are left out.
std::string FormatSettingsFile(std::span<const NamedValue> values);

// One line (without its '\n'); nullopt for a blank line, a comment (# or ;) or a line
// that is not well formed.
std::optional<NamedValue> ParseSettingsLine(std::string_view line);

// Every well-formed line of the text; any other line is skipped, whatever its bytes. A
// name given twice takes its last value.
StoredValues ParseSettingsFile(std::string_view text);

}  // namespace km8
