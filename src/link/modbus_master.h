// The Modbus RTU master: one complete transaction with one slave per call, built
// in fixed buffers, sent with one write and answered by one read of the port.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>

#include "link/serial_port.h"

namespace km8 {

// Every operation returns non-zero for success and zero for any failure (refused
// request, silence, wrong address or function, exception reply, bad CRC, wrong
// length). It never retries, never reports anything, and never allocates.
class ModbusMaster : public SerialPort {
 public:
  using SerialPort::SerialPort;
  ~ModbusMaster() override = default;

  // Refuses a FrameLength above 256 (the reply buffer), closing any open port.
  int Open(const SerialSetup& setup);

  // The frame-aware end of a reply: each read ends as soon as the reply's own length
  // has arrived, and the line is left quiet for 3.5 characters before each request,
  // as the slave needs to find the end of the request. Off (the default), a reply
  // ends by the time-outs and the read length alone.
  void setFastFraming(bool on) { fastFraming_ = on; }
  bool fastFraming() const { return fastFraming_; }

  // The bytes of the last transaction on the line, for the traffic trace; recorded
  // only while `recordExchanges` is on (off costs nothing).
  struct Exchange {
    std::array<std::uint8_t, 256> request{};
    std::array<std::uint8_t, 256> reply{};
    std::uint32_t requestLength = 0;
    std::uint32_t replyLength = 0;
  };
  void recordExchanges(bool on) { recording_ = on; }
  const Exchange& lastExchange() const { return last_; }
  // Counts the transactions that went on the line (a refused request does not).
  std::uint64_t exchangeCount() const { return exchanges_; }

  // Functions 1 to 4. On success byteCount is the reply's byte count and, when data is
  // given, that many bytes are copied to it (it must hold 255); on failure byteCount
  // is left alone.
  int ReadCoils(std::uint8_t address, std::uint16_t start, std::uint16_t count, std::uint8_t* data,
                std::uint8_t& byteCount);
  int ReadDiscreteInputs(std::uint8_t address, std::uint16_t start, std::uint16_t count,
                         std::uint8_t* data, std::uint8_t& byteCount);
  int ReadHoldingRegisters(std::uint8_t address, std::uint16_t start, std::uint16_t count,
                           std::uint8_t* data, std::uint8_t& byteCount);
  int ReadInputRegisters(std::uint8_t address, std::uint16_t start, std::uint16_t count,
                         std::uint8_t* data, std::uint8_t& byteCount);

  // Function 5: any non-zero value switches the coil on (FF 00).
  int WriteSingleCoil(std::uint8_t address, std::uint16_t coil, std::uint16_t value);
  // Function 6; also sets WriteRegisterReplyCode(), whatever the outcome.
  int WriteSingleRegister(std::uint8_t address, std::uint16_t reg, std::uint16_t value);
  // Functions 15 and 16: data holds the request's byte count of bytes, sent as given.
  int WriteMultipleCoils(std::uint8_t address, std::uint16_t start, std::uint16_t count,
                         const std::uint8_t* data);
  int WriteMultipleRegisters(std::uint8_t address, std::uint16_t start, std::uint16_t count,
                             const std::uint8_t* data);
  // Function 8, sub-function 0: the slave echoes the value.
  int ReturnQueryData(std::uint8_t address, std::uint16_t value);

  // Reply bytes 1 and 2 (low, high) of the last function-6 transaction, 0 for bytes
  // that did not arrive: 902 when the slave answered with exception code 3.
  std::uint16_t WriteRegisterReplyCode() const { return writeRegisterReplyCode_; }

 private:
  int readTransaction(std::uint8_t function, std::uint8_t address, std::uint16_t start,
                      std::uint16_t count, std::uint8_t* data, std::uint8_t& byteCount);
  int echoTransaction(const std::uint8_t* request, std::size_t length, std::uint16_t* replyCodeOut);
  // Sends the request and collects the reply; returns the bytes received.
  std::uint32_t exchange(const std::uint8_t* request, std::size_t length, std::uint8_t* reply);

  std::uint16_t writeRegisterReplyCode_ = 0;
  bool fastFraming_ = false;
  std::chrono::microseconds silence_{0};  // 3.5 characters of the open line
  std::chrono::steady_clock::time_point quietFrom_{};
  bool recording_ = false;
  std::uint64_t exchanges_ = 0;
  Exchange last_;
};

}  // namespace km8
