// The program folder (where the default archive files go, beside the executable) and
// the default archive file names built from it.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "config/app_settings.h"

namespace km8 {

// '\\' on Windows, '/' elsewhere.
char PathSeparator();

// The default archive files' names in the program folder. The database file's follows the
// platform's database engine: Access on Windows, SQLite elsewhere.
inline constexpr char kDefaultTextFileName[] = "Archives.txt";
const char* DefaultDatabaseFileName();

// The folder of the running executable; instead, where that folder is not writable for the
// user (so that a first export does not fail) or is an installed program's folder, the
// user's home folder on POSIX (see MayHoldUserFiles) and Documents on Windows (a folder
// under Program Files).
std::string ProgramFolder();

// False for /usr and the folders below it (/usr/bin of the Debian package, /usr/local/bin),
// which hold installed programs and never a user's files, not even root's.
bool MayHoldUserFiles(std::string_view folder);

// Whether `path` is `folder` or lies below it; letter case counts only where
// `caseMatters` (not on Windows).
bool IsWithinFolder(std::string_view path, std::string_view folder, char separator,
                    bool caseMatters);

// `path` cut before its last separator; the whole path when it holds none. A path whose
// only separator leads it gives that separator ("/km8" is in "/").
std::string FolderOfPath(std::string_view path, char separator);

// The folder of `exePath` when `writable` accepts it, else `fallback` (also when the
// executable's path is unknown, i.e. empty).
std::string ChooseProgramFolder(std::string_view exePath, char separator,
                                const std::function<bool(const std::string&)>& writable,
                                std::string_view fallback);

// `folder` + separator + `name`, without doubling a separator that ends `folder`.
std::string JoinPath(std::string_view folder, std::string_view name, char separator);

// Sets TextFileName and DataBaseName to the two default files in `folder` (the
// database file's name follows the platform's database engine).
void SetDefaultFileNames(AppSettings& settings, std::string_view folder,
                         char separator = PathSeparator());

}  // namespace km8
