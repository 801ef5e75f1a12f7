// The archive's batch report read back from its PDF with poppler's pdftotext: heading,
// per-channel figures of a known reading, every record's row and the numbered pages.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "archives/archive_rows.h"
#include "archives/ui/archive_report_pdf.h"
#include "support/archive_entries.h"
#include "support/archive_fakes.h"

namespace km8 {
namespace {

// What a poppler tool prints for the file; the test fails when it cannot run.
QString Poppler(const QString& tool, QStringList arguments) {
  QProcess process;
  process.start(tool, arguments);
  EXPECT_TRUE(process.waitForFinished(60000)) << tool.toStdString() << " did not run";
  return QString::fromUtf8(process.readAllStandardOutput());
}

// The page's text, a line per row with its spaces collapsed.
std::vector<std::string> PageLines(const QString& pdf, int page) {
  const QString text =
      Poppler(QStringLiteral("pdftotext"),
              {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(page),
               QStringLiteral("-l"), QString::number(page), pdf, QStringLiteral("-")});
  std::vector<std::string> lines;
  for (const QString& line : text.split(QLatin1Char('\n'))) {
    const QString simple = line.simplified();
    if (!simple.isEmpty()) lines.push_back(simple.toStdString());
  }
  return lines;
}

// 160 records ten minutes apart, newest at 12:00 on 7 December 2026 (UTC): T1 at 20.0
// but 45.0 at record 50 and 5.0 at record 100, T2 always out of range, T3 at 30.0, the
// rest at 0.0; record 30 a reset marker, record 31 an empty slot.
std::vector<ArchiveEntry> KnownReading() {
  const std::int64_t newest = test::utcInstant(2026, 12, 7, 12, 0, 0);
  std::vector<ArchiveEntry> entries;
  for (int k = 0; k < 160; ++k) {
    const std::uint8_t status = k == 30 ? 0xEF : k == 31 ? 0x01 : 0x00;
    const std::int16_t t1 = k == 50 ? 450 : k == 100 ? 50 : 200;
    entries.push_back(test::StampedEntry(status, {t1, 32000, 300}, newest - k * 600));
  }
  return entries;
}

TEST(ArchiveReportPdf, ReadsBackHeadingFiguresEveryRowAndNumberedPages) {
  const std::vector<ArchiveEntry> entries = KnownReading();
  ArchiveReportFacts facts;
  facts.station = "Піч 3";
  facts.instrument = 7;
  facts.madeAt = {2026, 12, 8, 9, 15, 0};
  facts.entries = entries;
  facts.limits[0] = facts.limits[2] = ChannelLimits{};
  facts.limits[0]->alarmHigh = 40.0;
  facts.limits[0]->alarmLow = 10.0;
  facts.limits[2]->alarmHigh = 25.0;
  facts.limits[2]->alarmLow = -20.0;
  int lastDone = 0;
  int progressPages = 0;
  const auto pdf = ArchiveReportPdf(facts, [&](int done, int pages) {
    EXPECT_EQ(done, lastDone + 1);
    lastDone = done;
    progressPages = pages;
    return true;
  });
  ASSERT_TRUE(pdf.has_value());
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("report.pdf"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(*pdf);
  file.close();

  const QRegularExpressionMatch info = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                                           .match(Poppler(QStringLiteral("pdfinfo"), {path}));
  ASSERT_TRUE(info.hasMatch());
  const int pages = info.captured(1).toInt();
  EXPECT_GE(pages, 3);  // the first page, then the 160 rows over more than one page
  EXPECT_EQ(progressPages, pages);
  EXPECT_EQ(lastDone, pages);

  const std::vector<std::string> first = PageLines(path, 1);
  const std::vector<std::string> expectedFirst = {
      "Звіт за архівом приладу №7",
      "Станція: Піч 3",
      "Період: 06.12.2026 09:30 — 07.12.2026 12:00",
      "Записів: 160 (скидів: 1, порожніх: 1)",
      "Створено: 08.12.2026 09:15",
      // Above 40: 2 x 600 s x 5/25; below 10: 2 x 600 s x 5/15, to the minute.
      "T1 5.0 06.12.2026 19:20 45.0 07.12.2026 03:40 20.1 0:04 (> 40.0) 0:07 (< 10.0)",
      "T2 — — — — — невідомо невідомо",
      // 156 neighbouring pairs of valid records, the markers breaking two.
      "T3 30.0 06.12.2026 09:30 30.0 06.12.2026 09:30 30.0 26:00 (> 25.0) 0:00 (< -20.0)",
      "T8 0.0 06.12.2026 09:30 0.0 06.12.2026 09:30 0.0 невідомо невідомо",
      "Сторінка 1 з " + std::to_string(pages),
  };
  auto at = first.begin();
  for (const std::string& line : expectedFirst) {
    at = std::find(at, first.end(), line);
    EXPECT_NE(at, first.end()) << "missing or out of order on page 1: " << line;
    if (at == first.end()) at = first.begin();
  }

  // Every record's row as the list shows it, in the list's order, and every page's number.
  std::vector<std::string> rest;
  for (int page = 2; page <= pages; ++page) {
    const std::vector<std::string> lines = PageLines(path, page);
    EXPECT_EQ(lines.back(), "Сторінка " + std::to_string(page) + " з " + std::to_string(pages));
    rest.insert(rest.end(), lines.begin(), lines.end());
  }
  std::size_t found = 0;
  auto row = rest.begin();
  for (std::size_t n = 0; n < entries.size(); ++n) {
    std::string expected = ArchiveCellText(n, entries[n], 0);
    for (int c = 1; c < kArchiveColumnCount; ++c) {
      const std::string cell = ArchiveCellText(n, entries[n], c);
      if (!cell.empty()) expected += " " + cell;
    }
    row = std::find(row, rest.end(), QString::fromStdString(expected).simplified().toStdString());
    if (row == rest.end()) {
      ADD_FAILURE() << "row missing or out of order: " << expected;
      row = rest.begin();
      continue;
    }
    ++found;
  }
  EXPECT_EQ(found, entries.size());
}

}  // namespace
}  // namespace km8
