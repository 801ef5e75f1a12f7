// The archive reading: time stamps, rows, progress, completion per mode, restarts,
// closing the list and link failures.
#include <algorithm>

#include "archive_reading_fixture.h"

namespace km8 {
namespace {

using test::recordOf;
using test::utcInstant;
using Row = std::array<std::string, kArchiveColumnCount>;

constexpr std::uint8_t kEmptySlot = 0x01;

TEST_F(ArchiveReadingTest, EachRecordIsStampedFromTheAgeAndTheIntervalsBeforeIt) {
  archive = {
      recordOf(0, 10, {231, -50, 32000, -32000, 0, -1, 1000, -12345}),
      recordOf(0xEF, 99),  // a restart: no interval of its own
      recordOf(0, 75, {1, 2, 3, 4, 5, 6, 7, 8}),
      recordOf(kEmptySlot, 30),
      recordOf(0, 1, {-5, 0, 0, 0, 0, 0, 0, 0}),
  };
  start(ArchiveMode::View, 5);
  EXPECT_EQ(list.captions.front(), "Перегляд архівів (Прилад №1)");
  EXPECT_TRUE(list.open);
  serveToTheEnd();

  ASSERT_EQ(list.entries.size(), 5u);
  EXPECT_EQ(list.row(0), (Row{"1", "14:01  07.03", "23.1", "-5.0", "----", "----", "0.0", "-0.1",
                              "100.0", "-1234.5"}));
  EXPECT_EQ(list.row(1), (Row{"2", "СКИД", "", "", "", "", "", "", "", ""}));
  EXPECT_EQ(list.row(2)[1], "13:51  07.03");
  EXPECT_EQ(list.row(3), (Row{"4", "ПУСТО", "", "", "", "", "", "", "", ""}));
  EXPECT_EQ(list.row(4)[1], "12:36  07.03");  // 75 minutes before 13:51:40
  EXPECT_EQ(list.row(4)[2], "-0.5");
  const std::int64_t stamps[] = {
      utcInstant(2026, 3, 7, 14, 1, 40), utcInstant(2026, 3, 7, 13, 51, 40),
      utcInstant(2026, 3, 7, 13, 51, 40), utcInstant(2026, 3, 7, 12, 36, 40),
      utcInstant(2026, 3, 7, 12, 36, 40)};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(list.entries[i].instant, stamps[i]) << "record " << i;

  EXPECT_EQ(progress(),
            (std::vector<std::string>{"  [20%]", "  [40%]", "  [60%]", "  [80%]", "  [100%]"}));
  EXPECT_EQ(list.caption(), "Перегляд архівів (Прилад №1)  [100%]");
  EXPECT_TRUE(reading.buffer().empty());  // a View reading keeps nothing
  // Complete: the main window comes to the front, then the list is made active.
  const auto order = log.matching("");
  const auto front = std::find(order.begin(), order.end(), "bring to front");
  ASSERT_NE(front, order.end());
  EXPECT_NE(std::find(front, order.end(), "list activated"), order.end());
  EXPECT_TRUE(exports.texts.empty());
  EXPECT_TRUE(exports.databases.empty());
}

TEST_F(ArchiveReadingTest, ProgressCompletionAndTheExportOfTheNextTick) {
  struct Case {
    ArchiveMode mode;
    std::uint16_t arcNum;
    std::vector<std::string> progress;
    const char* caption;
  };
  const Case cases[] = {
      {ArchiveMode::View, 1, {"  [100%]"}, "Перегляд архівів (Прилад №7)"},
      {ArchiveMode::TextExport,
       3,
       {"  [33%]", "  [66%]", "  [100%]"},
       "Створення текстового файлу (Прилад №7)"},
      {ArchiveMode::DatabaseExport, 0, {"  [100%]"}, "Створення бази даних (Прилад №7)"},
  };
  settings.update([](AppSettings& s) {
    s.DeviceID = 7;
    s.TextFileName = "/tmp/a.txt";
    s.TextAutoOpen = 0;
    s.DataBaseName = "/tmp/a.sqlite";
  });
  archive.assign(3, recordOf(0, 5));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    list.captions.clear();
    exports.texts.clear();
    exports.databases.clear();
    start(c.mode, c.arcNum);
    serveToTheEnd();
    const std::size_t read = c.progress.size();
    EXPECT_EQ(list.entries.size(), read);
    EXPECT_EQ(settings.get(&AppSettings::ArcNum), std::max<std::uint16_t>(c.arcNum, 1));
    EXPECT_EQ(progress(), c.progress);
    EXPECT_EQ(list.captions.front(), c.caption);
    EXPECT_EQ(reading.buffer().size(), c.mode == ArchiveMode::View ? 0 : read);

    // Nothing is written before the timer's next tick, and only once.
    EXPECT_TRUE(exports.texts.empty() && exports.databases.empty());
    log.clear();
    tick(3);
    const bool text = c.mode == ArchiveMode::TextExport;
    const bool database = c.mode == ArchiveMode::DatabaseExport;
    ASSERT_EQ(exports.texts.size(), text ? 1u : 0u);
    ASSERT_EQ(exports.databases.size(), database ? 1u : 0u);
    if (text) {
      EXPECT_EQ(exports.texts[0].entries, read);
      EXPECT_EQ(exports.texts[0].fileName, "/tmp/a.txt");
      EXPECT_FALSE(exports.texts[0].autoOpen);
    }
    if (database) {
      EXPECT_EQ(exports.databases[0].entries, read);
      EXPECT_EQ(exports.databases[0].fileName, "/tmp/a.sqlite");
      EXPECT_EQ(exports.databases[0].deviceId, 7u);
    }
    if (text || database) {
      EXPECT_EQ(log.matching(""),
                (std::vector<std::string>{text ? "text export" : "database export",
                                          "bring to front", "list activated"}));
    }
  }
}

// A record's start address is 2n in 16 bits: record 32768 would be asked for at address 0
// again, the newest record a second time. The reading ends before that, as at a normal end.
TEST_F(ArchiveReadingTest, AReadingEndsAtTheLastAddressableRecordWhateverArcNumSays) {
  archive.assign(3, recordOf(0, 1));
  start(ArchiveMode::TextExport, 60000);
  serveToTheEnd(40000 * 4);

  constexpr std::size_t kLast = 32768;
  EXPECT_EQ(list.entries.size(), kLast);
  EXPECT_EQ(reading.buffer().size(), kLast);
  EXPECT_EQ(list.caption(), "Створення текстового файлу (Прилад №1)  [100%]");
  EXPECT_EQ(settings.get(&AppSettings::ArcNum), 60000);  // the setting is left as chosen
  std::size_t atZero = 0;
  for (const LinkRequest& r : mailbox.submitted()) {
    if (r.kind == static_cast<std::uint8_t>(RequestKind::ReadHoldingRegisters) && r.start == 0) {
      ++atZero;
    }
  }
  EXPECT_EQ(atZero, 1u);
  tick();
  ASSERT_EQ(exports.texts.size(), 1u);
  EXPECT_EQ(exports.texts[0].entries, kLast);
}

TEST_F(ArchiveReadingTest, ARestartDiscardsTheRecordReplyUnderWayAndReadsTheAgeAgain) {
  archive = {recordOf(0, 10, {100}), recordOf(0, 10, {200}), recordOf(0, 10, {300})};
  start(ArchiveMode::TextExport, 3);
  readRecords(1);
  serveUntil(PollState::ArchiveFirstHalf);
  serve();  // record 1's second half is out
  ASSERT_EQ(list.entries.size(), 1u);

  ageBytes = {0, 0, 0, 0};
  start(ArchiveMode::View, 2);
  EXPECT_TRUE(list.entries.empty());
  EXPECT_TRUE(reading.buffer().empty());
  serve();  // the old reply arrives and is ignored
  EXPECT_TRUE(list.entries.empty());
  EXPECT_EQ(reading.recordIndex(), 0);

  serveUntil(PollState::ArchiveAge);
  serveToTheEnd();
  ASSERT_EQ(list.entries.size(), 2u);
  EXPECT_EQ(list.row(0)[1], "14:05  07.03");  // the fresh age, not the first one
  EXPECT_EQ(list.row(0)[2], "10.0");
  EXPECT_EQ(list.row(1)[2], "20.0");
  tick();
  EXPECT_TRUE(exports.texts.empty());  // the abandoned text reading exports nothing
}

TEST_F(ArchiveReadingTest, ClosingTheListStopsAfterTheRecordUnderWay) {
  struct Case {
    std::uint16_t arcNum;
    bool exported;  // only when the record under way was the last
  };
  archive.assign(5, recordOf(0, 5));
  for (const Case c : {Case{5, false}, Case{3, true}}) {
    SCOPED_TRACE(c.arcNum);
    exports.texts.clear();
    start(ArchiveMode::TextExport, c.arcNum);
    readRecords(2);
    serveUntil(PollState::ArchiveFirstHalf);  // record 2 is under way
    list.open = false;
    for (int i = 0; i < 12; ++i) serve();
    EXPECT_FALSE(reading.readingActive());
    EXPECT_EQ(list.entries.size(), 3u);
    tick();
    EXPECT_EQ(exports.texts.size(), c.exported ? 1u : 0u);
  }
}

TEST_F(ArchiveReadingTest, CancelAfterALinkFailureKeepsWhatWasReadAndExportsNothing) {
  archive.assign(5, recordOf(0, 5));
  struct Case {
    int recordsFirst;
    PollState failing;
    int failures;  // record halves are retried twice without a word
  };
  for (const Case c :
       {Case{0, PollState::ArchiveAge, 1}, Case{2, PollState::ArchiveSecondHalf, 3}}) {
    SCOPED_TRACE(c.recordsFirst);
    start(ArchiveMode::DatabaseExport, 5);
    readRecords(c.recordsFirst);
    serveUntil(c.failing);
    messages.shown.clear();
    messages.answers = {MessageResult::Cancel};
    for (int f = 0; f < c.failures; ++f) replyFailed();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "   Вiдсутнiй зв'язок !");

    EXPECT_FALSE(reading.readingActive());
    EXPECT_FALSE(reading.agePending());
    EXPECT_EQ(list.caption(), "Створення бази даних (Прилад №1) - немає зв'язку");
    EXPECT_EQ(list.entries.size(), static_cast<std::size_t>(c.recordsFirst));
    EXPECT_EQ(reading.buffer().size(), static_cast<std::size_t>(c.recordsFirst));
    for (int i = 0; i < 8; ++i) {
      EXPECT_FALSE(archiveState());  // back to the regular polling
      serve();
    }
    tick();
    EXPECT_TRUE(exports.databases.empty());
  }
}

}  // namespace
}  // namespace km8
