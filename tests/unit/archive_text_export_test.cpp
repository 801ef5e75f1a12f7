#include <gtest/gtest.h>

#include <cstdio>
#include <deque>

#include "archives/code_page_1251.h"
#include "archives/text_export.h"
#include "support/archive_entries.h"
#include "support/event_log.h"
#include "support/scripted_message_host.h"

namespace km8 {
namespace {

using test::EventLog;
using test::MakeArchiveEntry;

TEST(CodePage1251, EncodesCyrillicSignsAndLatinByteForByte) {
  const struct {
    const char* utf8;
    std::string cp1251;
  } cases[] = {
      {"Номер", "\xCD\xEE\xEC\xE5\xF0"},
      {"Час/Дата", "\xD7\xE0\xF1/\xC4\xE0\xF2\xE0"},
      {"°", "\xB0"},
      {"і", "\xB3"},  // Cyrillic i
      {"i", "i"},     // Latin i, mixed in on purpose in the station's texts
      {"Ї№Ґ€", "\xAF\xB9\xA5\x88"},
      {"中", "?"},  // not in the code page
      {"a\xFF"
       "b",
       "a?b"},        // not UTF-8
      {"\xD0", "?"},  // cut short
  };
  for (const auto& c : cases) EXPECT_EQ(ToCodePage1251(c.utf8), c.cp1251) << c.utf8;
}

TEST(TextExport, AppendFieldPadsShortTextsAndLetsLongOnesTouch) {
  const struct {
    const char* text;
    std::size_t width;
    const char* line;
  } cases[] = {{"23.1", 7, "23.1   "},
               {"", 3, "   "},
               {"-1234.5", 7, "-1234.5"},
               {"12345678", 7, "12345678"}};
  for (const auto& c : cases) {
    std::string line = "|";
    AppendField(line, c.text, c.width);
    EXPECT_EQ(line, std::string("|") + c.line) << c.text;
  }
}

// The header, a valid record with markers and a 7-character value, a reset marker, an
// empty slot and a second valid record: the file's exact bytes.
ArchiveBuffer KnownBuffer() {
  ArchiveBuffer b;
  b.append(MakeArchiveEntry(0x00, {231, -50, -32000, -12345, 32000, 0, 9999, -1},
                            {2026, 3, 7, 14, 1, 40}));
  b.append(MakeArchiveEntry(0xEF));
  b.append(MakeArchiveEntry(0x05));
  b.append(MakeArchiveEntry(0x00, {1000, 1000, 1000, 1000, 1000, 1000, 1000, 32767},
                            {2026, 12, 31, 9, 5, 0}));
  return b;
}

const std::string kKnownText =
    "\xCD\xEE\xEC\xE5\xF0  \xD7\xE0\xF1/\xC4\xE0\xF2\xE0      "
    "T1,\xB0"
    "C  T2,\xB0"
    "C  T3,\xB0"
    "C  T4,\xB0"
    "C  T5,\xB0"
    "C  T6,\xB0"
    "C  T7,\xB0"
    "C  T8,\xB0"
    "C  \r\n"
    "1      14:01 07.03   23.1   -5.0   ----   -1234.5----   0.0    999.9  -0.1   \r\n"
    "2      \xD1\xEA\xE8\xE4\r\n"
    "3      \xCF\xF3\xF1\xF2\xEE\r\n"
    "4      09:05 31.12   100.0  100.0  100.0  100.0  100.0  100.0  100.0  ----   \r\n";

TEST(TextExport, BuildsTheFileByteForByte) {
  EXPECT_EQ(BuildArchiveText(KnownBuffer()), kKnownText);
  ArchiveBuffer one;
  one.append(MakeArchiveEntry(0x00, {}, {2026, 1, 2, 3, 4, 5}));
  const std::string text = BuildArchiveText(one);
  EXPECT_EQ(text.substr(text.find("\r\n") + 2),
            "1      03:04 02.01   0.0    0.0    0.0    0.0    0.0    0.0    0.0    0.0    \r\n");
}

// Every raw value the instrument can send prints as printf's "%.1f" of its decoded value.
TEST(TextExport, ValuesPrintAsPrintfDoesForEveryRawValue) {
  ArchiveBuffer buffer;
  std::string expected;
  for (int first = -32768; first <= 32767; first += 8) {
    std::array<std::int16_t, 8> raw{};
    std::string line = "       00:00 01.01   ";
    for (int c = 0; c < 8; ++c) {
      raw[c] = static_cast<std::int16_t>(first + c);
      char text[32];
      const double degrees =
          (first + c) <= -32000 || (first + c) >= 32000 ? 10000.0 : (first + c) * 0.1;
      std::snprintf(text, sizeof text, "%.1f", degrees);
      AppendField(line, degrees == 10000.0 ? "----" : text, 7);
    }
    buffer.append(MakeArchiveEntry(0x00, raw, {2026, 1, 1, 0, 0, 0}));
    expected += line + "\r\n";
  }
  std::string text = BuildArchiveText(buffer);
  text.erase(0, text.find("\r\n") + 2);
  // Blank out the line numbers, which are not the point here.
  for (std::size_t at = 0; at < text.size(); at = text.find("\r\n", at) + 2) {
    text.replace(at, 7, 7, ' ');
  }
  EXPECT_EQ(text, expected);
}

// A replacement file answering from a script, logging what it was asked to do.
class ScriptedFile : public ReplacementFile {
 public:
  ScriptedFile(EventLog& log, std::deque<FileCreateError> creates, std::deque<bool> writes)
      : log_(log), creates_(std::move(creates)), writes_(std::move(writes)) {}
  FileCreateError create(const std::string& path) override {
    log_.add("create " + path);
    const auto r = creates_.empty() ? FileCreateError::None : creates_.front();
    if (!creates_.empty()) creates_.pop_front();
    return r;
  }
  bool writeAndReplace(std::string_view bytes) override {
    log_.add("write " + std::to_string(bytes.size()));
    const bool r = writes_.empty() || writes_.front();
    if (!writes_.empty()) writes_.pop_front();
    return r;
  }
  void discard() override { log_.add("discard"); }

