#include "archives/ui/archive_feature.h"

#include "archives/ui/archive_list_window.h"

namespace km8 {

ArchiveFeature::ArchiveFeature(QWidget& mainWindow, MainWindowFront& front, PollCycle& poll,
                               SharedSettings& settings, MessageBoxHost& messages,
                               std::function<void()> saveSettings)
    : mainWindow_(mainWindow),
      settings_(settings),
      saveSettings_(std::move(saveSettings)),
      reading_(settings, poll, front, *this, clock_),
      runner_(messages, &mainWindow) {}

ArchiveFeature::~ArchiveFeature() { destroyListWindow(); }

bool ArchiveFeature::createListWindow() {
  if (!window_) window_ = new ArchiveListWindow(&mainWindow_);
  return window_ != nullptr;
}

void ArchiveFeature::centreListWindow() {
  if (window_) window_->centreOnOwner();
}

void ArchiveFeature::destroyListWindow() { delete window_.data(); }

ArchiveListWindow* ArchiveFeature::listWindow() const { return window_.data(); }

void ArchiveFeature::runArchivesCommand() {
  RunArchivesCommand(settings_, runner_, saveSettings_, reading_);
}

void ArchiveFeature::deleteAllRows() {
  if (window_) window_->deleteAllRows();
}

void ArchiveFeature::appendRow(const ArchiveEntry& entry) {
  if (window_) window_->appendRow(entry);
}

void ArchiveFeature::setCaption(const std::string& caption) {
  if (window_) window_->setCaption(caption);
}

void ArchiveFeature::showOrFocus() {
  if (window_) window_->showOrFocus();
}

void ArchiveFeature::activate() {
  if (window_) window_->activate();
}

bool ArchiveFeature::listOpen() const { return window_ && window_->listOpen(); }

void ArchiveFeature::setListOpen(bool open) {
  if (window_) window_->setListOpen(open);
}

}  // namespace km8
