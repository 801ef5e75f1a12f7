// Which request the poll cycle sends after a step: the live values, the chart limits, or
// the next step of a feature that waits for the line, in their order of priority.
#pragma once

#include "monitor/feature_hooks.h"
#include "monitor/poll_items.h"

namespace km8 {

// A feature whose window has closed meanwhile loses its turn: its pending flag is
// cleared here, and the live values go on.
class PollTurns {
 public:
  PollTurns(const PollItems& items, SetpointReportHooks& report, ArchiveReadingHooks& archive,
            SetpointProgrammingHooks& programming)
      : items_(items), report_(report), archive_(archive), programming_(programming) {}

  PollState afterCurrentValuesLow() const;  // rule A: every feature may get its turn
  PollState afterReportStep() const;        // rule B
  PollState afterArchiveStep() const;       // rule C
  PollState limitsOrIdle() const;           // the chart limits when due, else state 2

 private:
  PollState archiveTurn(PollState next) const;
  PollState programmingTurn(PollState next) const;

  const PollItems& items_;
  SetpointReportHooks& report_;
  ArchiveReadingHooks& archive_;
  SetpointProgrammingHooks& programming_;
};

}  // namespace km8
