// The km8-sim command line: options into a configuration, refusals, the status
// line, and the program itself serving a pseudo-terminal until SIGINT.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "cli_options.h"
#include "sim_master.h"

namespace km8::sim {
namespace {

using simtest::Bytes;

CliOptions parse(std::vector<std::string> args) {
  CliOptions options;
  std::string error;
  EXPECT_TRUE(parseCommandLine(args, options, error)) << error;
  return options;
}

std::string refusal(std::vector<std::string> args) {
  CliOptions options;
  std::string error;
  EXPECT_FALSE(parseCommandLine(args, options, error)) << "accepted: " << args.front();
  return error;
}

TEST(CommandLine, OptionsBecomeTheInstrumentsConfiguration) {
  const CliOptions o = parse({"--address",
                              "7",
                              "--baud",
                              "9600",
                              "--setpoints",
                              "25.3,,-10",
                              "--setpoint",
                              "8=150",
                              "--laws",
                              "1,3",
                              "--law",
                              "8=4",
                              "--enabled",
                              "0x81",
                              "--access-code",
                              "432143",
                              "--attempts",
                              "1",
                              "--archive-size",
                              "5000",
                              "--archive-period",
                              "2",
                              "--history",
                              "300",
                              "--restart-every",
                              "100",
                              "--time-scale",
                              "600",
                              "--line-timing",
                              "--turnaround",
                              "3",
                              "--fault",
                              "late=0.5",
                              "--fault",
                              "bad-crc",
                              "--seed",
                              "11",
                              "--status",
                              "--version"});
  const SetpointImage& b = o.config.instrument.block;
  EXPECT_EQ(b.instrumentNumber(), 7);
  EXPECT_EQ(b.baudIndex(), 3);
  EXPECT_EQ(b.channel(0).setpoint, 253);
  EXPECT_EQ(b.channel(0).controlLaw, 1);
  EXPECT_EQ(b.channel(0).switchPoint, 253 + 30) << "cooling: setpoint plus band";
  EXPECT_EQ(b.channel(1).setpoint, SetpointImage::factoryDefault().channel(1).setpoint);
  EXPECT_EQ(b.channel(1).controlLaw, 3);
  EXPECT_EQ(b.channel(2).setpoint, -100);
  EXPECT_EQ(b.channel(2).alarmLow, -300);
  EXPECT_EQ(b.channel(7).setpoint, 1500);
  EXPECT_EQ(b.channel(7).controlLaw, 4);
  EXPECT_EQ(b.enabledChannels(), 0x81);
  EXPECT_EQ(b.attemptsLeft(), 1);
  EXPECT_EQ(b.archivePeriod(), 2);
  EXPECT_EQ(o.config.instrument.accessCode, "432143");
  EXPECT_EQ(o.config.instrument.archiveCapacity, 5000u);
  EXPECT_EQ(o.config.historyRecords, 300u);
  EXPECT_EQ(o.config.restartEvery, 100u);
  EXPECT_EQ(o.config.timeScale, 600.0);
  EXPECT_TRUE(o.config.pacedLine);
  EXPECT_EQ(o.config.turnaroundMs, 3u);
  EXPECT_EQ(o.config.faults[Fault::LateReply], 0.5);
  EXPECT_EQ(o.config.faults[Fault::BadCrc], 1.0);
  EXPECT_EQ(o.config.instrument.seed, 11u);
  EXPECT_TRUE(o.status);
  EXPECT_TRUE(o.version);
  EXPECT_TRUE(o.device.empty());
}

TEST(CommandLine, RefusesWhatTheInstrumentCannotTake) {
  EXPECT_NE(refusal({"--baud", "115200"}).find("--baud"), std::string::npos);
  refusal({"--address", "0"});
  refusal({"--address", "256"});
  refusal({"--setpoints", "1,2,3,4,5,6,7,8,9"});
  refusal({"--setpoint", "9=10"});
  refusal({"--setpoint", "1=warm"});
  refusal({"--law", "1=6"});
  refusal({"--access-code", "1234567"});
  refusal({"--access-code", "12a4"});
  refusal({"--archive-size", "0"});
  refusal({"--archive-size", "32769"});
  refusal({"--fault", "latency=1"});
  refusal({"--fault", "late=1.5"});
  refusal({"--time-scale", "-1"});
  refusal({"--history", "10", "--archive-period", "0"});
  refusal({"--device", "/dev/ttyUSB0", "--link", "/tmp/x"});
  EXPECT_NE(refusal({"--address"}).find("needs a value"), std::string::npos);
  EXPECT_NE(refusal({"--colour"}).find("unknown option"), std::string::npos);
}

TEST(CommandLine, StatusLineShowsReadingsMarkersAndCounters) {
  SimStatus s;
  s.simTimeMs = (2 * 3600 + 3 * 60 + 4) * 1000;
  s.address = 3;
  s.baud = 9600;
  s.readings = {253, -105, kRawBelowRange, kRawAboveRange, 0, 0, 0, 0};
  s.regulationOutputs = 0x81;
  s.counters.requests = 12;
  const std::string line = statusLine(s);
  EXPECT_NE(line.find("t=2:03:04 #3 9600"), std::string::npos) << line;
  EXPECT_NE(line.find("25.3  -10.5    low   high"), std::string::npos) << line;
  EXPECT_NE(line.find("out=81"), std::string::npos) << line;
  EXPECT_NE(line.find("req=12"), std::string::npos) << line;
}

// ---- the program ---------------------------------------------------------------

std::filesystem::path programPath() {
  const auto self = std::filesystem::read_symlink("/proc/self/exe");
  return self.parent_path().parent_path() / "sim" / "km8-sim";
}

TEST(Program, ServesItsPseudoTerminalAndStopsCleanlyOnSigint) {
  const auto program = programPath();
  if (!std::filesystem::exists(program)) GTEST_SKIP() << "km8-sim not built at " << program;
  const std::string link = "/tmp/km8-sim-test-" + std::to_string(getpid());

  int out[2];
  int in[2];
  ASSERT_EQ(pipe(out), 0);
  ASSERT_EQ(pipe(in), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(in[0], STDIN_FILENO);
    execl(program.c_str(), "km8-sim", "--address", "5", "--link", link.c_str(), nullptr);
    _exit(127);
  }
  close(out[1]);
  close(in[0]);

  std::string firstLine;
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') firstLine += c;
  EXPECT_EQ(firstLine, link);

  {
    simtest::LineMaster master(link);
    ASSERT_TRUE(master.ok());
    const Bytes reply = master.transact(simtest::readRequest(5, 4, 12, 5));
    EXPECT_EQ(reply.size(), 15u);
    EXPECT_TRUE(simtest::crcOk(reply));
    // A command typed on stdin.
    const std::string command = "status\n";
    ASSERT_EQ(write(in[1], command.data(), command.size()), static_cast<ssize_t>(command.size()));
    std::string statusText;
    while (read(out[0], &c, 1) == 1 && c != '\n') statusText += c;
    EXPECT_NE(statusText.find("#5 19200"), std::string::npos) << statusText;
    EXPECT_NE(statusText.find("req=1 "), std::string::npos) << statusText;
  }

  kill(child, SIGINT);
  int status = 0;
  pid_t done = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((done = waitpid(child, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (done == 0) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    FAIL() << "km8-sim did not stop on SIGINT";
  }
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  close(out[0]);
  close(in[1]);
}

}  // namespace
}  // namespace km8::sim
