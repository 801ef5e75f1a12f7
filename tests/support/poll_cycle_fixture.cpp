#include "poll_cycle_fixture.h"

namespace km8::test {

PollCycleFixture::PollCycleFixture() : poll(items, mailbox, settings, display, window, messages) {
  poll.attachChart(chart);
  poll.attachSetpointReport(report);
  poll.attachArchiveReading(archive);
  poll.attachSetpointProgramming(programming);
}

void PollCycleFixture::start() {
  mailbox.completeFailed();
  poll.onLinkDone();
}

std::vector<std::uint8_t> PollCycleFixture::standardReply(PollState s) const {
  std::vector<std::uint8_t> data(replyBytesFor(s));
  if (s == PollState::CurrentValuesLow || s == PollState::CurrentValuesHigh) {
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
      data[i] = 0xE7;
      data[i + 1] = 0x00;
    }
  } else {
    for (std::size_t i = 0; i < data.size(); ++i) {
      data[i] = static_cast<std::uint8_t>(mailbox.last().start + i / 2);
    }
  }
  if (s == PollState::CurrentValuesHigh) {
    data[6] = regulation;
    data[7] = alarms;
    data[8] = enabled;
    data[9] = status;
  }
  return data;
}

PollState PollCycleFixture::ok() { return okWith(standardReply(poll.state())); }

PollState PollCycleFixture::okWith(const std::vector<std::uint8_t>& data) {
  mailbox.completeWith(data);
  poll.onLinkDone();
  return poll.state();
}

PollState PollCycleFixture::fail(std::uint16_t writeReplyCode) {
  mailbox.completeFailed(writeReplyCode);
  poll.onLinkDone();
  return poll.state();
}

std::vector<int> PollCycleFixture::okTimes(int n) {
  std::vector<int> states;
  for (int i = 0; i < n; ++i) states.push_back(asInt(ok()));
  return states;
}

void PollCycleFixture::okUntil(PollState s, int limit) {
  for (int i = 0; i < limit && poll.state() != s; ++i) ok();
  ASSERT_EQ(poll.state(), s);
}

}  // namespace km8::test
