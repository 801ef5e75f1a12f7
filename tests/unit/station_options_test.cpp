#include "app/station_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace km8 {
namespace {

std::optional<StationOptions> parse(std::vector<std::string> args, std::string* error = nullptr) {
  std::string e;
  auto result = ParseStationCommandLine(args, e);
  if (error) *error = e;
  return result;
}

TEST(StationOptions, NoArgumentsMeanTheOrdinaryStation) {
  const auto o = parse({});
  ASSERT_TRUE(o);
  EXPECT_EQ(*o, StationOptions{});
  EXPECT_FALSE(o->simulate);
  EXPECT_TRUE(o->settingsPath.empty());
  EXPECT_LT(o->screenshotAfterSeconds, 0);
}

TEST(StationOptions, EachOptionInBothSpellings) {
  auto o = parse({"--simulate", "--settings", "/tmp/a b.conf", "--version", "-h"});
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->simulate);
  EXPECT_EQ(o->settingsPath, "/tmp/a b.conf");
  EXPECT_TRUE(o->version);
  EXPECT_TRUE(o->help);

  o = parse({"--trace", "-"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->tracePath, "-");
  o = parse({"--trace=/var/log/km8 trace.txt"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->tracePath, "/var/log/km8 trace.txt");

  o = parse({"--plant-db", "host=/run/pg dbname=plant user='a b'"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->plantDatabase, "host=/run/pg dbname=plant user='a b'");
  o = parse({"--plant-db="});  // off for this run, whatever the settings say
  ASSERT_TRUE(o);
  EXPECT_EQ(o->plantDatabase, "");
  EXPECT_FALSE(parse({})->plantDatabase);

  o = parse({"--settings=/etc/km8=x.conf", "--help"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->settingsPath, "/etc/km8=x.conf");  // only the first '=' separates
  EXPECT_TRUE(o->help);
  EXPECT_FALSE(o->simulate);
}

TEST(StationOptions, ScreenshotTakesSecondsAndAPath) {
  auto o = parse({"--screenshot", "12:docs/shot.png"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->screenshotAfterSeconds, 12);
  EXPECT_EQ(o->screenshotPath, "docs/shot.png");

  o = parse({"--screenshot=0:C:\\shots\\a.png"});  // a drive letter stays in the path
  ASSERT_TRUE(o);
  EXPECT_EQ(o->screenshotAfterSeconds, 0);
  EXPECT_EQ(o->screenshotPath, "C:\\shots\\a.png");

  for (const char* bad : {"shot.png", ":a.png", "5:", "-1:a.png", "x5:a.png", "5x:a.png",
                          "99999999999:a.png", "3601:a.png"}) {
    std::string error;
    EXPECT_FALSE(parse({"--screenshot", bad}, &error)) << bad;
    EXPECT_NE(error.find("--screenshot"), std::string::npos) << bad;
  }
}

TEST(StationOptions, UnusableCommandLinesSayWhy) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--simulat"}, "unknown option --simulat"},
      {{"-platform", "offscreen"}, "unknown option -platform"},
      {{"COM2"}, "unexpected argument COM2"},
      {{"--settings"}, "option --settings needs a value"},
      {{"--settings="}, "option --settings needs a path"},
      {{"--settings", "a", "--settings", "b"}, "option --settings given twice"},
      {{"--simulate=yes"}, "option --simulate takes no value"},
      {{"--screenshot", "1:a", "--screenshot", "2:b"}, "option --screenshot given twice"},
      {{"--trace"}, "option --trace needs a value"},
      {{"--trace="}, "option --trace needs a file or -"},
      {{"--trace", "a", "--trace", "-"}, "option --trace given twice"},
      {{"--plant-db"}, "option --plant-db needs a value"},
      {{"--plant-db", "a=b", "--plant-db", ""}, "option --plant-db given twice"},
  };
  for (const auto& [args, message] : cases) {
    std::string error;
    EXPECT_FALSE(parse(args, &error)) << message;
    EXPECT_EQ(error, message);
  }
  EXPECT_EQ(kUsageExitCode, 2);
}

}  // namespace
}  // namespace km8
