// The archive files' naming rules in one place: which database engine a file name
// selects, and what the archives dialog offers and checks for the text and database files.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace km8 {

enum class DatabaseEngine {
  None,    // no engine for this name on this platform: the export refuses it
  Sqlite,  // ".sqlite", on every platform
  Access,  // ".mdb" or ".accdb", where the platform has the Access driver (Windows)
};

// The engine for a database file, from its extension (case-insensitive).
DatabaseEngine DatabaseEngineFor(std::string_view fileName);
bool AccessEngineAvailable();  // per platform

// What the archives dialog's file choice needs for one kind of file.
struct ArchiveFileRule {
  const char* filter;              // file dialog filter, "Title (*.ext)"
  const char* extension;           // accepted extension, upper case, no dot
  const char* appendedSuffix;      // added to a name chosen without extension
  const char* wrongExtensionText;  // shown (caption kWrongExtensionCaption) otherwise
  const char* defaultFileName;     // in the program folder
};

inline constexpr char kWrongExtensionCaption[] = "Увага";

const ArchiveFileRule& TextFileRule();
// The Access file on Windows; an SQLite file elsewhere.
const ArchiveFileRule& DatabaseFileRule();

// The part after the last dot of the file name (not of a folder), upper case; empty when
// the file name has no dot.
std::string UpperExtension(std::string_view path);

// The name to store for a file chosen in the dialog: unchanged when its extension is the
// rule's (in any case), with the rule's suffix when it has none; nothing when it has
// another extension.
std::optional<std::string> ApplyFileRule(const ArchiveFileRule& rule, std::string_view chosen);

}  // namespace km8
