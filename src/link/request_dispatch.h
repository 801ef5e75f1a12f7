// Carries out one request of the link mailbox on the Modbus master: the function its
// kind names, with the reply copied into the worker's results.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "link/link_mailbox.h"
#include "link/link_timing.h"
#include "link/modbus_master.h"

namespace km8 {

// One transaction's outcome as the worker hands it to the user-interface thread.
struct LinkResults {
  bool success = false;
  std::uint8_t byteCount = 0;
  std::array<std::uint8_t, 256> data{};
  std::uint16_t writeRegisterReplyCode = 0;
};

// Outgoing bytes a write request carries (0 when the master will refuse it anyway).
std::size_t OutgoingBytes(const LinkRequest& request);

// One attempt at the request: true when the instrument answered it. `data` are the
// outgoing bytes of a block write (null for other kinds); the empty request only waits
// its 50 ms through `timing`.
bool CarryOut(ModbusMaster& master, const LinkRequest& request, const std::uint8_t* data,
              LinkTiming& timing, LinkResults& out);

}  // namespace km8
