// The words of the archive's batch report (UTF-8): title and heading, the per-channel
// summary table and the page footers. The Qt side lays them out on A4 pages.
#pragma once

#include <array>
#include <span>
#include <string>
#include <vector>

#include "archives/archive_figures.h"

namespace km8 {

struct ArchiveReportFacts {
  std::string station;
  unsigned instrument = 1;
  LocalDateTime madeAt;
  std::span<const ArchiveEntry> entries;  // newest first, as listed
  ChannelLimitsRead limits;               // the alarm limits the station last read
};

inline constexpr int kSummaryColumns = 8;
using SummaryRow = std::array<std::string, kSummaryColumns>;

std::string ReportTitle(const ArchiveReportFacts& facts);
// Station, period (oldest and newest valid record), record counts, when it was made.
std::vector<std::string> ReportHeading(const ArchiveReportFacts& facts);
SummaryRow SummaryHeader();
// One row per channel, T1 to T8.
std::vector<SummaryRow> SummaryRows(const ArchiveReportFacts& facts);
std::string SummaryNote();
std::string PageFooter(int page, int pages);

std::string FormatReportTime(const LocalDateTime& time);  // "07.12.2026 13:05"
std::string FormatDuration(double seconds);               // hours and minutes, "12:05"

}  // namespace km8
