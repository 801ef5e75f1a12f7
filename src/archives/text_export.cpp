#include "archives/text_export.h"

#include <charconv>
#include <cstdio>

#include "archives/code_page_1251.h"

namespace km8 {
namespace {

constexpr std::size_t kNumberWidth = 7;
constexpr std::size_t kTimeWidth = 14;
constexpr std::size_t kValueWidth = 7;
constexpr char kLineEnd[] = "\r\n";
constexpr char kMarkerText[] = "----";

void AppendNumber(std::string& line, std::size_t number) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  AppendField(line, std::string_view(digits, static_cast<std::size_t>(end - digits)), kNumberWidth);
}

void AppendTwoDigits(std::string& line, int value) {
  line += static_cast<char>('0' + value / 10 % 10);
  line += static_cast<char>('0' + value % 10);
}

// "%H:%M %d.%m" of the entry's local time.
void AppendTime(std::string& line, const LocalDateTime& t) {
  std::string text;
  AppendTwoDigits(text, t.hour);
  text += ':';
  AppendTwoDigits(text, t.minute);
  text += ' ';
  AppendTwoDigits(text, t.day);
  text += '.';
  AppendTwoDigits(text, t.month);
  AppendField(line, text, kTimeWidth);
}

// "%.1f" of the decoded value (to_chars rounds exactly as printf does), or the marker.
void AppendValue(std::string& line, double degrees) {
  if (IsTemperatureMarker(degrees)) {
    AppendField(line, kMarkerText, kValueWidth);
    return;
  }
  char digits[32];
  const auto end =
      std::to_chars(digits, digits + sizeof digits, degrees, std::chars_format::fixed, 1).ptr;
  AppendField(line, std::string_view(digits, static_cast<std::size_t>(end - digits)), kValueWidth);
}

std::string HeaderLine() {
  std::string line;
  AppendField(line, ToCodePage1251("Номер"), kNumberWidth);
  AppendField(line, ToCodePage1251("Час/Дата"), kTimeWidth);
  for (int channel = 1; channel <= kChannelCount; ++channel) {
    AppendField(line, ToCodePage1251("T" + std::to_string(channel) + ",°C"), kValueWidth);
  }
  line += kLineEnd;
  return line;
}

Message TextPrompt(std::string text) {
  Message m;
  m.text = std::move(text);
  m.caption = kTextExportCaption;
  m.buttons = MessageButtons::RetryCancel;
  m.icon = MessageIcon::Error;
  return m;
}

}  // namespace

void AppendField(std::string& line, std::string_view text, std::size_t width) {
  line += text;
  if (text.size() < width) line.append(width - text.size(), ' ');
}

std::string BuildArchiveText(const ArchiveBuffer& buffer) {
  const std::string reset = ToCodePage1251("Скид");
  const std::string empty = ToCodePage1251("Пусто");
  std::string text = HeaderLine();
  // A valid line is at most 7 + 14 + 8 * 7 bytes and its line end.
  text.reserve(text.size() + buffer.size() * (kNumberWidth + kTimeWidth + 8 * kValueWidth + 2));
  for (std::size_t k = 0; k < buffer.size(); ++k) {
    const ArchiveEntry& entry = buffer[k];
    AppendNumber(text, k + 1);
    switch (entry.kind()) {
      case ArchiveRecordKind::Valid:
        AppendTime(text, entry.local);
        for (int channel = 0; channel < kChannelCount; ++channel) {
          AppendValue(text, entry.record.temperature(channel));
        }
        break;
      case ArchiveRecordKind::ResetMarker:
        text += reset;
        break;
      case ArchiveRecordKind::EmptySlot:
        text += empty;
        break;
    }
    text += kLineEnd;
  }
  return text;
}

Message TextCreateFailedMessage(FileCreateError error, const std::string& fileName) {
  if (error == FileCreateError::WriteProtected) return TextPrompt("Диск захищений від запису !");
  return TextPrompt("Неможливо створити файл '" + fileName + "' !");
}

Message TextWriteFailedMessage(const std::string& fileName) {
  return TextPrompt("Помилка запису файла '" + fileName + "' !");
}

void ExportArchiveText(const ArchiveBuffer& buffer, const TextExportSettings& settings,
                       TextExportServices services) {
  const std::string text = BuildArchiveText(buffer);
  const std::string& name = settings.textFileName;
  const std::unique_ptr<ReplacementFile> file = services.makeFile();
  for (;;) {
    const FileCreateError error = file->create(name);
    if (error == FileCreateError::None) break;
    services.window.BringToFront();
    if (services.messages.showMessage(TextCreateFailedMessage(error, name)) !=
        MessageResult::Retry) {
      return;
    }
  }
  while (!file->writeAndReplace(text)) {
    services.window.BringToFront();
    if (services.messages.showMessage(TextWriteFailedMessage(name)) != MessageResult::Retry) {
      file->discard();
      return;
    }
  }
  if (settings.autoOpen) services.opener.openDocument(name);
}

}  // namespace km8
