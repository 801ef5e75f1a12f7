#include "archives/database_file_rule.h"

#include <cctype>

#include "config/program_folder.h"

namespace km8 {

const ArchiveFileRule& TextFileRule() {
  static const ArchiveFileRule rule{
      .filter = "Текстовий файл (*.txt)",
      .extension = "TXT",
      .appendedSuffix = ".txt",
      .wrongExtensionText = "Розширення файла має бути 'TXT'",
      .defaultFileName = kDefaultTextFileName,
  };
  return rule;
}

std::string UpperExtension(std::string_view path) {
  // Both separators: Windows accepts either, and a dot in a folder is no extension.
  const auto slash = path.find_last_of("/\\");
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string ext(name.substr(dot + 1));
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext;
}

std::optional<std::string> ApplyFileRule(const ArchiveFileRule& rule, std::string_view chosen) {
  const std::string ext = UpperExtension(chosen);
  if (ext.empty()) return std::string(chosen) + rule.appendedSuffix;
  if (ext == rule.extension) return std::string(chosen);
  return std::nullopt;
}

DatabaseEngine DatabaseEngineFor(std::string_view fileName) {
  const std::string ext = UpperExtension(fileName);
  if (ext == "SQLITE") return DatabaseEngine::Sqlite;
  if ((ext == "MDB" || ext == "ACCDB") && AccessEngineAvailable()) return DatabaseEngine::Access;
  return DatabaseEngine::None;
}

}  // namespace km8
