#include "link/link_worker.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>


namespace km8 {
namespace {

constexpr char kCaption[] = "KM410-8";
constexpr char kPortOpenFailed[] = "Неможливо відкрити порт COM%d";  // with the COM port's number
constexpr char kInternalError[] = "INTERNAL ERROR !";

constexpr unsigned kPauseSliceMs = 200;
constexpr unsigned kRequestWaitMs = 50;
constexpr unsigned kFailuresBeforeSilentReopen = 200;
constexpr unsigned kMainWindowWaitMs = 100;
constexpr int kMainWindowWaitSteps = 20;
constexpr unsigned kEventWaitStepMs = 200;
constexpr int kEventWaitSteps = 100;
constexpr std::uint16_t kAccessCodeRegister = 12;

std::string portOpenFailedText(unsigned portIndex) {
  char text[sizeof kPortOpenFailed + 16];
  std::snprintf(text, sizeof text, kPortOpenFailed, static_cast<int>(portIndex) + 1);
  return text;
}

}  // namespace

LinkWorker::LinkWorker(SharedSettings& settings, const PortMap& ports, LinkHost& host,
                       LinkTiming& timing, MasterFactory makeMaster)
    : settings_(settings),
      ports_(ports),
      host_(host),
      timing_(timing),
      makeMaster_(makeMaster ? std::move(makeMaster)
                             : [](const PortMap& p) { return std::make_unique<ModbusMaster>(p); }) {
}

LinkWorker::~LinkWorker() {
  if (!thread_.joinable()) return;
  if (abandoned_) {
    thread_.detach();
    return;
  }
  Stop();
  thread_.join();
}

bool LinkWorker::start() {
  try {
    thread_ = std::thread([this] { run(); });
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

void LinkWorker::Stop() { stopEvent_.set(); }

bool LinkWorker::waitForExit(std::chrono::milliseconds timeout) {
  if (!thread_.joinable()) return true;
  std::unique_lock lock(exitMutex_);
  if (!exitChanged_.wait_for(lock, timeout, [this] { return exited_; })) return false;
  lock.unlock();
  thread_.join();
  return true;
}

void LinkWorker::abandon() { abandoned_ = true; }

// ---- user-interface thread ----

void LinkWorker::SubmitRequest(const LinkRequest& request) {
  {
    std::lock_guard lock(mailboxMutex_);
    request_ = request;
    outstanding_ = true;
    // The outgoing bytes are copied, so the caller's buffer is free again at once and
    // a repeat after a reopening sends exactly what was submitted.
    const std::size_t n = request.data ? OutgoingBytes(request) : 0;
    if (n > 0) std::memcpy(requestData_.data(), request.data, n);
    request_.data = n > 0 ? requestData_.data() : nullptr;
  }
  doneEvent_.reset();
  requestEvent_.set();
}

bool LinkWorker::IsTransactionDone() const { return eventsCreated_ && doneEvent_.isSet(); }

const std::uint8_t* LinkWorker::TakeReply(std::uint8_t& byteCount) {
  doneEvent_.reset();
  std::lock_guard lock(mailboxMutex_);
  if (!results_.success) {
    byteCount = 0;
    return nullptr;
  }
  byteCount = results_.byteCount;
  std::copy_n(results_.data.begin(), results_.byteCount, taken_.begin());
  return taken_.data();
}

std::uint16_t LinkWorker::WriteRegisterReplyCode() const {
  std::lock_guard lock(mailboxMutex_);
  return results_.writeRegisterReplyCode;
}

void LinkWorker::RequestReconfigure() {
  for (int step = 0; !eventsCreated_; ++step) {
    if (step == kEventWaitSteps) {
      internalError();
      return;
    }
    timing_.sleepMs(kEventWaitStepMs);
  }
  reconfigureEvent_.set();
}

// ---- worker thread ----

void LinkWorker::run() {
  std::unique_ptr<ModbusMaster> master = makeMaster_(ports_);
  if (!master) {
    internalError();
  } else {
    {
      std::lock_guard lock(mailboxMutex_);
      request_.kind = 0;
    }
    attemptCount_ = failedAttempts_ = remainingPauseMs_ = 0;
    master->recordExchanges(trace_ != nullptr);
    eventsCreated_ = true;
    mainLoop(*master);
  }
  master.reset();  // closes the port
  {
    std::lock_guard lock(exitMutex_);
    exited_ = true;
  }
  exitChanged_.notify_all();
}

void LinkWorker::mainLoop(ModbusMaster& master) {
  LinkResults results;
  for (;;) {
    if (stopEvent_.isSet()) return;

    if (reconfigureEvent_.isSet()) {
      reopen(master);  // cancels a pending pause and goes straight to the request wait
    } else if (remainingPauseMs_ > 0) {
      if (remainingPauseMs_ >= kPauseSliceMs) {
        timing_.sleepMs(kPauseSliceMs);
        remainingPauseMs_ -= kPauseSliceMs;
      } else {
        if (remainingPauseMs_ >= 15) timing_.sleepMs(remainingPauseMs_);
        remainingPauseMs_ = 0;
      }
      continue;
    }

    if (!timing_.waitMs(requestEvent_, kRequestWaitMs)) {
      timing_.sleepMs(0);
      continue;
    }

    LinkRequest request;
    std::array<std::uint8_t, 256> data;
    {
      std::lock_guard lock(mailboxMutex_);
      if (request_.kind > static_cast<std::uint8_t>(RequestKind::ReturnQueryData))
        request_.kind = 0;
      request = request_;
      if (request.data) {
        data = requestData_;
        request.data = data.data();
      }
    }

    const std::uint64_t onLineBefore = master.exchangeCount();
    const bool ok = CarryOut(master, request, request.data, timing_, results);
    if (trace_ && master.exchangeCount() != onLineBefore) traceAttempt(master, attemptCount_ + 1);
    if (request.kind == static_cast<std::uint8_t>(RequestKind::WriteSingleRegister) &&
        request.start == kAccessCodeRegister) {
      // A wrong access code costs the instrument an attempt: never repeat this write.
      attemptCount_ = settings_.get(&AppSettings::Timeouts);
    }
    ++attemptCount_;
    const bool empty = request.kind == 0;
    if (ok || empty || attemptCount_ >= settings_.get(&AppSettings::Timeouts)) complete(results);

    if (ok || empty) {
      failedAttempts_ = 0;
    } else if (++failedAttempts_ > kFailuresBeforeSilentReopen) {
      failedAttempts_ = 0;
      reopenSilently(master);
    }
  }
}

void LinkWorker::complete(const LinkResults& results) {
  attemptCount_ = 0;
  remainingPauseMs_ = settings_.get(&AppSettings::PollDelay);
  {
    std::lock_guard lock(mailboxMutex_);
    results_ = results;
    outstanding_ = false;
  }
  requestEvent_.reset();
  doneEvent_.set();
  if (waitForMainWindow()) {
    host_.postLinkDone();
    timing_.sleepMs(0);
  }
}

void LinkWorker::traceAttempt(const ModbusMaster& master, unsigned attemptNumber) {
  const ModbusMaster::Exchange& e = master.lastExchange();
  trace_->write(FormatTraceLine(std::chrono::steady_clock::now().time_since_epoch(),
                                {e.request.data(), e.requestLength},
                                {e.reply.data(), e.replyLength}, attemptNumber));
}

void LinkWorker::reopen(ModbusMaster& master) {
  reconfigureEvent_.reset();
  master.setFastFraming(settings_.get(&AppSettings::FastFraming) != 0);
  const SerialSetup setup = settings_.update([](AppSettings& s) {
    s.SerialSetup.TotalTimeoutMs = ComputeTotalTimeoutMs(s.SerialSetup);
    return s.SerialSetup;
  });
  if (!master.Open(setup)) {
    const bool owned = waitForMainWindow();
    host_.showBlockingMessage({.text = portOpenFailedText(setup.PortIndex),
                               .caption = kCaption,
                               .icon = MessageIcon::Warning,
                               .ownedByMainWindow = owned});
  }
  // A request not yet answered is carried out (again) on the new port. One that was
  // answered is never sent twice, even when its reply has already been taken: a repeated
  // write would program the instrument a second time.
  bool repeat = false;
  {
    std::lock_guard lock(mailboxMutex_);
    repeat = outstanding_;
  }
  if (repeat) requestEvent_.set();
  attemptCount_ = failedAttempts_ = remainingPauseMs_ = 0;
}

void LinkWorker::reopenSilently(ModbusMaster& master) {
  const SerialSetup setup = settings_.update([](AppSettings& s) {
    s.SerialSetup.DataBits = 8;
    s.SerialSetup.FrameLength = 20;
    s.SerialSetup.TotalTimeoutMs = ComputeTotalTimeoutMs(s.SerialSetup);
    return s.SerialSetup;
  });
  master.setFastFraming(settings_.get(&AppSettings::FastFraming) != 0);
  master.Open(setup);
}

bool LinkWorker::waitForMainWindow() {
  for (int step = 0; !host_.mainWindowPublished(); ++step) {
    if (step == kMainWindowWaitSteps) return false;
    timing_.sleepMs(kMainWindowWaitMs);
  }
  return true;
}

void LinkWorker::internalError() {
  host_.showBlockingMessage({.text = kInternalError,
                             .caption = kCaption,
                             .icon = MessageIcon::Error,
                             .ownedByMainWindow = host_.mainWindowPublished()});
  host_.endProcess(0);
}

}  // namespace km8
