// The settings file's parser and the loader on any text: nothing crashes, and what was
// loaded survives a save and a second load unchanged.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/settings.h"
#include "config/settings_file_format.h"
#include "res/message_box.h"

namespace {

// The file store without the file: text in, text out.
class TextStore : public km8::SettingsStore {
 public:
  explicit TextStore(std::string text) : text_(std::move(text)) {}
  std::optional<km8::StoredValues> read(std::span<const std::string>) override {
    return km8::ParseSettingsFile(text_);
  }
  bool write(std::span<const km8::NamedValue> values) override {
    text_ = km8::FormatSettingsFile(values);
    return true;
  }
  bool holdsPortPaths() const override { return true; }

 private:
  std::string text_;
};

class NoMessages : public km8::MessageBoxHost {
 public:
  km8::MessageResult showMessage(const km8::Message&) override { __builtin_trap(); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TextStore store(text);
  km8::AppSettings first;
  km8::LoadSettings(first, store);

  NoMessages messages;
  if (km8::SaveSettings(first, store, messages) == 0) __builtin_trap();
  km8::AppSettings second;
  if (km8::LoadSettings(second, store) == 0 || !(second == first)) __builtin_trap();

  // Every value the parser accepts is written back as it was read.
  const km8::StoredValues parsed = km8::ParseSettingsFile(text);
  const std::vector<km8::NamedValue> values(parsed.begin(), parsed.end());
  const km8::StoredValues again = km8::ParseSettingsFile(km8::FormatSettingsFile(values));
  for (const auto& [name, value] : parsed) {
    const bool writable = value.type != km8::ValueType::Other &&
                          (value.type != km8::ValueType::Dword || value.data.size() == 4);
    const auto it = again.find(name);
    if (writable && (it == again.end() || !(it->second == value))) __builtin_trap();
  }
  return 0;
}