 private:
  EventLog& log_;
  std::deque<FileCreateError> creates_;
  std::deque<bool> writes_;
};

struct LoggingFront : MainWindowFront {
  explicit LoggingFront(EventLog& l) : log(l) {}
  bool BringToFront() override {
    log.add("front");
    return false;
  }
  void minimise() override {}
  EventLog& log;
};

struct LoggingOpener : DocumentOpener {
  explicit LoggingOpener(EventLog& l) : log(l) {}
  void openDocument(const std::string& path) override { log.add("open " + path); }
  EventLog& log;
};

TEST(TextExport, PromptsRetryOrCancelAndOpensOnlyAWrittenFile) {
  const std::string size = std::to_string(kKnownText.size());
  const std::string noCreate = "message Неможливо створити файл 'a.txt' !";
  const std::string protectedDisk = "message Диск захищений від запису !";
  const std::string writeFailed = "message Помилка запису файла 'a.txt' !";
  const struct {
    const char* name;
    std::deque<FileCreateError> creates;
    std::deque<bool> writes;
    std::deque<MessageResult> answers;
    bool autoOpen;
    std::vector<std::string> events;
  } cases[] = {
      {"written and opened", {}, {}, {}, true, {"create a.txt", "write " + size, "open a.txt"}},
      {"auto-open off", {}, {}, {}, false, {"create a.txt", "write " + size}},
      {"write-protected, retried",
       {FileCreateError::WriteProtected},
       {},
       {MessageResult::Retry},
       true,
       {"create a.txt", "front", protectedDisk, "create a.txt", "write " + size, "open a.txt"}},
      {"create cancelled",
       {FileCreateError::Other},
       {},
       {MessageResult::Cancel},
       true,
       {"create a.txt", "front", noCreate}},
      {"write retried",
       {},
       {false},
       {MessageResult::Retry},
       true,
       {"create a.txt", "write " + size, "front", writeFailed, "write " + size, "open a.txt"}},
      {"write cancelled",
       {},
       {false},
       {MessageResult::Cancel},
       true,
       {"create a.txt", "write " + size, "front", writeFailed, "discard"}},
  };
  for (const auto& c : cases) {
    EventLog log;
    test::ScriptedMessageHost messages(&log);
    messages.answers = c.answers;
    LoggingFront front(log);
    LoggingOpener opener(log);
    ExportArchiveText(KnownBuffer(), {"a.txt", c.autoOpen},
                      {messages, front, opener,
                       [&] { return std::make_unique<ScriptedFile>(log, c.creates, c.writes); }});
    EXPECT_EQ(log.events, c.events) << c.name;
    for (const Message& m : messages.shown) {
      EXPECT_EQ(m.caption, "Створення текстового файлу");
      EXPECT_EQ(m.buttons, MessageButtons::RetryCancel);
      EXPECT_EQ(m.icon, MessageIcon::Error);
    }
  }
}

// Names the platform cannot create a file for fail at create, before anything is written.
TEST(TextExport, NamesWithNoPlaceToGoFailToCreate) {
  test::ScratchFolder folder("km8-text-names");
  for (const std::string& name : {folder.file("no-such-folder") + "/a.txt", std::string()}) {
    EXPECT_EQ(MakeReplacementFile()->create(name), FileCreateError::Other) << name;
  }
  EXPECT_TRUE(folder.names().empty());
}

}  // namespace
}  // namespace km8
