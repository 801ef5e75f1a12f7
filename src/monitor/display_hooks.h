// The display-side operations the poll cycle calls after each reply: the live display of
// the channel rows and status lamps, the strip chart, and the main window's front.
#pragma once

namespace km8 {

class LiveDisplayOps {
 public:
  virtual ~LiveDisplayOps() = default;
  virtual void ShowChannel(int channel) = 0;  // 0..7, from the poll items
  // Blanks channels first .. first+count-1, switching the controls kind by kind.
  virtual void BlankChannels(int first, int count) = 0;
  virtual void ShowStatus(bool success) = 0;
  virtual void TransferLedReply(bool success) = 0;
};

class ChartOps {
 public:
  virtual ~ChartOps() = default;
  virtual void SetUpChart() = 0;  // once at start-up: capacity and initial value range
  virtual void ApplyChartSpan() = 0;
  virtual void UpdateChart(int selection) = 0;  // 0..7 one channel, 8 all
  virtual void AppendChartSample() = 0;         // after every state-1 reply
};

// What the poll cycle and the features need of the main window itself.
class MainWindowFront {
 public:
  virtual ~MainWindowFront() = default;
  // Shows and restores the window and brings it to the foreground; returns whether it
  // was minimised before.
  virtual bool BringToFront() = 0;
  virtual void minimise() = 0;
};

}  // namespace km8
