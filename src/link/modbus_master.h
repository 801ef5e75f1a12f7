// The Modbus RTU master: one complete transaction with one slave per call, built
// in fixed buffers, sent with one write and answered by one read of the port.
#pragma once

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
};

}  // namespace km8
