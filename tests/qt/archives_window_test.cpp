// The archives dialog and the archive list window as the main window hosts them: the
// "Архіви" command, file choice and checks, what is saved, and the list window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <deque>
#include <functional>

#include "app/ui/station_features.h"
#include "archives/archive_rows.h"
#include "archives/database_file_rule.h"
#include "archives/ui/archive_chart_widget.h"
#include "archives/ui/archive_chart_window.h"
#include "archives/ui/archive_feature.h"
#include "archives/ui/archive_list_model.h"
#include "archives/ui/archive_list_window.h"
#include "archives/ui/archives_dialog.h"
#include "monitor/ui/main_window.h"
#include "qt/run_events.h"
#include "qt/user_input.h"
#include "res/archive_templates.h"
#include "support/archive_entries.h"
#include "support/archive_fakes.h"
#include "support/fake_link_mailbox.h"
#include "support/scripted_message_host.h"

namespace km8 {
namespace {

class ArchivesWindowTest : public ::testing::Test {
 protected:
  ArchivesWindowTest()
      : window_(mailbox, settings, messages,
                MainWindowCallbacks{[] {}, [this] { ++saves; }, [](int) {}},
                StationFeatures::factory()) {
    settings.update([](AppSettings& s) {
      s.ArcNum = 100;
      s.TextAutoOpen = 1;
      s.TextFileName = "/data/Archives.txt";
      s.DataBaseName = "/data/Archives.sqlite";
    });
    StationFeatures::of(window_).archives().setFileChooser(
        [this](QWidget*, const QString& initial, const QString& filter) {
          offered.push_back({initial, filter});
          std::optional<QString> answer;
          if (!chosen.empty()) {
            answer = chosen.front();
            chosen.pop_front();
          }
          return answer;
        });
    window_.show();
  }

  // Presses "Архіви" and runs `inside` on the dialog once it is up.
  void runCommand(const std::function<void(ArchivesDialog&)>& inside) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<ArchivesDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      ran = true;
      inside(*dialog);
      if (dialog->isVisible()) dialog->reject();  // a refused choice leaves it open
    });
    button(window_, 1041)->click();
    EXPECT_TRUE(ran);
  }

  static QPushButton* button(const QWidget& w, int id) {
    for (auto* b : w.findChildren<QPushButton*>()) {
      if (b->property("controlId").toInt() == id) return b;
    }
    return nullptr;
  }

  ArchiveListWindow& list() { return *StationFeatures::of(window_).archives().listWindow(); }
  bool reading() { return StationFeatures::of(window_).archives().reading().readingActive(); }

  test::FakeLinkMailbox mailbox;
  SharedSettings settings;
  test::ScriptedMessageHost messages;
  int saves = 0;
  std::deque<QString> chosen;
  std::vector<std::pair<QString, QString>> offered;
  MainWindow window_;
};

TEST_F(ArchivesWindowTest, ChosenFileNamesAreKeptCompletedOrRefused) {
  const std::string dbSuffix = DatabaseFileRule().appendedSuffix;
  // The file dialog names a file with forward slashes; the settings keep the system's own
  // form, on Windows with the drive and backslashes.
#ifdef _WIN32
  const std::string root = "C:";
  const auto native = [](std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
  };
#else
  const std::string root;
  const auto native = [](std::string path) { return path; };
#endif
  struct Case {
    int button;
    std::string chosen;
    std::string stored;  // empty: refused, nothing changes
    const char* caption;
  };
  const Case cases[] = {
      {1057, root + "/tmp/km8/report.txt", native(root + "/tmp/km8/report.txt"),
       "Створення текстового файлу"},
      {1057, root + "/tmp/km8/report", native(root + "/tmp/km8/report.txt"),
       "Створення текстового файлу"},
      {1057, root + "/tmp/km8/report.TxT", native(root + "/tmp/km8/report.TxT"),
       "Створення текстового файлу"},
      {1057, root + "/tmp/km8/report.csv", "", nullptr},
      {1057, root + "/tmp/km8.d/report", native(root + "/tmp/km8.d/report.txt"),
       "Створення текстового файлу"},
      {1058, root + "/tmp/km8/archive", native(root + "/tmp/km8/archive" + dbSuffix),
       "Створення бази даних"},
      {1058, root + "/tmp/km8/archive.txt", "", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen);
    const AppSettings before = settings.snapshot();
    const int savesBefore = saves;
    messages.shown.clear();
    offered.clear();
    chosen = {QString::fromStdString(c.chosen)};
    runCommand([&](ArchivesDialog& d) { button(d, c.button)->click(); });

    ASSERT_EQ(offered.size(), 1u);
    const ArchiveFileRule& rule = c.button == 1057 ? TextFileRule() : DatabaseFileRule();
    EXPECT_EQ(offered[0].second.toStdString(), rule.filter);
    EXPECT_EQ(offered[0].first.toStdString(),
              c.button == 1057 ? before.TextFileName : before.DataBaseName);
    if (c.stored.empty()) {
      ASSERT_EQ(messages.shown.size(), 1u);
      EXPECT_EQ(messages.shown[0].text, rule.wrongExtensionText);
      EXPECT_EQ(messages.shown[0].caption, "Увага");
      EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
      EXPECT_EQ(settings.snapshot(), before);
      EXPECT_EQ(saves, savesBefore);
      continue;
    }
    EXPECT_TRUE(messages.shown.empty());
    const AppSettings after = settings.snapshot();
    EXPECT_EQ(c.button == 1057 ? after.TextFileName : after.DataBaseName, c.stored);
    const std::string& was = c.button == 1057 ? before.TextFileName : before.DataBaseName;
    EXPECT_EQ(saves - savesBefore, c.stored == was ? 0 : 1);  // the same name again: no save
    EXPECT_TRUE(reading());
    EXPECT_TRUE(list().windowTitle().startsWith(QString::fromUtf8(c.caption)));
  }
}

