#include "link/request_dispatch.h"

#include "link/modbus_frame.h"

namespace km8 {
namespace {

constexpr unsigned kEmptyRequestMs = 50;

}  // namespace

std::size_t OutgoingBytes(const LinkRequest& r) {
  switch (static_cast<RequestKind>(r.kind)) {
    case RequestKind::WriteMultipleCoils:
      return coilByteCount(r.countOrValue);
    case RequestKind::WriteMultipleRegisters:
      return registerByteCount(r.countOrValue);
    default:
      return 0;
  }
}

bool CarryOut(ModbusMaster& master, const LinkRequest& r, const std::uint8_t* data,
              LinkTiming& timing, LinkResults& out) {
  out.success = false;
  std::uint8_t count = 0;
  int ok = 0;
  switch (static_cast<RequestKind>(r.kind)) {
    case RequestKind::ReadCoils:
      ok = master.ReadCoils(r.unitAddress, r.start, r.countOrValue, out.data.data(), count);
      break;
    case RequestKind::ReadDiscreteInputs:
      ok =
          master.ReadDiscreteInputs(r.unitAddress, r.start, r.countOrValue, out.data.data(), count);
      break;
    case RequestKind::ReadHoldingRegisters:
      ok = master.ReadHoldingRegisters(r.unitAddress, r.start, r.countOrValue, out.data.data(),
                                       count);
      break;
    case RequestKind::ReadInputRegisters:
      ok =
          master.ReadInputRegisters(r.unitAddress, r.start, r.countOrValue, out.data.data(), count);
      break;
    case RequestKind::WriteSingleCoil:
      ok = master.WriteSingleCoil(r.unitAddress, r.start, r.countOrValue);
      break;
    case RequestKind::WriteSingleRegister:
      ok = master.WriteSingleRegister(r.unitAddress, r.start, r.countOrValue);
      out.writeRegisterReplyCode = master.WriteRegisterReplyCode();
      break;
    case RequestKind::WriteMultipleCoils:
      ok = data ? master.WriteMultipleCoils(r.unitAddress, r.start, r.countOrValue, data) : 0;
      break;
    case RequestKind::WriteMultipleRegisters:
      ok = data ? master.WriteMultipleRegisters(r.unitAddress, r.start, r.countOrValue, data) : 0;
      break;
    case RequestKind::ReturnQueryData:
      ok = master.ReturnQueryData(r.unitAddress, r.countOrValue);
      break;
    case RequestKind::Empty:
      timing.sleepMs(kEmptyRequestMs);
      break;
  }
  out.success = ok != 0;
  out.byteCount = ok ? count : 0;
  return out.success;
}

}  // namespace km8
