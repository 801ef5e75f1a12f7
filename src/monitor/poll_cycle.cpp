#include "monitor/poll_cycle.h"

#include <algorithm>
#include <array>

namespace km8 {

namespace {

constexpr std::uint16_t kAccessCodeRefused = 902;  // exception 3 to the function-6 write
constexpr int kArchiveSilentRetries = 3;           // the third failure in a row is shown

bool isFeatureState(PollState s) {
  return s == PollState::ReportStep || (s >= PollState::ArchiveAge && s <= PollState::AccessCode);
}

// Guards a flag for the duration of a scope, restoring it even if a handler throws.
class ScopedFlag {
 public:
  explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~ScopedFlag() { flag_ = false; }
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;

 private:
  bool& flag_;
};

}  // namespace

Message linkFailurePrompt() {
  return {.text = "   Вiдсутнiй зв'язок !",
          .caption = "Увага",
          .buttons = MessageButtons::RetryCancel,
          .icon = MessageIcon::Warning,
          .topmost = true};
}

PollCycle::PollCycle(PollItems& items, LinkMailbox& mailbox, const SharedSettings& settings,
                     LiveDisplayOps& display, MainWindowFront& window, MessageBoxHost& messages)
    : items_(items),
      mailbox_(mailbox),
      settings_(settings),
      display_(display),
      window_(window),
      messages_(messages) {}

void PollCycle::IssueNextRequest() {
  // A nested loop inside DispatchReply has nothing to pick up: the reply is taken and
  // nothing is outstanding until this dispatch has built the next request.
  if (dispatching_) return;
  if (!mailbox_.IsTransactionDone()) return;
  DispatchReply();
  if (programming_->takeAccessCodeDue()) items_.state = PollState::AccessCode;
  BuildRequest();
}

void PollCycle::DispatchReply() {
  ScopedFlag guard(dispatching_);

  // The mailbox's data are valid only until the next submit, and handlers below may run
  // nested loops: work on a copy from here on.
  std::uint8_t count = 0;
  const std::uint8_t* reply = mailbox_.TakeReply(count);
  std::array<std::uint8_t, 256> copy{};
  if (reply != nullptr) std::copy_n(reply, count, copy.begin());
  const ReplyBytes data(copy.data(), count);

  const PollState state = items_.state;
  // A reply shorter than the state's layout would leave the rest of its fields to
  // chance; it counts as a failed transaction.
  const bool success = reply != nullptr && count >= replyBytesFor(state);

  if (success) {
    items_.archiveFailureCount = 0;
    display_.TransferLedReply(true);
    handleState(state, true, data);
    return;
  }

  display_.TransferLedReply(false);
  if (isFeatureState(state) && !handleFeatureFailure(state)) return;
  // A restart command given while the prompt was up discarded this reply.
  handleState(items_.state == state ? state : PollState::Idle, false, data);
}

bool PollCycle::handleFeatureFailure(PollState state) {
  if (state == PollState::AccessCode && mailbox_.WriteRegisterReplyCode() == kAccessCodeRefused) {
    programming_->hideProgressWindow();
    programming_->setWrongCodeNotice();
    items_.state = PollState::CurrentValuesHigh;
    return false;
  }
  if (state == PollState::ArchiveFirstHalf || state == PollState::ArchiveSecondHalf) {
    if (++items_.archiveFailureCount < kArchiveSilentRetries) return false;  // sent again
    items_.archiveFailureCount = 0;
  }

  const bool wasMinimised = window_.BringToFront();
  const MessageResult answer = messages_.showMessage(linkFailurePrompt());
  if (answer == MessageResult::Retry && items_.state == state) {
    if (wasMinimised) window_.minimise();
    return false;  // state unchanged: the same request goes out again
  }
  return true;
}

// A failed archive step the user did not retry ends the reading.
void PollCycle::endArchiveReading() {
  archive_->clearReadingActive();
  archive_->clearAgePending();
  archive_->onArchiveFailure();
}

void PollCycle::handleState(PollState state, bool success, ReplyBytes data) {
  switch (state) {
    case PollState::CurrentValuesLow:
      handleCurrentValuesLow(success, data);
      items_.state = turns().afterCurrentValuesLow();
      break;
    case PollState::CurrentValuesHigh:
      handleCurrentValuesHigh(success, data);
      items_.state = PollState::CurrentValuesLow;
      break;
    case PollState::ReportStep:
      if (success) {
        report_->onReportStep(data.first(10));
      } else {
        report_->onReportFailure();
      }
      items_.state = turns().afterReportStep();
      break;
    case PollState::ChartLimits:
      handleChartLimits(success, data);
      items_.state = PollState::CurrentValuesHigh;
      break;
    case PollState::ArchiveAge:
      if (success) {
        archive_->clearAgePending();
        archive_->onArchiveAge(DecodeArchiveAge(data.first<4>()));
      } else {
        endArchiveReading();
      }
      items_.state = turns().afterArchiveStep();
      break;
    case PollState::ArchiveFirstHalf:
      if (success) {
        archive_->onFirstHalf(data.first(10));
        items_.state = PollState::ArchiveSecondHalf;
      } else {
        endArchiveReading();
        items_.state = turns().limitsOrIdle();
      }
      break;
    case PollState::ArchiveSecondHalf:
      if (success) {
        archive_->onSecondHalf(data.first(8));
      } else {
        endArchiveReading();
      }
      items_.state = turns().afterArchiveStep();
      break;
    case PollState::BlockRead:
    case PollState::BlockWrite:
      if (success) {
        if (state == PollState::BlockRead) {
          programming_->onReadStep(data.first(10));
        } else {
          programming_->onWriteStep();
        }
      } else {
        programming_->clearProgrammingPending();
        programming_->hideProgressWindow();
      }
      items_.state = turns().limitsOrIdle();
      break;
    case PollState::AccessCode:
      if (success) {
        programming_->onCodeAccepted();
      } else {
        programming_->hideProgressWindow();
      }
      items_.state = turns().limitsOrIdle();
      break;
    default:  // state 0: a reply nobody waits for any more
      items_.state = PollState::CurrentValuesHigh;
      break;
  }
}

void PollCycle::handleCurrentValuesLow(bool success, ReplyBytes data) {
  if (success) {
    for (int i = 0; i < 5; ++i) {
      items_.temperatures[i] = DecodeTemperature(data[2 * i], data[2 * i + 1]);
    }
    for (int i = 0; i < 5; ++i) display_.ShowChannel(i);
  } else {
    for (int i = 0; i < 5; ++i) items_.temperatures[i] = LowMarker;
    items_.regulationOutputs = 0;
    items_.alarmOutputs = 0;
    display_.BlankChannels(0, 5);
  }
  chart_->AppendChartSample();
  if (++items_.state1Count > kLimitsReloadEvery) {
    items_.state1Count = 0;
    items_.limitsReloadDue = true;
  }
}

void PollCycle::handleCurrentValuesHigh(bool success, ReplyBytes data) {
  if (success) {
    items_.regulationOutputs = data[6];
    items_.alarmOutputs = data[7];
    items_.enabledChannels = data[8];
    items_.statusFlags = data[9];
    for (int i = 0; i < 3; ++i) {
      items_.temperatures[5 + i] = DecodeTemperature(data[2 * i], data[2 * i + 1]);
    }
    for (int i = 5; i < kChannelCount; ++i) display_.ShowChannel(i);
  } else {
    for (int i = 5; i < kChannelCount; ++i) items_.temperatures[i] = LowMarker;
    items_.regulationOutputs = 0;
    items_.alarmOutputs = 0;
    items_.statusFlags = 0;  // the enabled channels stay as last read
    display_.BlankChannels(5, 3);
  }
  display_.ShowStatus(success);
}

void PollCycle::handleChartLimits(bool success, ReplyBytes data) {
  if (!success) return;  // limitsReloadDue stays set: read again after the next state 1
  // If the user picked another single channel while this read was out, that channel's
  // limits are still due.
  if (items_.limitsChannel == items_.chartChannel || items_.chartChannel >= kChannelCount) {
    items_.limitsReloadDue = false;
  }
  if (items_.limitsChannel >= 0 && items_.limitsChannel < kChannelCount) {
    items_.limits[items_.limitsChannel] = decodeChannelLimits(data.first<10>());
    items_.limitsRead[items_.limitsChannel] = true;
    chart_->UpdateChart(items_.chartChannel);
  }
}

void PollCycle::BuildRequest() {
  RequestParams params;
  params.unitAddress = settings_.get(&AppSettings::DeviceID);
  switch (items_.state) {
    case PollState::ReportStep:
      params.reportOffset = report_->reportOffset();
      break;
    case PollState::ChartLimits:
      items_.limitsChannel = items_.chartChannel;
      params.chartChannel = items_.chartChannel;
      break;
    case PollState::ArchiveFirstHalf:
    case PollState::ArchiveSecondHalf:
      params.recordIndex = archive_->recordIndex();
      break;
    case PollState::BlockRead:
      params.blockOffset = programming_->blockOffset();
      break;
    case PollState::BlockWrite:
      params.blockOffset = programming_->blockOffset();
      params.blockStepData = programming_->stepBytes();
      break;
    case PollState::AccessCode:
      params.packedCode = programming_->packedCode();
      break;
    default:
      break;
  }
  mailbox_.SubmitRequest(pollRequest(items_.state, params));
}

void PollCycle::onLinkDone() {
  items_.watchdogTicks = 0;
  IssueNextRequest();
}

void PollCycle::watchdogTick() {
  if (++items_.watchdogTicks < kWatchdogTicks) return;
  items_.watchdogTicks = 0;
  IssueNextRequest();
}

void PollCycle::selectGraphChannel(int selection) {
  if (selection < 0 || selection > kAllChannels) return;
  items_.chartChannel = selection;
  if (selection < kChannelCount) items_.limitsReloadDue = true;
}

bool PollCycle::discardOutstandingReply(Feature feature) {
  const PollState s = items_.state;
  bool ours = false;
  switch (feature) {
    case Feature::SetpointReport:
      ours = s == PollState::ReportStep;
      break;
    case Feature::ArchiveReading:
      ours = s == PollState::ArchiveFirstHalf || s == PollState::ArchiveSecondHalf;
      break;
    case Feature::SetpointProgramming:
      // A write step outstanding would otherwise advance the restarted read's offset.
      ours = s == PollState::BlockRead || s == PollState::BlockWrite;
      break;
  }
  if (ours) items_.state = PollState::Idle;
  return ours;
}

}  // namespace km8
