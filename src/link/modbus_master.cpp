#include "link/modbus_master.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <thread>

#include "link/modbus_frame.h"

namespace km8 {
namespace {

using Frame = std::array<std::uint8_t, kModbusFrameSize>;

}  // namespace

int ModbusMaster::Open(const SerialSetup& setup) {
  if (setup.FrameLength > kModbusFrameSize) {
    Close();
    return 0;
  }
  silence_ = frameSilence(setup.BaudRate, setup.DataBits, setup.Parity, setup.StopBits);
  quietFrom_ = {};
  return SerialPort::Open(setup);
}

std::uint32_t ModbusMaster::exchange(const std::uint8_t* request, std::size_t length,
                                     std::uint8_t* reply) {
  // The reply buffer holds kModbusFrameSize bytes; a port opened past this class's
  // Open with a longer read length must not write beyond it.
  if (readLength() > kModbusFrameSize) return 0;
  if (fastFraming_) {
    // A reply taken at its last byte leaves the line busy as far as the slave can
    // tell; it must hear 3.5 characters of silence before the next request.
    std::this_thread::sleep_until(quietFrom_);
  }
  setReplyFunction(fastFraming_ ? request[1] : 0);
  // A reply that came after the previous transaction gave up must not be taken as the
  // reply to this one: consecutive requests often have the same shape (the two halves
  // of the current values, the setpoint block steps), and the checks cannot tell them
  // apart. Dropping it here costs nothing when the line is quiet.
  discardInput();
  // Only the bytes received count: the write's and the read's own results add
  // nothing the reply checks do not see.
  std::uint32_t written = 0;
  (void)Write(request, static_cast<std::uint32_t>(length), written);
  std::uint32_t received = 0;
  (void)Read(reply, received);
  quietFrom_ = std::chrono::steady_clock::now() + silence_;
  ++exchanges_;
  if (recording_) {
    last_.requestLength = static_cast<std::uint32_t>(std::min(length, last_.request.size()));
    std::memcpy(last_.request.data(), request, last_.requestLength);
    last_.replyLength = std::min<std::uint32_t>(received, kModbusFrameSize);
    std::memcpy(last_.reply.data(), reply, last_.replyLength);
  }
  return received;
}

int ModbusMaster::readTransaction(std::uint8_t function, std::uint8_t address, std::uint16_t start,
                                  std::uint16_t count, std::uint8_t* data,
                                  std::uint8_t& byteCount) {
  Frame request;
  Frame reply;
  const std::size_t length = buildShortRequest(request.data(), address, function, start, count);
  const std::uint32_t n = exchange(request.data(), length, reply.data());
  if (!isValidReadReply(reply.data(), n, address, function)) return 0;
  byteCount = reply[2];
  if (data != nullptr && byteCount != 0) std::memcpy(data, reply.data() + 3, byteCount);
  return 1;
}

int ModbusMaster::echoTransaction(const std::uint8_t* request, std::size_t length,
                                  std::uint16_t* replyCodeOut) {
  Frame reply;
  reply[1] = 0;
  const std::uint32_t n = exchange(request, length, reply.data());
  if (replyCodeOut != nullptr) *replyCodeOut = replyCode(reply.data(), n);
  return isValidEchoReply(reply.data(), n, request) ? 1 : 0;
}

int ModbusMaster::ReadCoils(std::uint8_t address, std::uint16_t start, std::uint16_t count,
                            std::uint8_t* data, std::uint8_t& byteCount) {
  return readTransaction(1, address, start, count, data, byteCount);
}

int ModbusMaster::ReadDiscreteInputs(std::uint8_t address, std::uint16_t start, std::uint16_t count,
                                     std::uint8_t* data, std::uint8_t& byteCount) {
  return readTransaction(2, address, start, count, data, byteCount);
}

int ModbusMaster::ReadHoldingRegisters(std::uint8_t address, std::uint16_t start,
                                       std::uint16_t count, std::uint8_t* data,
                                       std::uint8_t& byteCount) {
  return readTransaction(3, address, start, count, data, byteCount);
}

int ModbusMaster::ReadInputRegisters(std::uint8_t address, std::uint16_t start, std::uint16_t count,
                                     std::uint8_t* data, std::uint8_t& byteCount) {
  return readTransaction(4, address, start, count, data, byteCount);
}

int ModbusMaster::WriteSingleCoil(std::uint8_t address, std::uint16_t coil, std::uint16_t value) {
  Frame request;
  const std::uint16_t state = value != 0 ? 0xFF00 : 0x0000;
  const std::size_t length = buildShortRequest(request.data(), address, 5, coil, state);
  return echoTransaction(request.data(), length, nullptr);
}

int ModbusMaster::WriteSingleRegister(std::uint8_t address, std::uint16_t reg,
                                      std::uint16_t value) {
  Frame request;
  const std::size_t length = buildShortRequest(request.data(), address, 6, reg, value);
  return echoTransaction(request.data(), length, &writeRegisterReplyCode_);
}

int ModbusMaster::WriteMultipleCoils(std::uint8_t address, std::uint16_t start, std::uint16_t count,
                                     const std::uint8_t* data) {
  const std::uint8_t byteCount = coilByteCount(count);
  if (byteCount == 0 || data == nullptr) return 0;
  Frame request;
  const std::size_t length =
      buildWriteMultipleRequest(request.data(), address, 15, start, count, byteCount, data);
  return echoTransaction(request.data(), length, nullptr);
}

int ModbusMaster::WriteMultipleRegisters(std::uint8_t address, std::uint16_t start,
                                         std::uint16_t count, const std::uint8_t* data) {
  const std::uint8_t byteCount = registerByteCount(count);
  if (byteCount == 0 || data == nullptr) return 0;
  Frame request;
  const std::size_t length =
      buildWriteMultipleRequest(request.data(), address, 16, start, count, byteCount, data);
  return echoTransaction(request.data(), length, nullptr);
}

int ModbusMaster::ReturnQueryData(std::uint8_t address, std::uint16_t value) {
  Frame request;
  const std::size_t length = buildShortRequest(request.data(), address, 8, 0x0000, value);
  return echoTransaction(request.data(), length, nullptr);
}

}  // namespace km8
