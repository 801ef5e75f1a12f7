// The PlantDatabase setting: a libpq connection string ("host=... dbname=...") or a
// postgresql:// URI, taken apart into its keywords so that the driver gets each one, and
// refused when it carries a password (passwords come from ~/.pgpass and the like).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace km8 {

using ConnectionParameters = std::vector<std::pair<std::string, std::string>>;

// The keywords and values in their order; nullopt and a one-line `error` for a string
// that is not well formed (an unterminated quote, a word without '=', a bad URI).
std::optional<ConnectionParameters> ParseConnectionString(std::string_view text,
                                                          std::string& error);

// The value of `key` (the last one given), if any.
std::optional<std::string> ParameterValue(const ConnectionParameters& params, std::string_view key);

// Checks the setting before anything is started: nullopt and the reason when it cannot
// be used, the reason never containing the string itself (it may hold a password).
std::optional<ConnectionParameters> UsableConnection(std::string_view text, std::string& error);

}  // namespace km8
