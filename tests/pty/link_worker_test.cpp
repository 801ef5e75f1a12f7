// The link worker on a real serial port (a pseudo-terminal) against a line server the
// test scripts: attempts, completions, pauses, reopening, failure counting, stopping.
#include "link/link_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/framing_under_test.h"
#include "support/line_server.h"
#include "support/link_fakes.h"
#include "support/pty_pair.h"

namespace km8 {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::LineAnswer;
using test::withCrc;

// Five input registers from slave 1 at register 0, and a valid answer to it.
const Bytes kReadRequest = withCrc({0x01, 0x04, 0x00, 0x00, 0x00, 0x05});
const Bytes kReadReply = withCrc({0x01, 0x04, 0x0A, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0});

LinkRequest readRequest() { return {1, 4, 0, 5, nullptr}; }

class LinkWorkerTest : public ::testing::Test {
 protected:
  LinkWorkerTest() : timing(log), host(log) {
    ports.setDevicePath(1, pty.slavePath());
    settings.set(&AppSettings::FastFraming, test::FastFramingUnderTest());
  }

  ~LinkWorkerTest() override {
    worker.reset();  // the worker stops before the line server goes
    server.reset();
  }

  void serve(test::LineServer::Handler handler) {
    server = std::make_unique<test::LineServer>(pty.masterFd(), std::move(handler));
  }
  void serveSilently() {
    serve([](int, const Bytes&) { return LineAnswer{}; });
  }

  // Starts the worker and lets it open the port and complete its start-up request.
  void startWorker() {
    worker = std::make_unique<LinkWorker>(settings, ports, host, timing);
    worker->setTrafficTrace(trace);
    ASSERT_TRUE(worker->start());
    worker->RequestReconfigure();
    ASSERT_TRUE(waitForCompletions(1));
    std::uint8_t count = 0;
    EXPECT_EQ(worker->TakeReply(count), nullptr);  // the empty request fails
  }

  bool waitForCompletions(int n) {
    return log.waitFor([&](const auto&) { return host.completions() >= n; });
  }

  // Submits and waits for the completion; returns the reply (empty on failure).
  std::pair<bool, Bytes> transact(const LinkRequest& request) {
    const int before = host.completions();
    worker->SubmitRequest(request);
    EXPECT_TRUE(waitForCompletions(before + 1));
    EXPECT_TRUE(worker->IsTransactionDone());
    std::uint8_t count = 0;
    const std::uint8_t* data = worker->TakeReply(count);
    if (!data) return {false, {}};
    return {true, Bytes(data, data + count)};
  }

  // The log entries after the last "done" up to and including the first wait after it.
  std::vector<std::string> afterLastCompletion() {
    log.waitFor([](const auto& entries) {
      const auto done = std::find(entries.rbegin(), entries.rend(), "done");
      return done != entries.rend() &&
             std::any_of(entries.rbegin(), done, [](const auto& e) { return e == "wait 50"; });
    });
    auto entries = log.entries();
    auto done = std::find(entries.rbegin(), entries.rend(), "done").base();
    auto wait = std::find(done, entries.end(), "wait 50");
    return {done, wait == entries.end() ? wait : wait + 1};
  }

