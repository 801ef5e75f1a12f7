// The archive's batch report as a PDF document: on A4 pages the heading, the chart as
// vector graphics, the per-channel summary, then every record as the list shows it, each
// page numbered; the fonts embedded, Cyrillic included.
#pragma once

#include <QByteArray>
#include <functional>
#include <optional>

#include "archives/archive_report.h"

namespace km8 {

// Told after each page how many are done of how many; false stops the writing.
using ReportProgress = std::function<bool(int done, int pages)>;

// The whole document, or nothing when the progress stopped it. Throws
// std::runtime_error when no PDF can be painted at all.
std::optional<QByteArray> ArchiveReportPdf(const ArchiveReportFacts& facts,
                                           const ReportProgress& progress = {});

}  // namespace km8
