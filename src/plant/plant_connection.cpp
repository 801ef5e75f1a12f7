#include "plant/plant_connection.h"

#include <cctype>

namespace km8 {
namespace {

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::optional<ConnectionParameters> parseKeywords(std::string_view s, std::string& error) {
  ConnectionParameters out;
  std::size_t i = 0;
  while (true) {
    while (i < s.size() && isSpace(s[i])) ++i;
    if (i == s.size()) return out;
    std::string key;
    while (i < s.size() && s[i] != '=' && !isSpace(s[i])) key += s[i++];
    while (i < s.size() && isSpace(s[i])) ++i;
    if (i == s.size() || s[i] != '=' || key.empty()) {
      error = "a word without \"=value\"";
      return std::nullopt;
    }
    ++i;
    while (i < s.size() && isSpace(s[i])) ++i;
    std::string value;
    if (i < s.size() && s[i] == '\'') {
      ++i;
      while (true) {
        if (i == s.size()) {
          error = "an unterminated quoted value";
          return std::nullopt;
        }
        if (s[i] == '\\' && i + 1 < s.size()) {
          value += s[i + 1];
          i += 2;
        } else if (s[i] == '\'') {
          ++i;
          break;
        } else {
          value += s[i++];
        }
      }
    } else {
      while (i < s.size() && !isSpace(s[i])) {
        if (s[i] == '\\' && i + 1 < s.size()) ++i;
        value += s[i++];
      }
    }
    out.emplace_back(std::move(key), std::move(value));
  }
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> percentDecoded(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    if (i + 2 >= s.size()) return std::nullopt;
    const int hi = hexDigit(s[i + 1]);
    const int lo = hexDigit(s[i + 2]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return out;
}

// postgresql://[user[:password]@][host][:port][/dbname][?keyword=value&...]
std::optional<ConnectionParameters> parseUri(std::string_view rest, std::string& error) {
  ConnectionParameters out;
  auto add = [&](std::string key, std::string_view raw) {
    auto v = percentDecoded(raw);
    if (!v) return false;
    if (!v->empty()) out.emplace_back(std::move(key), std::move(*v));
    return true;
  };
  error = "a malformed postgresql:// URI";
  std::string_view query;
  if (const auto q = rest.find('?'); q != std::string_view::npos) {
    query = rest.substr(q + 1);
    rest = rest.substr(0, q);
  }
  std::string_view path;
  if (const auto slash = rest.find('/'); slash != std::string_view::npos) {
    path = rest.substr(slash + 1);
    rest = rest.substr(0, slash);
  }
  if (const auto at = rest.rfind('@'); at != std::string_view::npos) {
    std::string_view user = rest.substr(0, at);
    rest = rest.substr(at + 1);
    if (const auto colon = user.find(':'); colon != std::string_view::npos) {
      if (!add("password", user.substr(colon + 1))) return std::nullopt;
      user = user.substr(0, colon);
    }
    if (!add("user", user)) return std::nullopt;
  }
  std::string_view port;
  if (!rest.starts_with('[')) {
    if (const auto colon = rest.rfind(':'); colon != std::string_view::npos) {
      port = rest.substr(colon + 1);
      rest = rest.substr(0, colon);
    }
  }
  if (!add("host", rest) || !add("port", port) || !add("dbname", path)) return std::nullopt;
  while (!query.empty()) {
    const auto amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
    const auto eq = pair.find('=');
    if (eq == std::string_view::npos || eq == 0) return std::nullopt;
    auto key = percentDecoded(pair.substr(0, eq));
    if (!key || !add(*key, pair.substr(eq + 1))) return std::nullopt;
  }
  error.clear();
  return out;
}

}  // namespace

std::optional<ConnectionParameters> ParseConnectionString(std::string_view text,
                                                          std::string& error) {
  for (std::string_view prefix : {"postgresql://", "postgres://"}) {
    if (text.starts_with(prefix)) return parseUri(text.substr(prefix.size()), error);
  }
  return parseKeywords(text, error);
}

std::optional<std::string> ParameterValue(const ConnectionParameters& params,
                                          std::string_view key) {
  std::optional<std::string> found;
  for (const auto& [k, v] : params)
    if (k == key) found = v;
  return found;
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
  if (ParameterValue(*params, "password")) {
    error =
        "it contains a password, which the station never keeps: put the password in "
        "~/.pgpass (or PGPASSFILE, a service file, peer or certificate authentication)";
    return std::nullopt;
  }
  return params;
}

}  // namespace km8
