// The export workflows end to end in the core: a reading from the scripted instrument, the
// timer tick that hands it over, and the station's exporter writing the real text file
// (or handing the rows to the database layer), then the main window and the list.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "archive_reading_fixture.h"
#include "archives/archive_exporter.h"
#include "support/archive_entries.h"

namespace km8 {
namespace {

struct LoggingOpener : DocumentOpener {
  explicit LoggingOpener(test::EventLog& l) : log(l) {}
  void openDocument(const std::string& path) override { log.add("open " + path); }
  test::EventLog& log;
};

struct RowCounter : ArchiveDatabase {
  explicit RowCounter(test::EventLog& l) : log(l) {}
  std::optional<std::string> replaceTable(const std::string& fileName, DatabaseEngine,
                                          const std::string& table,
                                          std::span<const ArchiveRow> rows) override {
    log.add("table " + table + " of " + fileName + ": " + std::to_string(rows.size()) + " rows");
    return std::nullopt;
  }
  test::EventLog& log;
};

class ArchiveExportWorkflowTest : public ArchiveReadingTest {
 protected:
  ArchiveExportWorkflowTest() {
    reading.attachExports(exporter);
    tick();  // the first tick publishes the window's handle
  }

  test::ScratchFolder folder{"km8-export-workflow"};
  LoggingOpener opener{log};
  RowCounter database{log};
  ArchiveExporter exporter{messages, window, opener, database};
};

TEST_F(ArchiveExportWorkflowTest, ReadingThenTickWritesTheFileOrTheTable) {
  const std::string text = folder.file("Archives.txt");
  settings.update([&](AppSettings& s) {
    s.DeviceID = 4;
    s.TextFileName = text;
    s.TextAutoOpen = 1;
    s.DataBaseName = folder.file("Archives.sqlite");
  });
  archive = {test::recordOf(0, 5, {231, -32000}), test::recordOf(0xEF, 0),
             test::recordOf(0, 7, {-12345}), test::recordOf(0x33, 0)};

  std::ofstream(text, std::ios::binary) << std::string(5000, 'x');  // a longer old file
  start(ArchiveMode::TextExport, 4);
  serveToTheEnd();
  log.clear();
  tick();
  std::ifstream in(text, std::ios::binary);
  std::ostringstream written;
  written << in.rdbuf();
  EXPECT_EQ(written.str(), BuildArchiveText(reading.buffer()));
  EXPECT_NE(written.str().find("\r\n2      \xD1\xEA\xE8\xE4\r\n"), std::string::npos);  // Скид
  EXPECT_EQ(log.matching(""),
            (std::vector<std::string>{"open " + text, "bring to front", "list activated"}));
  EXPECT_EQ(folder.names(), std::vector<std::string>{"Archives.txt"});

  start(ArchiveMode::DatabaseExport, 4);
  serveToTheEnd();
  log.clear();
  tick();
  EXPECT_EQ(log.matching(""),
            (std::vector<std::string>{"table #4 of " + folder.file("Archives.sqlite") + ": 2 rows",
                                      "bring to front", "list activated"}));
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace km8
