// The archive reading driven through the main window's logic and the real poll cycle:
// a scripted instrument answers every request; the list and the exports are recorded.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "archives/archive_reading.h"
#include "support/archive_fakes.h"
#include "support/main_window_fixture.h"

namespace km8 {

class ArchiveReadingTest : public test::MainWindowFixture {
 protected:
  ArchiveReadingTest() : reading(settings, logic.pollCycle(), window, list, clock) {
    logic.attachArchiveReading(reading);
    reading.attachExports(exports);
    replyFailed();  // the empty request of start-up; state 2 goes out next
  }

  PollState state() { return logic.pollCycle().state(); }

  void start(ArchiveMode mode, std::uint16_t arcNum) {
    settings.set(&AppSettings::ArcNum, arcNum);
    reading.StartArchiveReading(mode);
  }

  // Answers the outstanding request as the instrument would.
  void serve() {
    const LinkRequest request = mailbox.last();
    using test::recordOf;
    switch (state()) {
      case PollState::CurrentValuesLow:
        reply(lowHalf({231, 232, 233, 234, 235}));
        break;
      case PollState::CurrentValuesHigh:
        reply(highHalf({236, 237, 238}, 0, 0, 0xFF, 0));
        break;
      case PollState::ArchiveAge:
        reply(ageBytes);
        break;
      case PollState::ArchiveFirstHalf:
      case PollState::ArchiveSecondHalf: {
        const std::size_t n = request.start / 2;
        const ArchiveRecord r = n < archive.size() ? archive[n] : recordOf(0xFF, 0xFF);
        const std::size_t from = request.start % 2 == 0 ? 0 : 10;
        reply({r.bytes.begin() + from, r.bytes.begin() + from + 2 * request.countOrValue});
        break;
      }
      default:
        reply(std::vector<std::uint8_t>(10, 0));
        break;
    }
  }

  // Serves until no reading is active and the poll cycle is back to its own reads.
  void serveToTheEnd(int limit = 400) {
    for (int i = 0; i < limit && (reading.readingActive() || archiveState()); ++i) serve();
    ASSERT_FALSE(reading.readingActive());
  }

  void serveUntil(PollState s, int limit = 50) {
    for (int i = 0; i < limit && state() != s; ++i) serve();
    ASSERT_EQ(state(), s);
  }

  // Serves until n more records are listed.
  void readRecords(int n) {
    for (int r = 0; r < n; ++r) {
      serveUntil(PollState::ArchiveFirstHalf);
      serve();
      serve();
    }
  }

  bool archiveState() {
    return state() >= PollState::ArchiveAge && state() <= PollState::ArchiveSecondHalf;
  }

  std::vector<std::string> progress() const {
    std::vector<std::string> out;
    for (const std::string& c : list.captions) {
      const auto at = c.find("  [");
      if (at != std::string::npos) out.push_back(c.substr(at));
    }
    return out;
  }

  // 3 min 20 s: 20 s as 4 ms ticks (5000), then the minutes.
  std::vector<std::uint8_t> ageBytes{0x88, 0x13, 3, 0};
  std::vector<ArchiveRecord> archive;
  test::FakeArchiveList list{&log};
  test::FixedClock clock{test::utcInstant(2026, 3, 7, 14, 5, 0)};
  test::RecordingExports exports{&log};
  ArchiveReading reading;
};

}  // namespace km8
