#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// Needs windows.h first.
#include <odbcinst.h>

#include "archives/access_file.h"
#include "archives/database_file_rule.h"
#include "archives/utf16_win32.h"

namespace km8 {

std::optional<std::string> PrepareAccessFile(const std::string& path) {
  const std::wstring wide = Utf8ToWide(path);
  const HANDLE probe =
      ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    ::CloseHandle(probe);
    return std::nullopt;
  }
  // The format follows the extension; "General" is the engine's general sort order.
  const wchar_t* key = UpperExtension(path) == "ACCDB" ? L"CREATE_DBV12=\"" : L"CREATE_DBV4=\"";
  std::wstring attributes = key + wide + L"\" General";
  attributes.push_back(L'\0');  // the list ends with an empty attribute
  const std::wstring driver = Utf8ToWide(kAccessOdbcDriver);
  if (::SQLConfigDataSourceW(nullptr, ODBC_ADD_DSN, driver.c_str(), attributes.c_str())) {
    return std::nullopt;
  }
  std::string description;
  for (WORD i = 1; i <= 8; ++i) {
    DWORD code = 0;
    WCHAR text[SQL_MAX_MESSAGE_LENGTH] = {};
    WORD length = 0;
    const RETCODE rc = ::SQLInstallerErrorW(i, &code, text, SQL_MAX_MESSAGE_LENGTH, &length);
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) break;
    if (!description.empty()) description += '\n';
    description += WideToUtf8(text);
  }
  return description;
}

}  // namespace km8
