#include "fake_link_mailbox.h"

#include <algorithm>
#include <string>

namespace km8::test {

namespace {

std::size_t outgoingBytes(const LinkRequest& r) {
  if (r.data == nullptr) return 0;
  if (r.kind == static_cast<std::uint8_t>(RequestKind::WriteMultipleRegisters)) {
    return 2u * r.countOrValue;
  }
  if (r.kind == static_cast<std::uint8_t>(RequestKind::WriteMultipleCoils)) {
    return (r.countOrValue + 7u) / 8u;
  }
  return 0;
}

}  // namespace

FakeLinkMailbox::FakeLinkMailbox(EventLog* log) : log_(log) {}

void FakeLinkMailbox::SubmitRequest(const LinkRequest& request) {
  if (outstanding_ || done_) ++violations_;
  request_ = request;
  submitted_.push_back(request);
  const std::size_t n = outgoingBytes(request);
  dataAtSubmit_.emplace_back(request.data, request.data + n);
  // The old reply is gone once the next request is in: poison it, so a caller still
  // reading it sees garbage rather than the right bytes by luck.
  reply_.fill(0xEE);
  replyCount_ = 0;
  done_ = false;
  outstanding_ = true;
  note(log_, "submit " + std::to_string(request.kind) + " " + std::to_string(request.start) + " " +
                 std::to_string(request.countOrValue));
}

const std::uint8_t* FakeLinkMailbox::TakeReply(std::uint8_t& byteCount) {
  ++takes_;
  done_ = false;
  if (!success_) {
    byteCount = 0;
    return nullptr;
  }
  byteCount = replyCount_;
  return reply_.data();
}

void FakeLinkMailbox::completeWith(const std::vector<std::uint8_t>& data) {
  std::copy(data.begin(), data.end(), reply_.begin());
  replyCount_ = static_cast<std::uint8_t>(data.size());
  finish(true, 6);  // an echoed function-6 write leaves its function code
}

void FakeLinkMailbox::completeFailed(std::uint16_t writeReplyCode) {
  finish(false, writeReplyCode);
}

void FakeLinkMailbox::finish(bool success, std::uint16_t writeReplyCode) {
  // The worker sent the request's data during the transaction; they must still be the
  // bytes that were there at submission.
  const std::size_t n = outgoingBytes(request_);
  if (n != 0 && !std::equal(request_.data, request_.data + n, dataAtSubmit_.back().begin())) {
    ++violations_;
  }
  if (!outstanding_) ++violations_;  // nothing was running
  outstanding_ = false;
  done_ = true;
  success_ = success;
  if (request_.kind == static_cast<std::uint8_t>(RequestKind::WriteSingleRegister)) {
    replyCode_ = writeReplyCode;
  }
  note(log_, success ? "complete ok" : "complete failed");
}

}  // namespace km8::test
