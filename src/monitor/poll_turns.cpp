#include "monitor/poll_turns.h"

namespace km8 {

PollState PollTurns::limitsOrIdle() const {
  return items_.limitsReloadDue ? PollState::ChartLimits : PollState::CurrentValuesHigh;
}

PollState PollTurns::afterCurrentValuesLow() const {
  PollState next = PollState::CurrentValuesHigh;
  if (report_.reportPending()) {
    if (report_.reportWindowOpen()) {
      next = PollState::ReportStep;
    } else {
      report_.clearReportPending();
    }
  }
  next = archiveTurn(next);
  next = programmingTurn(next);
  if (next == PollState::CurrentValuesHigh && items_.limitsReloadDue) next = PollState::ChartLimits;
  return next;
}

PollState PollTurns::afterReportStep() const {
  PollState next = archiveTurn(PollState::CurrentValuesHigh);
  next = programmingTurn(next);
  if (next == PollState::CurrentValuesHigh && items_.limitsReloadDue) next = PollState::ChartLimits;
  return next;
}

PollState PollTurns::afterArchiveStep() const {
  const PollState next = limitsOrIdle();
  return next == PollState::CurrentValuesHigh ? programmingTurn(next) : next;
}

PollState PollTurns::archiveTurn(PollState next) const {
  if (next != PollState::CurrentValuesHigh || !archive_.readingActive()) return next;
  if (!archive_.listOpen()) {
    archive_.clearReadingActive();
    return next;
  }
  return archive_.agePending() ? PollState::ArchiveAge : PollState::ArchiveFirstHalf;
}

PollState PollTurns::programmingTurn(PollState next) const {
  if (next != PollState::CurrentValuesHigh || !programming_.programmingPending()) return next;
  if (!programming_.progressActive()) {
    programming_.clearProgrammingPending();
    return next;
  }
  // At offset 75 the phase is complete; the timer's hand-off takes it from there.
  if (programming_.blockOffset() >= 75) return next;
  return programming_.writePhase() ? PollState::BlockWrite : PollState::BlockRead;
}

}  // namespace km8
