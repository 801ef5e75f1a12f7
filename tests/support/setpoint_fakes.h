// Recording and scripted stand-ins for the setpoint change's views: the progress
// window's widgets, and the editor and access code dialogs as the user answers them.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "setpoints/setpoint_programming.h"

namespace km8::test {

class RecordingProgressView : public ProgressView {
 public:
  void setRange(int low, int high) override { range = {low, high}; }
  void setPosition(int p) override { positions.push_back(p); }
  void setPhaseCaption(const std::string& text) override { captions.push_back(text); }
  void centre() override { ++centred; }
  bool isShown() const override { return shown; }
  void showWindow() override { shown = true; }
  void focusWindow() override {}
  void focusBar() override {}
  void hideWindow() override { shown = false; }

  std::pair<int, int> range{};
  std::vector<int> positions;
  std::vector<std::string> captions;
  int centred = 0;
  bool shown = false;
};

// The editor and the code dialog as the user answers them.
class ScriptedDialogs : public SetpointDialogs {
 public:
  bool editSetpoints(SetpointBlock& block) override {
    ++edits;
    if (edit) edit(block);
    return editorOk;
  }
  bool askAccessCode(std::string& entry) override {
    ++codeAsks;
    entry = code;
    return codeOk;
  }

  std::function<void(SetpointBlock&)> edit;
  bool editorOk = true;
  bool codeOk = true;
  std::string code = "1234";
  int edits = 0;
  int codeAsks = 0;
};

}  // namespace km8::test
