// The one thread that talks to the instrument: it carries out the request of the
// single-slot mailbox with retries, pauses between transactions and reopens the port.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "config/app_settings.h"
#include "config/port_map.h"
#include "link/link_host.h"
#include "link/link_mailbox.h"
#include "link/link_timing.h"
#include "link/manual_reset_event.h"
#include "link/modbus_master.h"
#include "link/request_dispatch.h"
#include "link/traffic_trace.h"

namespace km8 {

// The user-interface thread uses the LinkMailbox side and RequestReconfigure; the worker
// thread runs run(). Everything the two share is behind a lock or an event, so the
// settings, the mailbox and the results never race.
class LinkWorker final : public LinkMailbox {
 public:
  // Makes the worker's master; may return nullptr, which ends the process as an
  // internal error. The default makes a ModbusMaster on the port map.
  using MasterFactory = std::function<std::unique_ptr<ModbusMaster>(const PortMap&)>;

  LinkWorker(SharedSettings& settings, const PortMap& ports, LinkHost& host, LinkTiming& timing,
             MasterFactory makeMaster = {});
  ~LinkWorker() override;  // stops the thread if it still runs and waits for it
  LinkWorker(const LinkWorker&) = delete;
  LinkWorker& operator=(const LinkWorker&) = delete;

  // Starts the thread; false when it could not be created.
  bool start();
  // Sets StopEvent: the thread ends at the top of its loop.
  void Stop();
  // Waits up to `timeout` for the thread to end; true when it has ended (or never ran).
  bool waitForExit(std::chrono::milliseconds timeout);
  // Gives up on a thread that did not stop: it is left to end with the process. The
  // worker object must then stay alive until the process ends.
  void abandon();

  // LinkMailbox, on the user-interface thread.
  void SubmitRequest(const LinkRequest& request) override;
  bool IsTransactionDone() const override;
  const std::uint8_t* TakeReply(std::uint8_t& byteCount) override;
  std::uint16_t WriteRegisterReplyCode() const override;

  // Sets ReconfigureEvent. Before the worker has created its events it waits for them
  // in 200 ms steps, up to 100 steps; then "INTERNAL ERROR !" ends the process.
  void RequestReconfigure();

  // Where each transaction on the line is written, by the worker thread; set before
  // start(). Null (the default): no trace.
  void setTrafficTrace(TrafficTrace* trace) { trace_ = trace; }

  // Whether the worker thread has created its events (and so can take requests).
  bool eventsCreated() const { return eventsCreated_; }

  // The thread's body (public so that a test can run it on a thread of its own).
  void run();

 private:
  void mainLoop(ModbusMaster& master);
  void reopen(ModbusMaster& master);
  void reopenSilently(ModbusMaster& master);
  void complete(const LinkResults& results);
  void traceAttempt(const ModbusMaster& master, unsigned attemptNumber);
  bool waitForMainWindow();
  void internalError();

  SharedSettings& settings_;
  const PortMap& ports_;
  LinkHost& host_;
  LinkTiming& timing_;
  MasterFactory makeMaster_;
  TrafficTrace* trace_ = nullptr;

  // The worker "creates" its events when its thread starts: until then the mailbox
  // reports nothing done and RequestReconfigure waits.
  std::atomic<bool> eventsCreated_{false};
  ManualResetEvent stopEvent_;
  ManualResetEvent requestEvent_;
  ManualResetEvent doneEvent_;
  ManualResetEvent reconfigureEvent_;

  // The mailbox and the results, each written by one thread and read by the other.
  mutable std::mutex mailboxMutex_;
  LinkRequest request_;
  bool outstanding_ = true;  // submitted and not yet completed (at start: the empty request)
  std::array<std::uint8_t, 256> requestData_{};  // copy of the caller's outgoing bytes
  LinkResults results_;

  // The user-interface thread's copy of the last reply taken.
  std::array<std::uint8_t, 256> taken_{};

  // Worker-private counters.
  unsigned attemptCount_ = 0;
  unsigned failedAttempts_ = 0;
  unsigned remainingPauseMs_ = 0;

  std::thread thread_;
  std::mutex exitMutex_;
  std::condition_variable exitChanged_;
  bool exited_ = false;
  bool abandoned_ = false;
};

}  // namespace km8
