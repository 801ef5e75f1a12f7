#include "archives/prompted_file_write.h"

#include <utility>

namespace km8 {
namespace {

Message Prompt(std::string text, const std::string& caption) {
  Message m;
  m.text = std::move(text);
  m.caption = caption;
  m.buttons = MessageButtons::RetryCancel;
  m.icon = MessageIcon::Error;
  return m;
}

}  // namespace

Message FileCreateFailedMessage(FileCreateError error, const std::string& fileName,
                                const std::string& caption) {
  if (error == FileCreateError::WriteProtected) {
    return Prompt("Диск захищений від запису !", caption);
  }
  return Prompt("Неможливо створити файл '" + fileName + "' !", caption);
}

Message FileWriteFailedMessage(const std::string& fileName, const std::string& caption) {
  return Prompt("Помилка запису файла '" + fileName + "' !", caption);
}

bool WriteFileWithPrompts(ReplacementFile& file, const std::string& name, std::string_view bytes,
                          const PromptedFileWrite& prompts) {
  const auto ask = [&](const Message& message) {
    if (prompts.beforePrompt) prompts.beforePrompt();
    return prompts.messages.showMessage(message) == MessageResult::Retry;
  };
  for (;;) {
    const FileCreateError error = file.create(name);
    if (error == FileCreateError::None) break;
    if (!ask(FileCreateFailedMessage(error, name, prompts.caption))) return false;
  }
  while (!file.writeAndReplace(bytes)) {
    if (!ask(FileWriteFailedMessage(name, prompts.caption))) {
      file.discard();
      return false;
    }
  }
  return true;
}

}  // namespace km8
