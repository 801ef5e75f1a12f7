#include "plant/ui/plant_connection.h"

#include <libpq-fe.h>

#include <memory>

namespace km8 {
namespace {

// libpq quotes the string, or a part of it, in most of its reasons: only the keyword of
// an unknown option (in a string or a URI) and single characters are kept.
std::string withoutQuotedText(std::string reason) {
  if (const auto end = reason.find('\n'); end != std::string::npos) reason.resize(end);
  const bool namesKeyword = reason.starts_with("invalid connection option ") ||
                            reason.starts_with("invalid URI query parameter: ");
  if (namesKeyword) return reason;
  std::string out;
  for (std::size_t i = 0; i < reason.size(); ++i) {
    const auto close = reason[i] == '"' ? reason.find('"', i + 1) : std::string::npos;
    if (close == std::string::npos) {
      out += reason[i];
      continue;
    }
    out += close - i <= 2 ? reason.substr(i, close - i + 1) : "\"...\"";
    i = close;
  }
  return out;
}

bool isConnectionString(std::string_view s) {
  return s.starts_with("postgresql://") || s.starts_with("postgres://") ||
         s.find('=') != std::string_view::npos;
}

bool hasSecret(const ConnectionParameters& params) {
  for (const auto& [key, value] : params) {
    if (key == "password" || key == "sslpassword") return true;
    // libpq expands a dbname that is itself a connection string where it is asked to.
    if (key == "dbname" && isConnectionString(value)) {
      std::string ignored;
      const auto inner = ParseConnectionString(value, ignored);
      if (inner && hasSecret(*inner)) return true;
    }
  }
  return false;
}

}  // namespace

std::optional<ConnectionParameters> ParseConnectionString(std::string_view text,
                                                          std::string& error) {
  char* reason = nullptr;
  const std::unique_ptr<PQconninfoOption, decltype(&PQconninfoFree)> options(
      PQconninfoParse(std::string(text).c_str(), &reason), &PQconninfoFree);
  if (!options) {
    error = reason != nullptr ? withoutQuotedText(reason) : "out of memory";
    PQfreemem(reason);
    return std::nullopt;
  }
  ConnectionParameters out;
  for (const PQconninfoOption* o = options.get(); o->keyword != nullptr; ++o) {
    if (o->val != nullptr) out.emplace_back(o->keyword, o->val);
  }
  return out;
}

std::optional<std::string> ParameterValue(const ConnectionParameters& params,
                                          std::string_view key) {
  for (const auto& [k, v] : params)
    if (k == key) return v;
  return std::nullopt;
}

ConnectionParameters BoundedConnection(ConnectionParameters params) {
  static constexpr std::pair<std::string_view, std::string_view> kClient[] = {
      {"connect_timeout", "10"},    {"keepalives", "1"},       {"keepalives_idle", "10"},
      {"keepalives_interval", "5"}, {"keepalives_count", "3"}, {"tcp_user_timeout", "30000"},
  };
  static constexpr std::pair<std::string_view, std::string_view> kServer[] = {
      {"statement_timeout", "30000"},
      {"tcp_keepalives_idle", "30"},
      {"tcp_keepalives_interval", "10"},
      {"tcp_keepalives_count", "3"},
  };
  for (const auto& [key, value] : kClient) {
    if (!ParameterValue(params, key)) params.emplace_back(key, value);
  }
  std::string options = ParameterValue(params, "options").value_or("");
  for (const auto& [setting, value] : kServer) {
    if (options.find(setting) != std::string::npos) continue;
    if (!options.empty()) options += ' ';
    options += "-c " + std::string(setting) + '=' + std::string(value);
  }
  std::erase_if(params, [](const auto& p) { return p.first == "options"; });
  params.emplace_back("options", std::move(options));
  return params;
}

std::optional<ConnectionParameters> UsableConnection(std::string_view text, std::string& error) {
  auto params = ParseConnectionString(text, error);
  if (!params) return std::nullopt;
  if (params->empty()) {
    error = "no connection parameters";
    return std::nullopt;
  }
  if (hasSecret(*params)) {
    error =
        "it contains a password, which the station never keeps: put the password in "
        "~/.pgpass (or PGPASSFILE, a service file, peer or certificate authentication)";
    return std::nullopt;
  }
  return params;
}

}  // namespace km8
