// The PlantDatabase setting: whatever libpq takes as a connection string (keywords, URIs,
// several hosts, service=), taken apart by libpq's own parser, and refused when it
// carries a password (passwords come from ~/.pgpass and the like). Plain C++ and libpq.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace km8 {

using ConnectionParameters = std::vector<std::pair<std::string, std::string>>;

// The keywords the string sets and their values, in libpq's order; nullopt and libpq's
// reason in `error` (without the parts of the string it quotes, which may hold a
// password) for a string libpq does not take.
std::optional<ConnectionParameters> ParseConnectionString(std::string_view text,
                                                          std::string& error);

// The value of `key`, if any.
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
