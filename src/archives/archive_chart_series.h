// The records of a reading as the archive chart plots them: oldest first at their
// timestamps in a sample ring, and the value axis fitted to the channels shown.
#pragma once

#include <array>
#include <span>
#include <utility>

#include "archives/archive_figures.h"
#include "controls/sample_ring.h"

namespace km8 {

// One sample per record, at its timestamp. A reset marker or an empty slot is a sample
// without any value, so that every trace breaks there; a range marker leaves its channel
// without a value, so that only its trace breaks.
SampleRing ArchiveSamples(std::span<const ArchiveEntry> newestFirst);

// The strip chart's 10-degree steps strictly below the lowest and above the highest
// value of the channels shown; 0 to 100 when they have none.
std::pair<int, int> FittedValueAxis(const std::array<ChannelFigures, kChannelCount>& figures,
                                    const std::array<bool, kChannelCount>& shown);

}  // namespace km8