TEST_F(ArchivesWindowTest, SettingsAreSavedOnlyWhenOneOfTheFourChanged) {
  struct Case {
    const char* name;
    const char* count;
    bool toggleBox;
    bool refused;  // the count: the dialog stays open, nothing starts
    int saves;
  };
  const Case cases[] = {
      {"unchanged", "100", false, false, 0}, {"only the box", "100", true, false, 1},
      {"zero", "0", false, true, 0},         {"too many", "60001", false, true, 0},
      {"empty", "", false, true, 0},         {"the most", "60000", false, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StationFeatures::of(window_).archives().reading().clearReadingActive();
    const AppSettings before = settings.snapshot();
    const int savesBefore = saves;
    messages.shown.clear();
    runCommand([&](ArchivesDialog& d) {
      auto* count = d.controls().controlAs<QLineEdit>(kRecordCountEditId);
      count->setText(QString::fromUtf8(c.count));
      if (c.toggleBox) d.controls().controlAs<QCheckBox>(kAutoOpenCheckId)->toggle();
      QTest::keyClick(&d, Qt::Key_Return);  // "Перегляд" is the default button
      EXPECT_EQ(d.isVisible(), c.refused);
    });
    EXPECT_EQ(saves - savesBefore, c.saves);
    EXPECT_EQ(reading(), !c.refused);
    if (c.refused) {
      ASSERT_EQ(messages.shown.size(), 1u);
      EXPECT_NE(messages.shown[0].text.find("від 1 до 60000"), std::string::npos);
      EXPECT_EQ(settings.snapshot(), before);
      continue;
    }
    const AppSettings after = settings.snapshot();
    EXPECT_EQ(after.ArcNum, std::stoi(c.count));
    EXPECT_EQ(after.TextAutoOpen, c.toggleBox ? 1 - before.TextAutoOpen : before.TextAutoOpen);
    EXPECT_EQ(list().windowTitle(), "Перегляд архівів (Прилад №1)");
    EXPECT_TRUE(list().isVisible());
    EXPECT_TRUE(list().listOpen());
  }
}

TEST_F(ArchivesWindowTest, TheListWindowShowsTenLeftAlignedColumnsAndHidesOnClose) {
  ArchiveListWindow& w = list();
  EXPECT_FALSE(w.isVisible());  // created hidden with the main window
  EXPECT_FALSE(w.listOpen());
  EXPECT_FALSE(w.isModal());
  QTableView* view = w.list();
  EXPECT_EQ(view->property("controlId").toInt(), kArchiveListId);
  const auto widths = ArchiveColumnWidths(view->width() - 2 * view->frameWidth());
  ASSERT_EQ(w.model()->columnCount(), kArchiveColumnCount);
  for (int c = 0; c < kArchiveColumnCount; ++c) {
    EXPECT_EQ(w.model()->headerData(c, Qt::Horizontal).toString().toStdString(),
              ArchiveColumnHeader(c));
    EXPECT_EQ(view->columnWidth(c), widths[c]) << c;
  }
  EXPECT_EQ(widths[1], static_cast<int>(widths[2] * 1.8f));

  runCommand([](ArchivesDialog& d) { button(d, kViewButtonId)->click(); });
  ASSERT_TRUE(w.isVisible());
  w.appendRow({.record = test::recordOf(0, 1, {231, 32000}), .local = {2026, 3, 7, 9, 5, 0}});
  const QModelIndex cell = w.model()->index(0, 1);
  EXPECT_EQ(cell.data().toString(), "09:05  07.03");
  EXPECT_EQ(w.model()->index(0, 3).data().toString(), "----");
  EXPECT_EQ(cell.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
            Qt::AlignLeft);

  QTest::keyClick(&w, Qt::Key_Return);  // does nothing
  EXPECT_TRUE(w.isVisible());
  QTest::keyClick(&w, Qt::Key_Escape);
  EXPECT_FALSE(w.isVisible());
  EXPECT_FALSE(w.listOpen());
  EXPECT_EQ(w.model()->rowCount(), 1);  // the rows stay until the next reading

  runCommand([](ArchivesDialog& d) { button(d, kViewButtonId)->click(); });
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.model()->rowCount(), 0);
  w.close();  // the close box
  EXPECT_FALSE(w.listOpen());
}

