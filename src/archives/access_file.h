// Reaching an Access database through the ODBC Access driver (Windows only): the
// connection string, and an empty file created where there is none to open.
#pragma once

#include <optional>
#include <string>

namespace km8 {

inline constexpr char kAccessOdbcDriver[] = "Microsoft Access Driver (*.mdb, *.accdb)";

std::string AccessConnectionString(const std::string& path);

// Leaves a file that opens for reading and writing alone; otherwise (missing, or
// read-only: the engine then fails to create it and says why) creates an empty
// database with the general sort order. Returns nothing on success, else the driver's
// description (maybe empty). Elsewhere than on Windows it always fails.
std::optional<std::string> PrepareAccessFile(const std::string& path);

}  // namespace km8
