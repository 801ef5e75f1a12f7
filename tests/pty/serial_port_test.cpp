#include "link/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "link/custom_baud.h"
#include "pty/pty_fixture.h"
#include "support/scripted_responder.h"

namespace km8::test {
namespace {

using namespace std::chrono_literals;

class SerialPortTest : public ::testing::Test {
 protected:
  TwoPtys line;
  SerialPort port{line.ports};

  Bytes readOnce(int* result = nullptr) {
    Bytes buffer(port.readLength() + 1, 0);
    std::uint32_t received = 12345;
    const int r = port.Read(buffer.data(), received);
    if (result) *result = r;
    buffer.resize(received);
    return buffer;
  }
};

Bytes allByteValues() {
  Bytes all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  return all;
}

TEST_F(SerialPortTest, EveryByteValuePassesUntouchedBothWays) {
  ASSERT_TRUE(port.Open(lineSetup(1, 256)));
  const Bytes all = allByteValues();
  std::uint32_t written = 0;
  ASSERT_TRUE(port.Write(all.data(), 256, written));
  EXPECT_EQ(written, 256u);
  EXPECT_EQ(line.com2.receive(), all) << "no CR/LF translation, no flow-control characters";

  // 0xFF arrives doubled by the error marking and must be undone; XON/XOFF, CR and
  // the signal characters must arrive as data.
  line.com2.send(all);
  int result = 0;
  EXPECT_EQ(readOnce(&result), all);
  EXPECT_EQ(result, 1);
}

TEST_F(SerialPortTest, PortIndexSelectsTheDeviceAndBadBlocksAreRefusedClosed) {
  ASSERT_TRUE(port.Open(lineSetup(0)));
  std::uint32_t written = 0;
  const Bytes ping = {0x55, 0xAA};
  port.Write(ping.data(), 2, written);
  EXPECT_EQ(line.com1.receive(), ping);

  SerialSetup zeroRate = lineSetup(0);
  zeroRate.BaudRate = 0;
  EXPECT_FALSE(port.Open(zeroRate));
  EXPECT_FALSE(port.isOpen());
  EXPECT_FALSE(port.Open(lineSetup(9)));
  EXPECT_FALSE(port.Open(lineSetup(255)));
  EXPECT_FALSE(port.Open(lineSetup(2)));  // device missing
  SerialSetup nineBits = lineSetup(0);
  nineBits.DataBits = 9;
  EXPECT_FALSE(port.Open(nineBits));
  EXPECT_FALSE(port.isOpen());

  // The refused opens released COM1.
  SerialPort other(line.ports);
  EXPECT_TRUE(other.Open(lineSetup(0)));
}

TEST_F(SerialPortTest, SecondOpenerInTheSameProcessIsRefusedUntilClose) {
  ASSERT_TRUE(port.Open(lineSetup(0)));
  SerialPort second(line.ports);
  EXPECT_FALSE(second.Open(lineSetup(0)));
  EXPECT_FALSE(second.isOpen());
  EXPECT_TRUE(second.Open(lineSetup(1)));  // another port is free
  port.Close();
  EXPECT_TRUE(second.Open(lineSetup(0)));
}

// Runs fn in a child process (no threads may be running) and returns its exit code.
template <class Fn>
int inChildProcess(Fn fn) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(fn());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SerialPortTest, AnotherProcessCannotOpenAPortThatIsInUse) {
  ASSERT_TRUE(port.Open(lineSetup(0)));
  // Even root, whom TIOCEXCL does not stop, is refused by the lock.
  const int childOpened = inChildProcess([&] {
    SerialPort child(line.ports);
    return child.Open(lineSetup(0)) ? 1 : 0;
  });
  EXPECT_EQ(childOpened, 0);
}

TEST_F(SerialPortTest, APortLockedByAnotherProcessIsRefusedUntilReleased) {
  int ready[2];
  int release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const std::string path = line.com1.slavePath();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    const char ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 1 : 0;
    (void)!::write(ready[1], &ok, 1);
    char dummy;
    (void)!::read(release[0], &dummy, 1);
    ::_exit(0);
  }
  char locked = 0;
  ASSERT_EQ(::read(ready[0], &locked, 1), 1);
  ASSERT_EQ(locked, 1);
  EXPECT_FALSE(port.Open(lineSetup(0)));
  EXPECT_FALSE(port.isOpen());
  (void)!::write(release[1], "x", 1);
  ::waitpid(pid, nullptr, 0);
  EXPECT_TRUE(port.Open(lineSetup(0)));
  for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
}

