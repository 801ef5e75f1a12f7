#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <string>
#include <vector>

#include "controls/ui/strip_chart_widget.h"
#include "qt/pixel_checks.h"

namespace km8 {
namespace {

class StripChartOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    chart.resize(400, 305);
    for (int k = 0; k < 30; ++k) chart.setSampleValue(0, chart.newSample(), 20.0 + k);
  }
  std::string path(const char* name) const { return dir.filePath(name).toStdString(); }

  QTemporaryDir dir;
  StripChartWidget chart;
};

TEST_F(StripChartOutput, SavesReadableJpegAndBitmapOfTheChartsSize) {
  chart.saveJpeg(path("chart.JPG"), 100, false);
  chart.saveJpeg(path("progressive.jpg"), 60, true);
  chart.saveBitmap(path("chart.BMP"));
  for (const auto& [name, format] : std::vector<std::pair<const char*, QByteArray>>{
           {"chart.JPG", "jpeg"}, {"progressive.jpg", "jpeg"}, {"chart.BMP", "bmp"}}) {
    QImageReader reader(QString::fromStdString(path(name)));
    EXPECT_EQ(reader.format(), format) << name;
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << name << ": " << reader.errorString().toStdString();
    EXPECT_EQ(image.size(), QSize(400, 305)) << name;
  }
  // The bitmap is lossless: it is the picture as shown.
  EXPECT_EQ(QImage(QString::fromStdString(path("chart.BMP"))).convertToFormat(QImage::Format_RGB32),
            test::Grab(chart));
}

TEST_F(StripChartOutput, SavingWhereNoFileCanBeWrittenThrowsWithTheReason) {
  const std::string nowhere = path("missing-folder/chart.bmp");
  for (int kind = 0; kind < 2; ++kind) {
    try {
      if (kind == 0) chart.saveBitmap(nowhere);
      if (kind == 1) chart.saveJpeg(nowhere, 100, false);
      ADD_FAILURE() << "no error for kind " << kind;
    } catch (const ControlError& e) {
      EXPECT_NE(std::string(e.what()).find("Cannot write file " + nowhere), std::string::npos)
          << e.what();
    }
  }
  EXPECT_THROW(chart.saveBitmap(""), ControlError);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(nowhere)));
}

TEST_F(StripChartOutput, PrintsToAPdfFile) {
  chart.prePrint();
  chart.setPrintSetting(false);  // no dialog
  const QString pdf = dir.filePath("chart.pdf");
  chart.printer()->setOutputFormat(QPrinter::PdfFormat);
  chart.printer()->setOutputFileName(pdf);
  chart.print();
  QFile file(pdf);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_GT(file.size(), 1000);
  EXPECT_TRUE(file.read(5) == "%PDF-");
  EXPECT_EQ(chart.printer()->pageLayout().orientation(), QPageLayout::Landscape);

  chart.printer()->setOutputFileName(dir.filePath("missing-folder/chart.pdf"));
  try {
    chart.print();
    ADD_FAILURE() << "printing into a missing folder succeeded";
  } catch (const ControlError& e) {
    EXPECT_NE(std::string(e.what()).find("missing-folder"), std::string::npos) << e.what();
  }
}

TEST_F(StripChartOutput, CopiesThePictureAsShownToTheClipboard) {
  chart.setBackgroundColors(kWhite, kWhite);
  chart.copyToClipboard();
  const QImage copied = QGuiApplication::clipboard()->image();
  ASSERT_EQ(copied.size(), QSize(400, 305));
  EXPECT_TRUE(test::Is(copied.convertToFormat(QImage::Format_RGB32), 0, 0, Qt::white));
}

TEST_F(StripChartOutput, EveryMousePressReachesTheOwnerWithButtonShiftAndPosition) {
  struct Press {
    int button, shift, x, y;
  };
  std::vector<Press> presses;
  chart.setMouseHandler([&](int b, int s, int x, int y) { presses.push_back({b, s, x, y}); });
  QTest::mouseClick(&chart, Qt::RightButton, Qt::NoModifier, QPoint(120, 80));
  QTest::mouseClick(&chart, Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier,
                    QPoint(3, 300));
  EXPECT_FALSE(chart.cursor().shown);  // only the left button places the cursor
  QTest::mouseClick(&chart, Qt::LeftButton, Qt::AltModifier, QPoint(200, 100));
  QTest::mouseClick(&chart, Qt::MiddleButton, Qt::NoModifier, QPoint(10, 10));
  ASSERT_EQ(presses.size(), 4u);
  EXPECT_EQ(presses[0].button, 2);
  EXPECT_EQ(presses[0].shift, 0);
  EXPECT_EQ(presses[0].x, 120);
  EXPECT_EQ(presses[0].y, 80);
  EXPECT_EQ(presses[1].button, 2);
  EXPECT_EQ(presses[1].shift, 3);
  EXPECT_EQ(presses[1].y, 300);
  EXPECT_EQ(presses[2].button, 1);
  EXPECT_EQ(presses[2].shift, 4);
  EXPECT_EQ(presses[3].button, 4);
  EXPECT_TRUE(chart.cursor().shown);
}

}  // namespace
}  // namespace km8
