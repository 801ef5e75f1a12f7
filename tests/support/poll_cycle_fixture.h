// A poll cycle wired to the scripted mailbox and recording fakes, with helpers that
// play the link worker: complete the outstanding request and deliver the completion.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "config/app_settings.h"
#include "event_log.h"
#include "fake_features.h"
#include "fake_link_mailbox.h"
#include "monitor/poll_cycle.h"
#include "scripted_message_host.h"

namespace km8::test {

class PollCycleFixture : public ::testing::Test {
 protected:
  PollCycleFixture();

  // The empty request of start-up completes (as a failure) and is dispatched.
  void start();
  // The outstanding request succeeds with the fixture's standard reply for its state,
  // or with the given bytes; the completion is delivered. Returns the next state.
  PollState ok();
  PollState okWith(const std::vector<std::uint8_t>& data);
  PollState fail(std::uint16_t writeReplyCode = 0);
  // Runs n transactions that all succeed; returns the states they led to.
  std::vector<int> okTimes(int n);
  // Succeeds until the poll cycle reaches state s (at most `limit` transactions).
  void okUntil(PollState s, int limit = 20);
  int state() const { return static_cast<int>(poll.state()); }

  // The standard reply of a state: channel temperatures 23.1 (0xE7 0x00), the
  // outputs, enabled channels and status below for state 2, and the register number
  // in both bytes elsewhere.
  std::vector<std::uint8_t> standardReply(PollState s) const;
  std::uint8_t regulation = 0x05, alarms = 0x02, enabled = 0xFF, status = 0x00;

  EventLog log;
  PollItems items;
  FakeLinkMailbox mailbox;
  SharedSettings settings;
  RecordingLiveDisplay display{&log};
  FakeMainWindowHost window{&log};
  ScriptedMessageHost messages{&log};
  RecordingChart chart{&log};
  FakeSetpointReport report{&log};
  FakeArchiveReading archive{&log};
  FakeSetpointProgramming programming{&log};
  PollCycle poll;
};

inline int asInt(PollState s) { return static_cast<int>(s); }

}  // namespace km8::test