TEST_F(SerialPortTest, ReopeningWithNewSettingsClosesTheFirstPort) {
  ASSERT_TRUE(port.Open(lineSetup(0, 20)));
  ASSERT_TRUE(port.Open(lineSetup(1, 5)));
  EXPECT_EQ(port.readLength(), 5u);
  SerialPort other(line.ports);
  EXPECT_TRUE(other.Open(lineSetup(0))) << "COM1 is still held";
  other.Close();

  line.com2.send({1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(readOnce(), (Bytes{1, 2, 3, 4, 5}));
  // Reopening the same device at another rate works: its own lock goes first.
  ASSERT_TRUE(port.Open(lineSetup(1, 20, 500, 9600)));
  EXPECT_EQ(currentBaudRate(line.com2.slaveFd()), 9600u);
}

TEST_F(SerialPortTest, EveryConfiguredRateReachesTheDriver) {
  for (std::uint32_t rate : {110u, 150u, 300u, 600u, 1200u, 2400u, 4800u, 9600u, 14400u, 19200u,
                             28800u, 38400u, 56000u, 57600u, 115200u, 128000u}) {
    ASSERT_TRUE(port.Open(lineSetup(0, 20, 500, rate))) << rate;
    EXPECT_EQ(currentBaudRate(line.com1.slaveFd()), rate);
  }
  termios t{};
  ASSERT_EQ(::tcgetattr(line.com1.slaveFd(), &t), 0);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
  EXPECT_NE(t.c_iflag & PARMRK, 0u);
  EXPECT_NE(t.c_cflag & CLOCAL, 0u);
}

TEST_F(SerialPortTest, ReadIsCutAtTheReadLengthAndTheRestComesWithTheNextRead) {
  ASSERT_TRUE(port.Open(lineSetup(0, 20)));
  Bytes reply(25);
  for (int i = 0; i < 25; ++i) reply[i] = static_cast<std::uint8_t>(0xF0 + i);  // has FFs
  line.com1.send(reply);
  int result = 0;
  EXPECT_EQ(readOnce(&result), Bytes(reply.begin(), reply.begin() + 20));
  EXPECT_EQ(result, 1);
  EXPECT_EQ(readOnce(&result), Bytes(reply.begin() + 20, reply.end()));
  EXPECT_EQ(result, 1);
}

TEST_F(SerialPortTest, ReadEndsOnTheIntervalTimeoutLongBeforeTheTotal) {
  ASSERT_TRUE(port.Open(lineSetup(0, 20, 2000)));  // interval 20 ms at 19200
  line.com1.send({1, 2, 3, 4, 5});
  const Stopwatch watch;
  int result = 0;
  EXPECT_EQ(readOnce(&result), (Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(result, 1);
  EXPECT_LT(watch.ms(), 1000);
}

TEST_F(SerialPortTest, GapsShorterThanTheIntervalJoinLongerOnesSplit) {
  // 110 baud: an interval time-out of 454 ms, wide enough for a loaded machine.
  ASSERT_TRUE(port.Open(lineSetup(0, 20, 10000, 110)));
  ScriptedResponder far(line.com1.masterFd());
  far.reply({1, 2}).reply({3, 4}, 100ms).reply({5}, 1500ms);
  far.start();
  const Stopwatch watch;
  EXPECT_EQ(readOnce(), (Bytes{1, 2, 3, 4}));
  EXPECT_LT(watch.ms(), 1400);
  EXPECT_EQ(readOnce(), (Bytes{5}));
  EXPECT_TRUE(far.finish());
}

TEST_F(SerialPortTest, SilentLineEndsOnTheTotalTimeoutWithNothingReceived) {
  ASSERT_TRUE(port.Open(lineSetup(0, 20, 200)));
  const Stopwatch watch;
  int result = 0;
  EXPECT_TRUE(readOnce(&result).empty());
  EXPECT_EQ(result, 1) << "a time-out is not a line error";
  EXPECT_GE(watch.ms(), 195);
  EXPECT_LT(watch.ms(), 1500);
}

TEST_F(SerialPortTest, ClosedPortReadAndWriteFailAfterAbout20Ms) {
  std::uint8_t buffer[8] = {};
  std::uint32_t count = 99;
  Stopwatch watch;
  EXPECT_EQ(port.Read(buffer, count), 0);
  EXPECT_EQ(count, 0u);
  EXPECT_GE(watch.ms(), 19);
  EXPECT_LT(watch.ms(), 500);

  count = 99;
  watch = Stopwatch();
  EXPECT_EQ(port.Write(buffer, 8, count), 0);
  EXPECT_EQ(count, 0u);
  EXPECT_GE(watch.ms(), 19);
  EXPECT_LT(watch.ms(), 500);
}

TEST_F(SerialPortTest, InputWaitingBeforeOpenOrBeforeDiscardIsDropped) {
  line.com1.send({9, 9, 9});
  std::this_thread::sleep_for(100ms);  // let the bytes reach the tty
  ASSERT_TRUE(port.Open(lineSetup(0, 20, 100)));
  EXPECT_TRUE(readOnce().empty());

  line.com1.send({8, 8});
  std::this_thread::sleep_for(100ms);
  port.discardInput();
  line.com1.send({7});
  EXPECT_EQ(readOnce(), (Bytes{7}));
}

bool holdsDescriptorOf(const std::string& path) {
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    if (std::filesystem::read_symlink(entry.path(), ec) == path) return true;
  }
  return false;
}

TEST_F(SerialPortTest, VanishedDeviceFailsAtOnceIsReleasedAndCanBeReplaced) {
  ASSERT_TRUE(port.Open(lineSetup(0, 20, 5000)));
  const std::string path = line.com1.slavePath();
  line.com1.hangUp();  // the adapter is unplugged

  Stopwatch watch;
  int result = 1;
  readOnce(&result);
  EXPECT_EQ(result, 0);
  EXPECT_LT(watch.ms(), 1000) << "must not wait out the total time-out";
  EXPECT_FALSE(port.isOpen());
  EXPECT_FALSE(holdsDescriptorOf(path)) << "a dead descriptor keeps the device name taken";
  watch = Stopwatch();
  readOnce(&result);
  EXPECT_GE(watch.ms(), 19) << "later reads wait like any closed port, no spinning";

  // The same for a write, and a reopen on the device that came back works.
  ASSERT_TRUE(port.Open(lineSetup(1, 20, 5000)));
  line.com2.hangUp();
  std::uint32_t written = 0;
  const Bytes frame = {1, 2, 3};
  watch = Stopwatch();
  EXPECT_EQ(port.Write(frame.data(), 3, written), 0);
  EXPECT_LT(watch.ms(), 1000);
  EXPECT_FALSE(port.isOpen());

  PtyPair replugged;
  line.ports.setDevicePath(1, replugged.slavePath());
  ASSERT_TRUE(port.Open(lineSetup(1, 20, 500)));
  ASSERT_TRUE(port.Write(frame.data(), 3, written));
  EXPECT_EQ(replugged.receive(), frame);
}

extern "C" void ignoreSignal(int) {}

TEST_F(SerialPortTest, SignalsDoNotEndARead) {
  struct sigaction action {};
  action.sa_handler = ignoreSignal;  // no SA_RESTART: poll() returns EINTR
  struct sigaction previous {};
  ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);

  ASSERT_TRUE(port.Open(lineSetup(0, 20, 3000)));
  ScriptedResponder far(line.com1.masterFd());
  far.reply({0x11, 0x22, 0x33}, 400ms);
  far.start();
  const pthread_t reader = ::pthread_self();
  std::atomic<bool> reading{true};
  std::thread interrupter([&] {
    for (int i = 0; i < 10 && reading; ++i) {
      std::this_thread::sleep_for(30ms);
      ::pthread_kill(reader, SIGUSR1);
    }
  });
  EXPECT_EQ(readOnce(), (Bytes{0x11, 0x22, 0x33}));
  reading = false;
  interrupter.join();
  EXPECT_TRUE(far.finish());
  ::sigaction(SIGUSR1, &previous, nullptr);
}

}  // namespace
}  // namespace km8::test
