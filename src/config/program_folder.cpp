#include "config/program_folder.h"

namespace km8 {

std::string FolderOfPath(std::string_view path, char separator) {
  const auto cut = path.find_last_of(separator);
  if (cut == std::string_view::npos) return std::string(path);
  if (cut == 0) return std::string(1, separator);
  return std::string(path.substr(0, cut));
}

std::string ChooseProgramFolder(std::string_view exePath, char separator,
                                const std::function<bool(const std::string&)>& writable,
                                std::string_view fallback) {
  if (exePath.empty()) return std::string(fallback);
  std::string folder = FolderOfPath(exePath, separator);
  return writable(folder) ? folder : std::string(fallback);
}

bool MayHoldUserFiles(std::string_view folder) {
  return !IsWithinFolder(folder, "/usr", '/', true);
}

bool IsWithinFolder(std::string_view path, std::string_view folder, char separator,
                    bool caseMatters) {
  while (!folder.empty() && folder.back() == separator) folder.remove_suffix(1);
  if (folder.empty() || path.size() < folder.size()) return false;
  const auto same = [caseMatters](char a, char b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return caseMatters ? a == b : lower(a) == lower(b);
  };
  for (std::size_t i = 0; i < folder.size(); ++i) {
    if (!same(path[i], folder[i])) return false;
  }
  return path.size() == folder.size() || path[folder.size()] == separator;
}

std::string JoinPath(std::string_view folder, std::string_view name, char separator) {
  std::string path(folder);
  if (path.empty() || path.back() != separator) path += separator;
  path += name;
  return path;
}

void SetDefaultFileNames(AppSettings& settings, std::string_view folder, char separator) {
  settings.TextFileName = JoinPath(folder, kDefaultTextFileName, separator);
  settings.DataBaseName = JoinPath(folder, DefaultDatabaseFileName(), separator);
}

}  // namespace km8
