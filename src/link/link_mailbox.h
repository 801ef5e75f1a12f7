// The single-slot request mailbox between the user-interface thread and the link
// worker: what the poll cycle submits, and how it learns a transaction has ended.
#pragma once

#include <cstdint>

namespace km8 {

// Request kinds 1..9 carry Modbus functions 1, 2, 3, 4, 5, 6, 15, 16 and 8. Kind 0
// is the empty request, which completes as a failure after a 50 ms wait; kinds 10
// and above are treated as kind 0.
enum class RequestKind : std::uint8_t {
  Empty = 0,
  ReadCoils = 1,
  ReadDiscreteInputs = 2,
  ReadHoldingRegisters = 3,
  ReadInputRegisters = 4,
  WriteSingleCoil = 5,
  WriteSingleRegister = 6,
  WriteMultipleCoils = 7,
  WriteMultipleRegisters = 8,
  ReturnQueryData = 9,
};

struct LinkRequest {
  std::uint8_t unitAddress = 0;
  std::uint8_t kind = 0;  // a RequestKind, or any other value (treated as 0)
  std::uint16_t start = 0;
  std::uint16_t countOrValue = 0;
  const std::uint8_t* data = nullptr;  // kinds 7 and 8; must stay valid until completion
};

// The user-interface side of the mailbox. Exactly one transaction is outstanding at
// a time: callers submit only after IsTransactionDone() was true and the reply taken.
class LinkMailbox {
 public:
  virtual ~LinkMailbox() = default;

  // Stores the request, resets DoneEvent and sets RequestEvent.
  virtual void SubmitRequest(const LinkRequest& request) = 0;
  // True when a completed transaction waits to be taken (also false before the
  // worker has created its events).
  virtual bool IsTransactionDone() const = 0;
  // Resets DoneEvent. On success sets byteCount and returns the reply data, valid
  // until the next SubmitRequest; on failure sets byteCount to 0 and returns nullptr.
  virtual const std::uint8_t* TakeReply(std::uint8_t& byteCount) = 0;
  // The reply code of the last function-6 transaction (902: exception 3), valid
  // once its completion has been observed.
  virtual std::uint16_t WriteRegisterReplyCode() const = 0;
};

}  // namespace km8
