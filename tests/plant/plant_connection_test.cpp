// The PlantDatabase setting as libpq takes it apart, without a server: what libpq accepts
// is accepted, a password in any of its forms is refused, and no reason repeats the
// string; then the bounds the writer adds.
#include "plant/ui/plant_connection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace km8 {
namespace {

TEST(PlantConnectionString, WhatLibpqAcceptsIsAcceptedAndAPasswordNeverIs) {
  using Parameters = std::map<std::string, std::string>;
  struct Case {
    const char* text;
    Parameters expected;  // empty: refused
    const char* reason = "";
  };
  const Case cases[] = {
      {"host=plantdb dbname=plant user=km8",
       {{"host", "plantdb"}, {"dbname", "plant"}, {"user", "km8"}}},
      {"host = plantdb  dbname = 'the plant' port=5433",
       {{"host", "plantdb"}, {"dbname", "the plant"}, {"port", "5433"}}},
      {"postgresql://km8@[::1]:5433/plant",
       {{"host", "::1"}, {"port", "5433"}, {"user", "km8"}, {"dbname", "plant"}}},
      {"postgresql://km8@h1:5432,h2:5433/plant?target_session_attrs=read-write",
       {{"host", "h1,h2"},
        {"port", "5432,5433"},
        {"user", "km8"},
        {"dbname", "plant"},
        {"target_session_attrs", "read-write"}}},
      {"host=h1,h2 port=5432,5433 dbname=plant",
       {{"host", "h1,h2"}, {"port", "5432,5433"}, {"dbname", "plant"}}},
      {"postgres://plantdb/plant?sslmode=verify-full&sslrootcert=%2Fetc%2Fkm8%2Froot.crt",
       {{"host", "plantdb"},
        {"dbname", "plant"},
        {"sslmode", "verify-full"},
        {"sslrootcert", "/etc/km8/root.crt"}}},
      {"service=plant", {{"service", "plant"}}},
      {"host=h dbname=d password=secret", {}, "it contains a password"},
      {"postgresql://u:secret@h/d", {}, "it contains a password"},
      {"postgresql://u:s%65cret@h/d", {}, "it contains a password"},
      {"postgresql://u@h/d?password=secret", {}, "it contains a password"},
      {"host=h sslpassword=secret", {}, "it contains a password"},
      {"dbname='postgresql://u:secret@h/d'", {}, "it contains a password"},
      {"", {}, "no connection parameters"},
      {"host='secret", {}, "unterminated quoted string"},
      {"host=h secret", {}, "missing \"=\" after \"...\""},
      {"pasword=secret", {}, "invalid connection option \"pasword\""},
      {"postgresql://u:secret@[::1/d", {}, "IPv6 host address in URI: \"...\""},
      {"postgresql://u:secr%zzet@h/d", {}, "invalid percent-encoded token: \"...\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error;
    const auto params = UsableConnection(c.text, error);
    if (c.expected.empty()) {
      EXPECT_FALSE(params);
      EXPECT_NE(error.find(c.reason), std::string::npos) << error;
      EXPECT_EQ(error.find("secr"), std::string::npos) << error;
      continue;
    }
    ASSERT_TRUE(params) << error;
    EXPECT_EQ(Parameters(params->begin(), params->end()), c.expected);
  }
}

TEST(PlantConnectionBounds, EachBoundIsAddedUnlessTheStringSetsIt) {
  std::string error;
  const auto plain = BoundedConnection(*UsableConnection("host=plantdb dbname=plant", error));
  EXPECT_EQ(ParameterValue(plain, "connect_timeout"), "10");
  EXPECT_EQ(ParameterValue(plain, "keepalives"), "1");
  EXPECT_EQ(ParameterValue(plain, "keepalives_idle"), "10");
  EXPECT_EQ(ParameterValue(plain, "tcp_user_timeout"), "30000");
  EXPECT_EQ(ParameterValue(plain, "options"),
            "-c statement_timeout=30000 -c tcp_keepalives_idle=30 -c tcp_keepalives_interval=10 "
            "-c tcp_keepalives_count=3");

  const auto own = BoundedConnection(
      *UsableConnection("host=plantdb connect_timeout=3 tcp_user_timeout=5000 "
                        "options='-c statement_timeout=2min -c search_path=plant'",
                        error));
  EXPECT_EQ(ParameterValue(own, "connect_timeout"), "3");
  EXPECT_EQ(ParameterValue(own, "tcp_user_timeout"), "5000");
  EXPECT_EQ(ParameterValue(own, "options"),
            "-c statement_timeout=2min -c search_path=plant -c tcp_keepalives_idle=30 -c "
            "tcp_keepalives_interval=10 -c tcp_keepalives_count=3");
  EXPECT_EQ(
      std::count_if(own.begin(), own.end(), [](const auto& p) { return p.first == "options"; }), 1);
}

}  // namespace
}  // namespace km8
