// A scripted link worker behind the LinkMailbox interface: the test completes each
// submitted request by hand and the fake checks the one-outstanding-request contract.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "event_log.h"
#include "link/link_mailbox.h"

namespace km8::test {

class FakeLinkMailbox : public LinkMailbox {
 public:
  // Like the real mailbox at start-up, the empty request is already waiting to run.
  explicit FakeLinkMailbox(EventLog* log = nullptr);

  void SubmitRequest(const LinkRequest& request) override;
  bool IsTransactionDone() const override { return done_; }
  const std::uint8_t* TakeReply(std::uint8_t& byteCount) override;
  std::uint16_t WriteRegisterReplyCode() const override { return replyCode_; }

  // The worker's side: ends the outstanding transaction.
  void completeWith(const std::vector<std::uint8_t>& data);
  void completeFailed(std::uint16_t writeReplyCode = 0);

  bool outstanding() const { return outstanding_; }
  const std::vector<LinkRequest>& submitted() const { return submitted_; }
  const LinkRequest& last() const { return submitted_.back(); }
  // The outgoing data of each submitted request, as the worker would have read them at
  // submission and again at completion (empty when the request carries none).
  const std::vector<std::vector<std::uint8_t>>& dataAtSubmit() const { return dataAtSubmit_; }
  // Submissions while a transaction was running or its reply not yet taken, and write
  // data that changed before the transaction ended.
  int contractViolations() const { return violations_; }
  int takes() const { return takes_; }

 private:
  void finish(bool success, std::uint16_t writeReplyCode);

  EventLog* log_;
  LinkRequest request_{};
  std::vector<LinkRequest> submitted_;
  std::vector<std::vector<std::uint8_t>> dataAtSubmit_;
  bool outstanding_ = true;
  bool done_ = false;
  bool success_ = false;
  std::array<std::uint8_t, 256> reply_{};
  std::uint8_t replyCount_ = 0;
  std::uint16_t replyCode_ = 0;
  int violations_ = 0;
  int takes_ = 0;
};

}  // namespace km8::test