struct RecordingOpener : DocumentOpener {
  void openDocument(const std::string& path) override { opened.push_back(path); }
  std::vector<std::string> opened;
};

TEST_F(ArchivesWindowTest, TheListsRightButtonOpensTheChartAndWritesTheReport) {
  QTemporaryDir dir;
  RecordingOpener opener;
  ArchiveFeature& archives = StationFeatures::of(window_).archives();
  archives.setReportOpener(opener);
  runCommand([](ArchivesDialog& d) { button(d, kViewButtonId)->click(); });
  ArchiveListWindow& w = list();

  // Right-clicks the list as a user would and picks the item `pick` (0 or 1); returns
  // each item's text and whether it could be chosen.
  const auto rightClick = [&](int pick) {
    QStringList items;
    test::whenModal<QMenu>([&](QMenu& menu) {
      for (QAction* a : menu.actions()) items << a->text() + (a->isEnabled() ? "" : " (off)");
      QAction* item = menu.actions().value(pick);
      if (item != nullptr && item->isEnabled()) {
        test::userClick(menu, Qt::LeftButton, menu.actionGeometry(item).center());
      } else {
        menu.close();
      }
    });
    w.raise();  // above the chart window, as the user brings it back to click it
    test::userClick(*w.list()->viewport(), Qt::RightButton, QPoint(40, 10));
    QCoreApplication::processEvents();
    return items;
  };

  // Nothing listed yet: the chart opens empty; there is nothing to report.
  EXPECT_EQ(rightClick(1), QStringList({"Графік архіву", "Звіт PDF… (off)"}));
  EXPECT_EQ(rightClick(0), QStringList({"Графік архіву", "Звіт PDF… (off)"}));
  ArchiveChartWindow* chart = archives.chartWindow();
  ASSERT_NE(chart, nullptr);
  EXPECT_TRUE(chart->isVisible());
  EXPECT_EQ(chart->windowTitle(), "Графік архіву (Прилад №1)");

  // Rows arriving reach the chart.
  const std::int64_t newest = test::utcInstant(2026, 12, 7, 12, 0, 0);
  for (int k = 0; k < 3; ++k) w.appendRow(test::StampedEntry(0, {200, 210}, newest - k * 600));
  EXPECT_EQ(chart->chart()->scene().entryCount(), 3u);

  // The report goes where the save dialog says, as a PDF, and is opened afterwards.
  chosen = {dir.filePath("batch")};
  offered.clear();
  EXPECT_EQ(rightClick(1), QStringList({"Графік архіву", "Звіт PDF…"}));
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_EQ(offered[0].second, "PDF (*.pdf)");
  QFile pdf(dir.filePath("batch.pdf"));
  ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
  EXPECT_TRUE(pdf.read(5) == "%PDF-");
  ASSERT_EQ(opener.opened.size(), 1u);
  EXPECT_EQ(QString::fromStdString(opener.opened[0]), QDir::toNativeSeparators(pdf.fileName()));
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace km8
