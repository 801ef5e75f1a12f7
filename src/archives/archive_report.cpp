#include "archives/archive_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "archives/archive_rows.h"

namespace km8 {
namespace {

constexpr char kNone[] = "—";
constexpr char kUnknown[] = "невідомо";

// Beyond one limit: the time, and the limit it was measured against.
std::string Beyond(const std::optional<double>& seconds, const std::optional<ChannelLimits>& limits,
                   bool above) {
  if (!seconds || !limits) return kUnknown;
  const double limit = above ? limits->alarmHigh : limits->alarmLow;
  return FormatDuration(*seconds) + (above ? " (> " : " (< ") + FormatTemperatureCell(limit) + ")";
}

}  // namespace

std::string FormatReportTime(const LocalDateTime& t) {
  char text[40];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d", t.day, t.month, t.year, t.hour,
                t.minute);
  return text;
}

std::string FormatDuration(double seconds) {
  const long long minutes = std::llround(std::max(seconds, 0.0) / 60.0);
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", minutes / 60, minutes % 60);
  return text;
}

std::string ReportTitle(const ArchiveReportFacts& facts) {
  return "Звіт за архівом приладу №" + std::to_string(facts.instrument);
}

std::vector<std::string> ReportHeading(const ArchiveReportFacts& facts) {
  const ArchiveEntry* oldest = nullptr;
  const ArchiveEntry* newest = nullptr;
  std::size_t resets = 0;
  std::size_t empty = 0;
  for (const ArchiveEntry& e : facts.entries) {
    switch (e.kind()) {
      case ArchiveRecordKind::Valid:
        if (newest == nullptr) newest = &e;
        oldest = &e;
        break;
      case ArchiveRecordKind::ResetMarker:
        ++resets;
        break;
      case ArchiveRecordKind::EmptySlot:
        ++empty;
        break;
    }
  }
  const std::string period =
      newest == nullptr ? std::string(kNone)
                        : FormatReportTime(oldest->local) + " — " + FormatReportTime(newest->local);
  return {
      "Станція: " + facts.station,
      "Період: " + period,
      "Записів: " + std::to_string(facts.entries.size()) + " (скидів: " + std::to_string(resets) +
          ", порожніх: " + std::to_string(empty) + ")",
      "Створено: " + FormatReportTime(facts.madeAt),
  };
}

SummaryRow SummaryHeader() {
  return {"Канал",         "Мінімум, °C", "Час мінімуму",       "Максимум, °C",
          "Час максимуму", "Середнє, °C", "Вище верхньої межі", "Нижче нижньої межі"};
}

std::vector<SummaryRow> SummaryRows(const ArchiveReportFacts& facts) {
  const auto figures = ArchiveChannelFigures(facts.entries, facts.limits);
  std::vector<SummaryRow> rows;
  for (std::size_t c = 0; c < figures.size(); ++c) {
    const ChannelFigures& f = figures[c];
    const auto& limits = facts.limits[c];
    SummaryRow row;
    row.fill(kNone);
    row[0] = "T" + std::to_string(c + 1);
    if (f.count > 0) {
      row[1] = FormatTemperatureCell(f.min);
      row[2] = FormatReportTime(facts.entries[f.minEntry].local);
      row[3] = FormatTemperatureCell(f.max);
      row[4] = FormatReportTime(facts.entries[f.maxEntry].local);
      row[5] = FormatTemperatureCell(f.mean);
    }
    row[6] = Beyond(f.secondsAbove, limits, true);
    row[7] = Beyond(f.secondsBelow, limits, false);
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string SummaryNote() {
  return "Час за аварійними межами — год:хв між сусідніми записами, за межами, які станція "
         "востаннє прочитала з приладу; «невідомо»: межі каналу не читалися.";
}

std::string PageFooter(int page, int pages) {
  return "Сторінка " + std::to_string(page) + " з " + std::to_string(pages);
}

}  // namespace km8
