#include "main_window_fixture.h"

namespace km8::test {

MainWindowFixture::MainWindowFixture()
    : logic(mailbox, settings, controls.wiring(), window, messages,
            MainWindowCallbacks{[this] {
                                  ++handlePublications;
                                  log.add("publish handle");
                                },
                                [this] {
                                  ++saves;
                                  log.add("save settings");
                                },
                                [this](int code) { exitCodes.push_back(code); }}) {
  logic.attachChart(chart);
  logic.attachArchiveReading(archive);
  logic.attachSetpointProgramming(programming);
  logic.attachFeatureWindows(featureWindows);
}

void MainWindowFixture::reply(const std::vector<std::uint8_t>& data) {
  mailbox.completeWith(data);
  logic.onLinkDone();
}

void MainWindowFixture::replyFailed() {
  mailbox.completeFailed();
  logic.onLinkDone();
}

void MainWindowFixture::tick(int n) {
  for (int i = 0; i < n; ++i) logic.onTimer(MainWindowLogic::kTimerId);
}

std::vector<std::uint8_t> MainWindowFixture::lowHalf(std::array<std::int16_t, 5> tenths) {
  std::vector<std::uint8_t> out;
  for (std::int16_t t : tenths) {
    const auto u = static_cast<std::uint16_t>(t);
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  return out;
}

std::vector<std::uint8_t> MainWindowFixture::highHalf(std::array<std::int16_t, 3> tenths,
                                                      std::uint8_t regulation, std::uint8_t alarms,
                                                      std::uint8_t enabled, std::uint8_t status) {
  std::vector<std::uint8_t> out;
  for (std::int16_t t : tenths) {
    const auto u = static_cast<std::uint16_t>(t);
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  out.insert(out.end(), {regulation, alarms, enabled, status});
  return out;
}

}  // namespace km8::test
