#include "archives/text_export.h"

#include <array>
#include <charconv>
#include <cstring>
#include <memory>

#include "archives/code_page_1251.h"
#include "archives/prompted_file_write.h"

namespace km8 {
namespace {

constexpr std::size_t kNumberWidth = 7;
constexpr std::size_t kTimeWidth = 14;
constexpr std::size_t kValueWidth = 7;
constexpr char kMarkerText[] = "----";

// A value's field, padded to 7 bytes, and one spare byte.
using ValueField = std::array<char, 8>;

// "%.1f" of the decoded value, or the marker. The values are whole tenths below 10000
// degrees, so printing the tenths as an integer gives exactly what printf gives, and
// never more than 7 bytes ("-3199.9").
ValueField FormatValue(double degrees) {
  ValueField field;
  field.fill(' ');
  if (IsTemperatureMarker(degrees)) {
    std::memcpy(field.data(), kMarkerText, sizeof kMarkerText - 1);
    return field;
  }
  const bool negative = degrees < 0;
  const auto tenths = static_cast<unsigned>((negative ? -degrees : degrees) * 10.0 + 0.5);
  const unsigned whole = tenths / 10;
  const int digits = whole >= 1000 ? 4 : whole >= 100 ? 3 : whole >= 10 ? 2 : 1;
  char* q = field.data();
  if (negative) *q++ = '-';
  unsigned rest = whole;
  for (int i = digits - 1; i >= 0; --i) {
    q[i] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  }
  q += digits;
  *q++ = '.';
  *q = static_cast<char>('0' + tenths % 10);
  return field;
}

// The field of every raw value the instrument can send, decoded as everywhere else; built
// once (512 KB), it makes a value one copy instead of a decode and a conversion.
const std::array<ValueField, 65536>& ValueFields() {
  static const std::unique_ptr<const std::array<ValueField, 65536>> table = [] {
    auto t = std::make_unique<std::array<ValueField, 65536>>();
    for (unsigned raw = 0; raw < t->size(); ++raw) {
      (*t)[raw] = FormatValue(DecodeTemperature(static_cast<std::uint8_t>(raw & 0xFF),
                                                static_cast<std::uint8_t>(raw >> 8)));
    }
    return t;
  }();
  return *table;
}

// Lines are written straight into the text's storage: 60000 of them take a few
// milliseconds. Each field is first filled with spaces, then overwritten by its text.
class LineWriter {
 public:
  explicit LineWriter(char* at) : p_(at) {}
  char* position() const { return p_; }

  // AppendField's rule: pad to the width, never cut.
  void field(const char* text, std::size_t length, std::size_t width) {
    if (length < width) std::memset(p_ + length, ' ', width - length);
    std::memcpy(p_, text, length);
    p_ += length < width ? width : length;
  }

  void number(std::size_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    field(digits, static_cast<std::size_t>(end - digits), kNumberWidth);
  }

  // "%H:%M %d.%m", padded.
  void time(const LocalDateTime& t) {
    std::memset(p_, ' ', kTimeWidth);
    twoDigits(p_, t.hour);
    p_[2] = ':';
    twoDigits(p_ + 3, t.minute);
    twoDigits(p_ + 6, t.day);
    p_[8] = '.';
    twoDigits(p_ + 9, t.month);
    p_ += kTimeWidth;
  }

  // Channel `channel`'s field, from the table of every raw value.
  void value(const ArchiveRecord& record, int channel) {
    const auto at = static_cast<std::size_t>(2 + 2 * channel);
    const unsigned raw = record.bytes[at] | (record.bytes[at + 1] << 8);
    // Eight bytes copied, seven kept: the eighth is overwritten by what follows.
    std::memcpy(p_, ValueFields()[raw].data(), sizeof(ValueField));
    p_ += kValueWidth;
  }

  void text(const std::string& s) {
    std::memcpy(p_, s.data(), s.size());
    p_ += s.size();
  }

  void lineEnd() {
    p_[0] = '\r';
    p_[1] = '\n';
    p_ += 2;
  }

 private:
  static void twoDigits(char* out, int value) {
    out[0] = static_cast<char>('0' + value / 10 % 10);
    out[1] = static_cast<char>('0' + value % 10);
  }

  char* p_;
};

std::string HeaderLine() {
  std::string line;
  AppendField(line, ToCodePage1251("Номер"), kNumberWidth);
  AppendField(line, ToCodePage1251("Час/Дата"), kTimeWidth);
  for (int channel = 1; channel <= kChannelCount; ++channel) {
    AppendField(line, ToCodePage1251("T" + std::to_string(channel) + ",°C"), kValueWidth);
  }
  line += "\r\n";
  return line;
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
  const std::size_t headerSize = text.size();
  // The longest line: a number of up to 20 digits, a time, eight values of 7 bytes (the
  // widest is "-3276.8") or a marker word, the line end.
  constexpr std::size_t kMaxLine = 20 + kTimeWidth + kChannelCount * kValueWidth + 2;
  text.resize(headerSize + buffer.size() * kMaxLine);
  LineWriter out(text.data() + headerSize);
  for (std::size_t k = 0; k < buffer.size(); ++k) {
    const ArchiveEntry& entry = buffer[k];
    out.number(k + 1);
    switch (entry.kind()) {
      case ArchiveRecordKind::Valid:
        out.time(entry.local);
        for (int channel = 0; channel < kChannelCount; ++channel) {
          out.value(entry.record, channel);
        }
        break;
      case ArchiveRecordKind::ResetMarker:
        out.text(reset);
        break;
      case ArchiveRecordKind::EmptySlot:
        out.text(empty);
        break;
    }
    out.lineEnd();
  }
  text.resize(static_cast<std::size_t>(out.position() - text.data()));
  return text;
}

void ExportArchiveText(const ArchiveBuffer& buffer, const TextExportSettings& settings,
                       TextExportServices services) {
  const std::string text = BuildArchiveText(buffer);
  const std::string& name = settings.textFileName;
  const std::unique_ptr<ReplacementFile> file = services.makeFile();
  const PromptedFileWrite prompts{.messages = services.messages,
                                  .caption = kTextExportCaption,
                                  .beforePrompt = [&] { services.window.BringToFront(); }};
  if (!WriteFileWithPrompts(*file, name, text, prompts)) return;
  if (settings.autoOpen) services.opener.openDocument(name);
}

}  // namespace km8
