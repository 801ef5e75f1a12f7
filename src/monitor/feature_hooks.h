// What the poll cycle and the main window's timer need from the features that share the
// line with the live polling: the setpoint report, the archive reading, the programming.
#pragma once

#include <cstdint>
#include <span>

#include "monitor/register_map.h"

namespace km8 {

// Reply data handed to a step handler: a copy owned by the poll cycle, valid for the
// duration of the call only.
using ReplyBytes = std::span<const std::uint8_t>;

// Appended to a feature window's caption when the user gives up after a link failure.
inline constexpr const char* kNoLinkCaptionSuffix = " - немає зв'язку";

// The setpoint report read (one state-3 step per poll pass while pending).
class SetpointReportHooks {
 public:
  virtual ~SetpointReportHooks() = default;

  virtual bool reportPending() const = 0;
  virtual void clearReportPending() = 0;
  virtual bool reportWindowOpen() const = 0;
  virtual std::uint16_t reportOffset() const = 0;  // register offset of the next step

  virtual void onReportStep(ReplyBytes data) = 0;  // ten bytes of the block
  // The user answered Cancel to the link-failure prompt: the read ends.
  virtual void onReportFailure() = 0;
};

// The archive reading (age read in state 5, then one record per pass in states 6 and 7)
// and, on the timer side, the exports that run once a reading is complete.
class ArchiveReadingHooks {
 public:
  virtual ~ArchiveReadingHooks() = default;

  virtual bool readingActive() const = 0;
  virtual void clearReadingActive() = 0;
  virtual bool agePending() const = 0;
  virtual void clearAgePending() = 0;
  virtual bool listOpen() const = 0;
  virtual std::uint16_t recordIndex() const = 0;

  // runningTime = now - age. agePending has already been cleared.
  virtual void onArchiveAge(const ArchiveAge& age) = 0;
  virtual void onFirstHalf(ReplyBytes data) = 0;   // record bytes 0..9
  virtual void onSecondHalf(ReplyBytes data) = 0;  // record bytes 10..17
  // Cancel after a link failure in states 5..7: readingActive and agePending have
  // already been cleared; the list caption gets kNoLinkCaptionSuffix.
  virtual void onArchiveFailure() = 0;

  // Timer side: each take clears its flag and says whether it was set.
  virtual bool takeTextExportPending() = 0;
  virtual void runTextExport() = 0;
  virtual bool takeDatabaseExportPending() = 0;
  virtual void runDatabaseExport() = 0;
  virtual void activateListWindow() = 0;
};

// The setpoint programming: block read (state 8), block write (state 9), access code
// (state 10); on the timer side the phase hand-off and the wrong-code notice.
class SetpointProgrammingHooks {
 public:
  virtual ~SetpointProgrammingHooks() = default;

  virtual bool programmingPending() const = 0;
  virtual void clearProgrammingPending() = 0;
  virtual bool progressActive() const = 0;  // the ProgressWindow's active flag
  virtual bool writePhase() const = 0;
  virtual std::uint16_t blockOffset() const = 0;  // 0..70, 75 when the phase is complete
  // The ten bytes of the programming copy at blockOffset(). The link worker reads them
  // while the write is outstanding, so they must not change until the state-9
  // transaction has been dispatched (onWriteStep, the failure path, or a discard).
  virtual const std::uint8_t* stepBytes() const = 0;
  virtual bool takeAccessCodeDue() = 0;  // clears the flag, says whether it was set
  virtual std::uint16_t packedCode() const = 0;

  virtual void onReadStep(ReplyBytes data) = 0;
  virtual void onWriteStep() = 0;
  virtual void onCodeAccepted() = 0;
  virtual void hideProgressWindow() = 0;
  virtual void setWrongCodeNotice() = 0;

  // Timer side.
  virtual void runPhaseHandOff() = 0;  // called when pending and blockOffset() > 70
  virtual bool takeWrongCodeNotice() = 0;
};

}  // namespace km8
