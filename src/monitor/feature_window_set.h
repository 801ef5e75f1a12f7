// The main window's modeless feature windows as a list of pieces, one per feature, so
// that each feature brings its own window without the main window knowing its type.
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "monitor/main_window_logic.h"

namespace km8 {

struct FeatureWindowPiece {
  std::function<bool()> create;   // false: the window could not be created
  std::function<void()> centre;   // at initialisation; empty for none
  std::function<void()> destroy;  // with the main window
};

// Pieces run in the order they were added: the setpoint report, the archive list, the
// progress window.
class FeatureWindowSet final : public FeatureWindows {
 public:
  void add(FeatureWindowPiece piece) { pieces_.push_back(std::move(piece)); }

  bool createFeatureWindows() override {
    for (const FeatureWindowPiece& piece : pieces_) {
      if (piece.create && !piece.create()) return false;
    }
    return true;
  }
  void centreFeatureWindows() override {
    for (const FeatureWindowPiece& piece : pieces_) {
      if (piece.centre) piece.centre();
    }
  }
  void destroyFeatureWindows() override {
    for (const FeatureWindowPiece& piece : pieces_) {
      if (piece.destroy) piece.destroy();
    }
  }

 private:
  std::vector<FeatureWindowPiece> pieces_;
};

}  // namespace km8
