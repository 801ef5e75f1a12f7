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

// The parameters with the bounds the writer relies on, each added where the string does
// not set it: libpq's connect_timeout, TCP keep-alives and tcp_user_timeout, and through
// `options` the server's statement_timeout and its own keep-alives (so that a station
// gone without a word frees its series within about a minute).
ConnectionParameters BoundedConnection(ConnectionParameters params);

// Checks the setting before anything is started: nullopt and the reason when it cannot
// be used, the reason never containing the string itself (it may hold a password).
std::optional<ConnectionParameters> UsableConnection(std::string_view text, std::string& error);

}  // namespace km8
