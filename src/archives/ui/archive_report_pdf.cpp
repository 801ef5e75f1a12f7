#include "archives/ui/archive_report_pdf.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <numeric>
#include <stdexcept>

#include "archives/archive_rows.h"
#include "archives/archive_time_view.h"
#include "archives/ui/archive_chart_scene.h"

namespace km8 {
namespace {

constexpr int kDpi = 300;
constexpr double kMarginMm = 15.0;
const QSize kChartSize(1000, 520);  // the chart's own pixels, scaled to the page's width

QFont ReportFont(double points, bool bold = false) {
  QFont font;
  // Both have Cyrillic: Debian's standard font and the one every Windows has.
  font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")});
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

class ReportPainter {
 public:
  ReportPainter(QPdfWriter& writer, const ArchiveReportFacts& facts)
      : writer_(writer),
        facts_(facts),
        area_(QPoint(0, 0), writer.pageLayout().paintRectPixels(kDpi).size()),
        text_(ReportFont(8)),
        bold_(ReportFont(8, true)),
        rowHeight_(static_cast<int>(QFontMetricsF(text_, &writer).lineSpacing() * 1.15)),
        footerTop_(area_.bottom() - rowHeight_),
        columns_(ArchiveColumnWidths(area_.width())) {
    if (!painter_.begin(&writer)) throw std::runtime_error("cannot paint the report");
    const int tableHeight = footerTop_ - rowHeight_ - rowHeight_ / 2;  // below its header
    rowsPerPage_ = std::max(1, tableHeight / rowHeight_);
    const auto records = static_cast<int>(facts.entries.size());
    pages_ = 1 + (records + rowsPerPage_ - 1) / rowsPerPage_;
  }

  int pages() const { return pages_; }

  void firstPage() {
    int y = 0;
    painter_.setFont(ReportFont(14, true));
    y = line(Q(ReportTitle(facts_)), y, 1.6);
    painter_.setFont(ReportFont(10));
    for (const std::string& text : ReportHeading(facts_)) y = line(Q(text), y, 1.3);
    y += rowHeight_;

    ArchiveChartScene scene;
    scene.setEntries(facts_.entries);
    ArchiveTimeView view;
    if (const auto time = scene.recordsTime()) view.setExtent(time->start, time->end);
    const int chartHeight = area_.width() * kChartSize.height() / kChartSize.width();
    scene.paintScaled(painter_, QRect(0, y, area_.width(), chartHeight), kChartSize, view.window());
    y += chartHeight + rowHeight_;

    y = summary(y);
    painter_.setFont(ReportFont(7));
    painter_.drawText(QRect(0, y + rowHeight_ / 2, area_.width(), 4 * rowHeight_),
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, Q(SummaryNote()));
    footer(1);
  }

  // Page `page` (2 and on) with its share of the records.
  void recordPage(int page) {
    writer_.newPage();
    const std::size_t first = static_cast<std::size_t>(page - 2) * rowsPerPage_;
    const std::size_t end = std::min(facts_.entries.size(), first + rowsPerPage_);
    painter_.setFont(bold_);
    const QFontMetricsF metrics(text_, &writer_);
    const int ascent = static_cast<int>(metrics.ascent());
    int x = 0;
    for (int c = 0; c < kArchiveColumnCount; ++c) {
      painter_.drawText(x, ascent, QString::fromUtf8(ArchiveColumnHeader(c)));
      x += columns_[static_cast<std::size_t>(c)];
    }
    const int rule = rowHeight_ + rowHeight_ / 4;
    painter_.setPen(QPen(Qt::black, 2));
    painter_.drawLine(0, rule, x, rule);
    painter_.setFont(text_);
    int y = rule + rowHeight_ / 4 + ascent;
    for (std::size_t n = first; n < end; ++n, y += rowHeight_) {
      x = 0;
      for (int c = 0; c < kArchiveColumnCount; ++c) {
        const std::string cell = ArchiveCellText(n, facts_.entries[n], c);
        if (!cell.empty()) painter_.drawText(x, y, Q(cell));
        x += columns_[static_cast<std::size_t>(c)];
      }
    }
    footer(page);
  }

  bool finish() { return painter_.end(); }

 private:
  int line(const QString& text, int y, double spacing) {
    const QFontMetricsF metrics(painter_.font(), &writer_);
    painter_.drawText(0, y + static_cast<int>(metrics.ascent()), text);
    return y + static_cast<int>(metrics.lineSpacing() * spacing);
  }

  // The per-channel table: columns as wide as their widest text, spread over the page.
  int summary(int y) {
    const SummaryRow header = SummaryHeader();
    const std::vector<SummaryRow> rows = SummaryRows(facts_);
    const QFontMetricsF metrics(text_, &writer_);
    std::array<double, kSummaryColumns> widths{};
    for (int c = 0; c < kSummaryColumns; ++c) {
      for (const SummaryRow& row : rows) {
        widths[c] = std::max(widths[c], metrics.horizontalAdvance(Q(row[c])));
      }
      // A heading may wrap; it still needs room for its longest word.
      for (const QString& word : Q(header[c]).split(QLatin1Char(' '))) {
        widths[c] = std::max(widths[c], QFontMetricsF(bold_, &writer_).horizontalAdvance(word));
      }
    }
    const double gap = 2.0 * metrics.averageCharWidth();
    const double total = std::accumulate(widths.begin(), widths.end(), 0.0);
    const double pad = std::max(gap, (area_.width() - total) / kSummaryColumns);
    std::array<int, kSummaryColumns + 1> left{};
    for (int c = 0; c < kSummaryColumns; ++c) {
      left[c + 1] = left[c] + static_cast<int>(widths[c] + pad);
    }

    painter_.setFont(bold_);
    const int headerHeight = 3 * rowHeight_;  // a heading may wrap to three lines
    for (int c = 0; c < kSummaryColumns; ++c) {
      painter_.drawText(
          QRect(left[c], y, left[c + 1] - left[c] - static_cast<int>(gap), headerHeight),
          Qt::AlignLeft | Qt::AlignBottom | Qt::TextWordWrap, Q(header[c]));
    }
    y += headerHeight + rowHeight_ / 4;
    painter_.setPen(QPen(Qt::black, 2));
    painter_.drawLine(0, y, left.back(), y);
    painter_.setFont(text_);
    y += rowHeight_ / 4;
    for (const SummaryRow& row : rows) {
      for (int c = 0; c < kSummaryColumns; ++c) {
        painter_.drawText(left[c], y + static_cast<int>(metrics.ascent()), Q(row[c]));
      }
      y += rowHeight_;
    }
    painter_.drawLine(0, y, left.back(), y);
    return y;
  }

  void footer(int page) {
    painter_.setFont(text_);
    painter_.drawText(QRect(0, footerTop_, area_.width(), rowHeight_), Qt::AlignCenter,
                      Q(PageFooter(page, pages_)));
  }

  QPdfWriter& writer_;
  const ArchiveReportFacts& facts_;
  QPainter painter_;
  QRect area_;  // inside the margins, in the writer's pixels
  QFont text_;
  QFont bold_;
  int rowHeight_;
  int footerTop_;
  std::array<int, kArchiveColumnCount> columns_;  // the list window's proportions
  int rowsPerPage_ = 1;
  int pages_ = 1;
};

}  // namespace

std::optional<QByteArray> ArchiveReportPdf(const ArchiveReportFacts& facts,
                                           const ReportProgress& progress) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setResolution(kDpi);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                     QPageLayout::Millimeter));
    writer.setTitle(Q(ReportTitle(facts)));
    writer.setCreator(QStringLiteral("KM-8"));
    ReportPainter report(writer, facts);
    const int pages = report.pages();
    report.firstPage();
    if (progress && !progress(1, pages)) return std::nullopt;
    for (int page = 2; page <= pages; ++page) {
      report.recordPage(page);
      if (progress && !progress(page, pages)) return std::nullopt;
    }
    if (!report.finish()) throw std::runtime_error("cannot finish the report");
  }
  return bytes;
}

}  // namespace km8
