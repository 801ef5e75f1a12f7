// UTF-8 to the Windows Cyrillic code page 1251, the encoding of the archive text file,
// from the code page's own 128-entry table (no converter library needed).
#pragma once

#include <string>
#include <string_view>

namespace km8 {

// Characters the code page lacks, and bytes that are not valid UTF-8, become '?'.
std::string ToCodePage1251(std::string_view utf8);

}  // namespace km8
