#include <gtest/gtest.h>

#include "link/termios_settings.h"

namespace km8 {
namespace {

// What a freshly opened tty typically reports: cooked, echoing, flow control on.
termios cookedTty() {
  termios t{};
  t.c_iflag = ICRNL | IXON | IXANY | IMAXBEL | BRKINT | ISTRIP | IGNPAR;
  t.c_oflag = OPOST | ONLCR;
  t.c_cflag = CS7 | CREAD | HUPCL | CRTSCTS | PARENB;
  t.c_lflag = ICANON | ECHO | ECHOE | ECHOK | ISIG | IEXTEN;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 5;
  cfsetispeed(&t, B9600);
  cfsetospeed(&t, B9600);
  return t;
}

termios attrsFor(const SerialSetup& setup) {
  const auto s = makeTermiosSettings(setup, cookedTty());
  EXPECT_TRUE(s.has_value());
  return s ? s->attrs : termios{};
}

TEST(TermiosSettings, DefaultBlockGivesRawEightNoneOneWithoutFlowControl) {
  const termios t = attrsFor(SerialSetup{});
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS | HUPCL), 0u);
  EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | IGNBRK |
                         IGNPAR | INPCK),
            0u);
  EXPECT_EQ(t.c_iflag & PARMRK, static_cast<tcflag_t>(PARMRK));
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 0);
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
  EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B19200));
}

TEST(TermiosSettings, ParityCodesMapToParityBitsAndCheckingOnlyWithParity) {
  struct Case {
    std::uint8_t parity;
    tcflag_t cflag;
  };
  const Case cases[] = {
      {0, 0},
      {1, PARENB | PARODD},
      {2, PARENB},
      {3, PARENB | PARODD | CMSPAR},  // mark: stick parity, always 1
      {4, PARENB | CMSPAR},           // space: stick parity, always 0
      {5, 0},
      {255, 0},
  };
  for (const Case& c : cases) {
    SerialSetup setup;
    setup.Parity = c.parity;
    const termios t = attrsFor(setup);
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.cflag) << int(c.parity);
    EXPECT_EQ((t.c_iflag & INPCK) != 0, c.cflag != 0) << int(c.parity);
  }
}

TEST(TermiosSettings, DataAndStopBits) {
  const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
  for (std::uint8_t bits = 5; bits <= 8; ++bits) {
    SerialSetup setup;
    setup.DataBits = bits;
    EXPECT_EQ(attrsFor(setup).c_cflag & CSIZE, sizes[bits - 5]);
  }
  for (std::uint8_t stop = 0; stop <= 2; ++stop) {
    SerialSetup setup;
    setup.StopBits = stop;  // one and a half is sent as two
    EXPECT_EQ((attrsFor(setup).c_cflag & CSTOPB) != 0, stop != 0);
  }
}

TEST(TermiosSettings, RefusesBlocksNoPortCanBeOpenedWith) {
  for (auto change :
       {+[](SerialSetup& s) { s.BaudRate = 0; }, +[](SerialSetup& s) { s.DataBits = 4; },
        +[](SerialSetup& s) { s.DataBits = 9; }, +[](SerialSetup& s) { s.StopBits = 3; }}) {
    SerialSetup setup;
    change(setup);
    EXPECT_FALSE(makeTermiosSettings(setup, cookedTty()).has_value());
  }
}

TEST(TermiosSettings, EveryRateOfTheListsIsReachable) {
  // The configuration list and the instrument's own rates.
  const std::uint32_t standard[] = {110,  150,  300,   600,   1200,  2400,
                                    4800, 9600, 19200, 38400, 57600, 115200};
  for (std::uint32_t rate : standard) {
    SerialSetup setup;
    setup.BaudRate = rate;
    const auto s = makeTermiosSettings(setup, cookedTty());
    ASSERT_TRUE(s.has_value()) << rate;
    EXPECT_EQ(s->customRate, 0u) << rate;
    EXPECT_EQ(cfgetospeed(&s->attrs), *standardSpeed(rate)) << rate;
  }
  for (std::uint32_t rate : {14400u, 28800u, 56000u, 128000u}) {
    SerialSetup setup;
    setup.BaudRate = rate;
    const auto s = makeTermiosSettings(setup, cookedTty());
    ASSERT_TRUE(s.has_value()) << rate;
    EXPECT_EQ(s->customRate, rate);
  }
}

}  // namespace
}  // namespace km8