  test::PtyPair pty;
  PortMap ports;
  SharedSettings settings;
  test::WorkerLog log;
  test::LoggingTiming timing;
  test::LoggingTiming realTiming{log, 1};
  test::RecordingLinkHost host;
  std::unique_ptr<test::LineServer> server;
  TrafficTrace* trace = nullptr;
  std::unique_ptr<LinkWorker> worker;
};

// Trace lines as the worker thread writes them.
class RecordingTrace final : public TrafficTrace {
 public:
  void write(std::string_view line) override {
    std::lock_guard lock(mutex_);
    lines_.emplace_back(line);
  }
  std::vector<std::string> lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

// One line per attempt that went on the line, with its outcome and attempt number;
// the empty start-up request sends nothing and leaves no line.
TEST_F(LinkWorkerTest, TheTraceHasALinePerAttemptWithTheAccessCodeMasked) {
  RecordingTrace recorded;
  trace = &recorded;
  serve([](int n, const Bytes& request) {
    return n == 1 ? LineAnswer{} : LineAnswer{n == 2 ? kReadReply : request};
  });
  startWorker();
  EXPECT_TRUE(transact(readRequest()).first);
  EXPECT_TRUE(transact({1, 6, 12, 0x3412, nullptr}).first);  // the access code, echoed

  const auto lines = recorded.lines();
  ASSERT_EQ(lines.size(), 3u);
  const std::string tx = "TX " + test::hex(kReadRequest);
  EXPECT_NE(lines[0].find(tx + " RX - time-out attempt 1"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find(tx + " RX " + test::hex(kReadReply) + " ok attempt 2"), std::string::npos)
      << lines[1];
  EXPECT_NE(lines[2].find("TX 01 06 00 0C ** ** ** ** RX 01 06 00 0C ** ** ** ** ok attempt 1"),
            std::string::npos)
      << lines[2];
}

TEST_F(LinkWorkerTest, ASilentInstrumentGetsTimeoutsAttemptsAndOneCompletion) {
  serveSilently();
  startWorker();
  auto [ok, data] = transact(readRequest());
  EXPECT_FALSE(ok);
  ASSERT_EQ(server->count(), 3);
  for (const Bytes& request : server->requests()) EXPECT_EQ(request, kReadRequest);
  EXPECT_EQ(host.completions(), 2);  // start-up request and this one
}

TEST_F(LinkWorkerTest, AnAnsweredRequestCompletesAtOnceWithTheReplyData) {
  serve([](int, const Bytes&) { return LineAnswer{kReadReply}; });
  startWorker();
  auto [ok, data] = transact(readRequest());
  ASSERT_TRUE(ok);
  EXPECT_EQ(data, Bytes({1, 0, 2, 0, 3, 0, 4, 0, 5, 0}));
  EXPECT_EQ(server->count(), 1);
}

TEST_F(LinkWorkerTest, RetriesStopAtTheFirstSuccess) {
  serve([](int n, const Bytes&) { return n == 2 ? LineAnswer{kReadReply} : LineAnswer{}; });
  startWorker();
  EXPECT_TRUE(transact(readRequest()).first);
  EXPECT_EQ(server->count(), 2);
}

TEST_F(LinkWorkerTest, TimeoutsZeroSendsARequestOnce) {
  settings.set(&AppSettings::Timeouts, 0);
  serveSilently();
  startWorker();
  EXPECT_FALSE(transact(readRequest()).first);
  EXPECT_EQ(server->count(), 1);
}

TEST_F(LinkWorkerTest, TheAccessCodeWriteIsAttemptedOnceWhateverTimeouts) {
  settings.set(&AppSettings::Timeouts, 255);  // an 8-bit attempt counter would wrap here
  serve([](int n, const Bytes&) {
    // The first write is refused with exception 3, the second meets silence.
    return n == 1 ? LineAnswer{withCrc({0x01, 0x86, 0x03})} : LineAnswer{};
  });
  startWorker();

  EXPECT_FALSE(transact({1, 6, 12, 0x3412, nullptr}).first);
  EXPECT_EQ(server->count(), 1);
  EXPECT_EQ(server->requests()[0], withCrc({0x01, 0x06, 0x00, 0x0C, 0x34, 0x12}));
  EXPECT_EQ(worker->WriteRegisterReplyCode(), 902);

  EXPECT_FALSE(transact({1, 6, 12, 0x3412, nullptr}).first);
  EXPECT_EQ(server->count(), 2);
  EXPECT_EQ(worker->WriteRegisterReplyCode(), 0);
}

TEST_F(LinkWorkerTest, OtherSingleRegisterWritesAreRetried) {
  settings.set(&AppSettings::Timeouts, 2);
  serveSilently();
  startWorker();
  EXPECT_FALSE(transact({1, 6, 13, 7, nullptr}).first);
  EXPECT_EQ(server->count(), 2);
}

TEST_F(LinkWorkerTest, EmptyAndUnknownKindsFailAfterFiftyMillisecondsWithoutSending) {
  serveSilently();
  startWorker();
  for (std::uint8_t kind : {0, 12, 255}) {
    EXPECT_FALSE(transact({1, kind, 0, 5, nullptr}).first) << int(kind);
    const auto entries = log.entries();
    const auto done = std::find(entries.rbegin(), entries.rend(), "done");
    ASSERT_NE(done, entries.rend());
    EXPECT_EQ(*std::next(done), "sleep 50") << int(kind);
  }
  EXPECT_EQ(server->count(), 0);
}

TEST_F(LinkWorkerTest, ABlockWriteSendsTheBytesSubmittedEvenIfTheCallerReusesItsBuffer) {
  serve([](int n, const Bytes& r) {
    return n == 1 ? LineAnswer{withCrc({r[0], r[1], r[2], r[3], r[4], r[5]})} : LineAnswer{};
  });
  startWorker();
  std::uint8_t block[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  const int before = host.completions();
  worker->SubmitRequest({1, 8, 12, 5, block});
  std::fill(std::begin(block), std::end(block), 0xEE);
  ASSERT_TRUE(waitForCompletions(before + 1));
  // 17 bytes do not fit the 8-byte cutting of the line server: look at the raw line.
  std::uint8_t count = 0;
  (void)worker->TakeReply(count);
  const Bytes expected =
      withCrc({0x01, 0x10, 0x00, 0x0C, 0x00, 0x05, 0x0A, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  // The echo answers the first cut, so the rest of the request may still be on its way
  // to the server when the transaction completes.
  Bytes seen;
  for (int i = 0; i < 2000 && seen.size() < 16u; ++i) {
    if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    seen.clear();
    for (const Bytes& r : server->requests()) seen.insert(seen.end(), r.begin(), r.end());
  }
  ASSERT_GE(seen.size(), 16u);
  EXPECT_TRUE(std::equal(seen.begin(), seen.begin() + 16, expected.begin()));
}

TEST_F(LinkWorkerTest, PollDelayIsSleptInSlicesOf200) {
  serve([](int, const Bytes&) { return LineAnswer{kReadReply}; });
  startWorker();
  const std::vector<std::pair<int, std::vector<std::string>>> cases = {
      {1000, {"sleep 200", "sleep 200", "sleep 200", "sleep 200", "sleep 200"}},
      {210, {"sleep 200"}},
      {150, {"sleep 150"}},
      {14, {}},
      {10, {}},
  };
  for (const auto& [delay, slices] : cases) {
    settings.set(&AppSettings::PollDelay, delay);
    ASSERT_TRUE(transact(readRequest()).first);
    std::vector<std::string> expected = {"sleep 0"};
    expected.insert(expected.end(), slices.begin(), slices.end());
    expected.push_back("wait 50");
    EXPECT_EQ(afterLastCompletion(), expected) << "PollDelay " << delay;
  }
}

TEST_F(LinkWorkerTest, AReconfigurationDuringAPauseCancelsTheRestOfIt) {
  serve([](int, const Bytes&) { return LineAnswer{kReadReply}; });
  startWorker();
  settings.set(&AppSettings::PollDelay, 1000);
  std::atomic<int> slices{0};
  const auto hook = timing.onSleep([&](unsigned ms) {
    if (ms == 200 && ++slices == 2) worker->RequestReconfigure();
  });
  settings.update([](AppSettings& s) { s.SerialSetup.TotalTimeoutMs = 999; });
  ASSERT_TRUE(transact(readRequest()).first);
  EXPECT_EQ(afterLastCompletion(),
            (std::vector<std::string>{"sleep 0", "sleep 200", "sleep 200", "wait 50"}));
  EXPECT_EQ(settings.get(&AppSettings::SerialSetup).TotalTimeoutMs, 213u);  // reopened
}

TEST_F(LinkWorkerTest, AReconfigurationWithARequestOutstandingCarriesItOutAgain) {
  std::atomic<LinkWorker*> target{nullptr};
  serve([&](int n, const Bytes&) {
    if (n == 1) target.load()->RequestReconfigure();
    return LineAnswer{};
  });
  startWorker();
  target = worker.get();
  EXPECT_FALSE(transact(readRequest()).first);
  // One attempt before the reopening, then a full set of attempts on the new port.
  EXPECT_EQ(server->count(), 4);
}

TEST_F(LinkWorkerTest, AnAnsweredRequestIsNeverSentAgainByAReconfiguration) {
  serve([](int, const Bytes& r) {
    return LineAnswer{withCrc({r[0], r[1], r[2], r[3], r[4], r[5]})};
  });
  startWorker();
  // The code write was answered and its reply taken; the next request is not yet
  // submitted when the port is reopened (a changed baud rate is adopted right there).
  ASSERT_TRUE(transact({1, 6, 12, 0x3412, nullptr}).first);
  settings.update([](AppSettings& s) { s.SerialSetup.TotalTimeoutMs = 999; });
  const std::size_t mark = log.size();
  worker->RequestReconfigure();
  // Three idle turns of the worker after the reopening.
  ASSERT_TRUE(log.waitFor([&](const auto& entries) {
    return std::count(entries.begin() + mark, entries.end(), "wait 50") >= 3;
  }));
  EXPECT_EQ(settings.get(&AppSettings::SerialSetup).TotalTimeoutMs, 213u);  // reopened
  EXPECT_EQ(server->count(), 1);
  EXPECT_EQ(host.completions(), 2);
  EXPECT_FALSE(worker->IsTransactionDone());
}

TEST_F(LinkWorkerTest, The201stConsecutiveFailedAttemptReopensThePortSilently) {
  std::mutex mutex;
  std::vector<int> dataBitsSeen;
  serve([&](int, const Bytes&) {
    std::lock_guard lock(mutex);
    dataBitsSeen.push_back(settings.get(&AppSettings::SerialSetup).DataBits);
    return LineAnswer{Bytes(20, 0x55)};  // fills the read at once and fails its checks
  });
  startWorker();
  // Marks the settings: only a reopening of the recovery puts 8 data bits back.
  settings.update([](AppSettings& s) { s.SerialSetup.DataBits = 7; });
  for (int i = 0; i < 68; ++i) ASSERT_FALSE(transact(readRequest()).first);
  std::lock_guard lock(mutex);
  ASSERT_EQ(dataBitsSeen.size(), 204u);
  EXPECT_EQ(dataBitsSeen[200], 7);  // the 201st attempt still ran on the old port
  EXPECT_EQ(dataBitsSeen[201], 8);  // reopened before the 202nd
  EXPECT_TRUE(host.messages().empty());
}

TEST_F(LinkWorkerTest, ASuccessResetsTheCountOfFailedAttempts) {
  std::atomic<bool> answer{false};
  serve([&](int, const Bytes&) { return LineAnswer{answer ? kReadReply : Bytes(20, 0x55)}; });
  startWorker();
  settings.update([](AppSettings& s) { s.SerialSetup.DataBits = 7; });
  for (int i = 0; i < 50; ++i) ASSERT_FALSE(transact(readRequest()).first);  // 150 failures
  answer = true;
  ASSERT_TRUE(transact(readRequest()).first);
  answer = false;
  for (int i = 0; i < 50; ++i) ASSERT_FALSE(transact(readRequest()).first);  // 150 more
  EXPECT_EQ(settings.get(&AppSettings::SerialSetup).DataBits, 7);            // never reopened
}

TEST_F(LinkWorkerTest, AMissingPortIsReportedWithItsNumberAndTheWorkerGoesOn) {
  ports.setDevicePath(1, "/nonexistent/km8-port");
  host.published = false;
  worker = std::make_unique<LinkWorker>(settings, ports, host, timing);
  ASSERT_TRUE(worker->start());
  worker->RequestReconfigure();
  // Two seconds' wait for the window before the box, and two more before the
  // completion of the start-up request, which is then not posted (the watchdog
  // finds it) but is done.
  ASSERT_TRUE(log.waitFor([](const auto& entries) {
    return std::count(entries.begin(), entries.end(), "sleep 100") == 40 &&
           entries.back() == "wait 50";
  }));
  EXPECT_TRUE(worker->IsTransactionDone());
  EXPECT_EQ(host.completions(), 0);

  auto messages = host.messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Неможливо відкрити порт COM2");
  EXPECT_EQ(messages[0].caption, "KM410-8");
  EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
  EXPECT_EQ(messages[0].buttons, MessageButtons::Ok);
  EXPECT_FALSE(messages[0].ownedByMainWindow);  // no window after two seconds

  std::uint8_t count = 0;
  EXPECT_EQ(worker->TakeReply(count), nullptr);
  host.published = true;
  settings.update([](AppSettings& s) { s.SerialSetup.PortIndex = 8; });
  worker->RequestReconfigure();
  ASSERT_TRUE(log.waitFor([&](const auto&) { return host.messages().size() == 2; }));
  EXPECT_EQ(host.messages()[1].text, "Неможливо відкрити порт COM9");
  EXPECT_TRUE(host.messages()[1].ownedByMainWindow);
  EXPECT_FALSE(transact(readRequest()).first);  // every attempt fails on the closed port
}

TEST_F(LinkWorkerTest, RequestReconfigureWaitsForTheWorkersEvents) {
  worker = std::make_unique<LinkWorker>(settings, ports, host, timing);
  std::atomic<int> steps{0};
  const auto hook = timing.onSleep([&](unsigned ms) {
    if (ms == 200 && ++steps == 3) {
      ASSERT_TRUE(worker->start());
      while (!worker->eventsCreated()) std::this_thread::yield();
    }
  });
  serveSilently();
  worker->RequestReconfigure();
  EXPECT_EQ(steps, 3);
  EXPECT_TRUE(waitForCompletions(1));  // the port opened and the empty request ran
  EXPECT_TRUE(host.messages().empty());
}

TEST_F(LinkWorkerTest, RequestReconfigureWithoutAWorkerEndsTheProcessAfterTwentySeconds) {
  LinkWorker idle(settings, ports, host, timing);
  EXPECT_FALSE(idle.IsTransactionDone());
  idle.RequestReconfigure();
  const auto entries = log.entries();
  EXPECT_EQ(std::count(entries.begin(), entries.end(), "sleep 200"), 100);
  ASSERT_EQ(host.messages().size(), 1u);
  EXPECT_EQ(host.messages()[0].text, "INTERNAL ERROR !");
  EXPECT_EQ(host.messages()[0].icon, MessageIcon::Error);
  EXPECT_EQ(entries.back(), "end 0");
}

TEST_F(LinkWorkerTest, NoMasterEndsTheProcessWithAnInternalError) {
  LinkWorker broken(settings, ports, host, timing, [](const PortMap&) { return nullptr; });
  ASSERT_TRUE(broken.start());
  ASSERT_TRUE(broken.waitForExit(5s));
  ASSERT_EQ(host.messages().size(), 1u);
  EXPECT_EQ(host.messages()[0].text, "INTERNAL ERROR !");
  EXPECT_EQ(log.entries().back(), "end 0");
}

TEST_F(LinkWorkerTest, StopIsNoticedWhileRetryingASilentInstrument) {
  settings.set(&AppSettings::Timeouts, 255);
  serveSilently();
  startWorker();
  worker->SubmitRequest(readRequest());
  ASSERT_TRUE(log.waitFor([&](const auto&) { return server->count() >= 2; }));
  worker->Stop();
  EXPECT_TRUE(worker->waitForExit(5s));
  EXPECT_LE(server->count(), 3);  // at most the attempt under way when Stop came
}

TEST_F(LinkWorkerTest, ALateReplyIsNotTakenForTheNextTransaction) {
  settings.set(&AppSettings::Timeouts, 1);
  settings.set(&AppSettings::PollDelay, 1000);  // the late reply lands during the pause
  const Bytes secondReply = withCrc({0x01, 0x04, 0x0A, 9, 0, 9, 0, 9, 0, 9, 0, 9, 0});
  serve([secondReply](int n, const Bytes&) {
    if (n == 1) return LineAnswer{kReadReply, 600ms};  // well after the 213 ms time-out
    return LineAnswer{secondReply};
  });
  // Real time: the pause must really let the late reply land.
  worker = std::make_unique<LinkWorker>(settings, ports, host, realTiming);
  ASSERT_TRUE(worker->start());
  worker->RequestReconfigure();
  ASSERT_TRUE(waitForCompletions(1));
  std::uint8_t count = 0;
  (void)worker->TakeReply(count);

  EXPECT_FALSE(transact(readRequest()).first);
  auto [ok, data] = transact(readRequest());
  ASSERT_TRUE(ok);
  EXPECT_EQ(data, Bytes(secondReply.begin() + 3, secondReply.end() - 2));
}

}  // namespace
}  // namespace km8
