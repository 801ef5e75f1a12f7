#include "setpoints/setpoint_programming.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "setpoints/access_code.h"
#include "setpoints/setpoint_editor_model.h"
#include "support/main_window_fixture.h"
#include "support/setpoint_fakes.h"

namespace km8::test {
namespace {

using std::chrono::milliseconds;

constexpr std::uint8_t kRead = static_cast<std::uint8_t>(RequestKind::ReadInputRegisters);
constexpr std::uint8_t kWriteBlock = static_cast<std::uint8_t>(RequestKind::WriteMultipleRegisters);
constexpr std::uint8_t kWriteCode = static_cast<std::uint8_t>(RequestKind::WriteSingleRegister);

// The main window's logic with the real workflow, and an instrument behind the scripted
// mailbox that answers current values, keeps the block and checks the code.
class SetpointProgrammingTest : public MainWindowFixture {
 protected:
  SetpointProgrammingTest()
      : workflow(block, logic.pollCycle(), settings, window, messages,
                 ProgrammingServices{[this] { ++reconfigures; }, [this] { ++saves; },
                                     [this](milliseconds ms) { pauses.push_back(ms); }}) {
    workflow.attachViews(progress, dialogs);
    logic.attachSetpointProgramming(workflow);
    for (std::size_t i = 0; i < instrument.size(); ++i) {
      instrument[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    instrument[1] = 5;  // attempts left
    instrument[3] = 1;  // instrument number
    instrument[4] = 5;  // 19200 baud
  }

  // Completes the outstanding request as the instrument would, then (by default) a
  // timer tick.
  void serve(bool thenTick = true) {
    // At start the empty request is running, submitted by nobody.
    const LinkRequest r = mailbox.submitted().empty() ? LinkRequest{} : mailbox.last();
    if (r.kind == kRead && r.start >= 12) {
      const auto* at = instrument.data() + 2 * (r.start - 12);
      mailbox.completeWith({at, at + 10});
    } else if (r.kind == kRead) {
      mailbox.completeWith(std::vector<std::uint8_t>(10, 0));
    } else if (r.kind == kWriteBlock) {
      std::copy(r.data, r.data + 10, instrument.begin() + 2 * (r.start - 12));
      mailbox.completeWith({});
    } else if (r.kind == kWriteCode) {
      codeWrites.push_back(r);
      if (refuseCode) {
        mailbox.completeFailed(902);
      } else {
        mailbox.completeWith({});
      }
    } else {
      mailbox.completeFailed();
    }
    logic.onLinkDone();
    if (thenTick) tick();
  }

  void serveUntil(const std::function<bool()>& done, int limit = 400) {
    for (int i = 0; i < limit && !done(); ++i) serve();
    ASSERT_TRUE(done()) << "not reached in " << limit << " transactions";
  }

  int requestsOfKind(std::uint8_t kind) const {
    int n = 0;
    for (const LinkRequest& r : mailbox.submitted()) n += r.kind == kind;
    return n;
  }

  // The command, then the block read up to the editing phase (or what ends it).
  void startAndRead() {
    workflow.start();
    serveUntil([&] { return !workflow.programmingPending(); });
  }

  // A whole change through to the code's reply.
  void changeEverything() {
    startAndRead();
    serveUntil([&] { return !codeWrites.empty(); });
  }

  SetpointBlock block;
  RecordingProgressView progress;
  ScriptedDialogs dialogs;
  int reconfigures = 0;
  std::vector<milliseconds> pauses;
  SetpointProgramming workflow;

  std::array<std::uint8_t, 150> instrument{};
  bool refuseCode = false;
  std::vector<LinkRequest> codeWrites;
};

TEST(AccessCode, PacksTwoBitsPerCharacterFirstCharacterHighest) {
  const struct {
    const char* entry;
    std::uint16_t packed;
  } cases[] = {
      {"1234", 0x1B},     // 00 01 10 11
      {"4321", 0xE4},     // 11 10 01 00
      {"", 0},            //
      {"1590", 0},        // 0 and 5..9 count as 1
      {"444444", 0xFFF},  // six characters fill the low twelve bits
      {"2", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(packAccessCode(c.entry), c.packed) << c.entry;

  EXPECT_TRUE(isAcceptableAccessCode("432114"));
  EXPECT_TRUE(isAcceptableAccessCode(""));
  EXPECT_FALSE(isAcceptableAccessCode("1250"));
  EXPECT_FALSE(isAcceptableAccessCode("1234567"));
  EXPECT_FALSE(isAcceptableAccessCode("12a4"));
}

// The editor's fields show what 0.1 × tenths gives as it was typed, on every platform.
TEST(SetpointEditorModel, ShowsTenthsInTheirShortestDecimalForm) {
  const struct {
    int tenths;
    const char* shown;
  } cases[] = {{253, "25.3"}, {0, "0"}, {-25, "-2.5"}, {32767, "3276.7"}, {-7, "-0.7"}, {3, "0.3"}};
  for (const auto& c : cases) EXPECT_EQ(shortestDecimal(c.tenths * 0.1), c.shown) << c.tenths;
  EXPECT_EQ(shortestDecimal(-0.0), "0");
}

// Whatever ends the change before the code dialog's OK, nothing is written.
TEST_F(SetpointProgrammingTest, TheAttemptsLeftAndTheDialogsDecideWhetherAnythingIsWritten) {
  const Message blocked = changeBlockedNotice();
  const Message lastAttempt = lastAttemptQuestion();
  EXPECT_EQ(blocked.icon, MessageIcon::Warning);
  EXPECT_EQ(lastAttempt.buttons, MessageButtons::YesNo);
  EXPECT_TRUE(lastAttempt.defaultSecond);  // Enter answers No
  const struct {
    std::uint8_t attempts;
    std::deque<MessageResult> answers;
    const Message* message;  // expected, or nullptr
    bool editorOk;
    int edits, codeAsks;
  } cases[] = {
      {0, {}, &blocked, true, 0, 0},
      {1, {MessageResult::No}, &lastAttempt, true, 0, 0},
      {1, {MessageResult::Yes}, &lastAttempt, false, 1, 0},
      {2, {}, nullptr, false, 1, 0},
      {2, {}, nullptr, true, 1, 1},  // Cancel in the code dialog
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.attempts));
    instrument[1] = c.attempts;
    messages.shown.clear();
    messages.answers = c.answers;
    dialogs.edits = dialogs.codeAsks = 0;
    dialogs.editorOk = c.editorOk;
    dialogs.codeOk = false;
    startAndRead();
    for (int i = 0; i < 10; ++i) serve();

    EXPECT_EQ(dialogs.edits, c.edits);
    EXPECT_EQ(dialogs.codeAsks, c.codeAsks);
    EXPECT_FALSE(workflow.programmingPending());
    EXPECT_FALSE(progress.shown);
    ASSERT_EQ(messages.shown.size(), c.message ? 1u : 0u);
    if (c.message) {
      EXPECT_EQ(messages.shown[0].text, c.message->text);
    }
  }
  EXPECT_EQ(requestsOfKind(kWriteBlock), 0);
  EXPECT_EQ(requestsOfKind(kWriteCode), 0);
}

TEST_F(SetpointProgrammingTest, TheEditedBlockIsWrittenInFifteenStepsThenTheCodeOnceLowByteFirst) {
  dialogs.edit = [](SetpointBlock& b) { b.setArchivePeriod(42); };
  dialogs.code = "4321";
  changeEverything();

  std::vector<std::uint16_t> starts;
  std::size_t lastWrite = 0, codeAt = 0;
  const auto& sent = mailbox.submitted();
  for (std::size_t i = 0; i < sent.size(); ++i) {
    if (sent[i].kind == kWriteBlock) {
      starts.push_back(sent[i].start);
      EXPECT_EQ(sent[i].countOrValue, 5);
      EXPECT_EQ(mailbox.dataAtSubmit()[i],
                std::vector<std::uint8_t>(block.bytes().begin() + 2 * (sent[i].start - 12),
                                          block.bytes().begin() + 2 * (sent[i].start - 12) + 10));
      lastWrite = i;
    }
    if (sent[i].kind == kWriteCode) codeAt = i;
  }
  EXPECT_EQ(starts, (std::vector<std::uint16_t>{12, 17, 22, 27, 32, 37, 42, 47, 52, 57, 62, 67, 72,
                                                77, 82}));
  ASSERT_EQ(codeWrites.size(), 1u);
  EXPECT_GT(codeAt, lastWrite);
  EXPECT_EQ(codeWrites[0].unitAddress, 1);
  EXPECT_EQ(codeWrites[0].start, 12);
  // The value goes out high byte first, so the code's low byte (0xE4) travels first.
  EXPECT_EQ(codeWrites[0].countOrValue, 0xE400);
  EXPECT_EQ(instrument[2], 42);  // the edit reached the instrument
  EXPECT_EQ(mailbox.contractViolations(), 0);

  EXPECT_EQ(progress.captions,
            (std::vector<std::string>{kReadingPhase, kWritingPhase, kProgrammingPhase}));
  const std::vector<int> reading(progress.positions.begin() + 1, progress.positions.begin() + 16);
  EXPECT_EQ(reading,
            (std::vector<int>{6, 13, 20, 26, 33, 40, 46, 53, 60, 66, 73, 80, 86, 93, 100}));
  const std::vector<int> animation(progress.positions.end() - 10, progress.positions.end());
  EXPECT_EQ(animation, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
  EXPECT_EQ(pauses, std::vector<milliseconds>(10, milliseconds(150)));
  EXPECT_FALSE(progress.shown);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(reconfigures, 0);  // neither number nor rate changed
  EXPECT_EQ(saves, 0);
}

TEST_F(SetpointProgrammingTest, ARefusedCodeIsReportedAtTheNextTickWithoutTheLinkPrompt) {
  refuseCode = true;
  startAndRead();
  while (codeWrites.empty()) serve(false);
  EXPECT_FALSE(progress.shown);
  EXPECT_TRUE(messages.shown.empty());

  tick();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "Невiрний код доступу !");
  EXPECT_EQ(messages.shown[0].caption, kProgrammingCaption);
  EXPECT_EQ(codeWrites.size(), 1u);  // sent once, not retried
  EXPECT_EQ(settings.get(&AppSettings::DeviceID), 1);
  tick();
  EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(SetpointProgrammingTest, AnAcceptedCodeMakesTheStationFollowTheNewNumberAndRate) {
  const struct {
    std::uint8_t baudIndex, number;
    std::uint32_t rate;
    int reconfigures, saves;
  } cases[] = {
      {3, 1, 9600, 1, 1},   // 19200 to 9600
      {8, 1, 19200, 0, 0},  // an index this station does not know: the rate stays
      {255, 7, 19200, 0, 1},
      {5, 7, 19200, 0, 1},  // instrument 1 becomes 7
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.baudIndex) + " " + std::to_string(c.number));
    settings.update([](AppSettings& s) {
      s.SerialSetup.BaudRate = 19200;
      s.DeviceID = 1;
    });
    instrument[3] = 1;
    instrument[4] = 5;
    reconfigures = saves = 0;
    dialogs.edit = [&](SetpointBlock& b) {
      b.setBaudIndex(c.baudIndex);
      b.setInstrumentNumber(c.number);
    };
    codeWrites.clear();
    changeEverything();

    EXPECT_EQ(settings.get(&AppSettings::SerialSetup).BaudRate, c.rate);
    EXPECT_EQ(settings.get(&AppSettings::DeviceID), c.number);
    EXPECT_EQ(reconfigures, c.reconfigures);
    EXPECT_EQ(saves, c.saves);
    serve();
    EXPECT_EQ(mailbox.last().unitAddress, c.number);
  }
}

TEST_F(SetpointProgrammingTest, CancelInTheProgressWindowEndsReadingButNotProgramming) {
  workflow.start();
  for (int i = 0; i < 6; ++i) serve();
  workflow.onProgressCancel();
  EXPECT_FALSE(progress.shown);
  const std::uint16_t offset = workflow.blockOffset();
  for (int i = 0; i < 30; ++i) serve();
  EXPECT_FALSE(workflow.programmingPending());
  EXPECT_EQ(workflow.blockOffset(), offset);  // no step after the one in flight
  EXPECT_EQ(dialogs.edits, 0);

  // While the code is being programmed Cancel is locked.
  startAndRead();
  serveUntil([&] { return workflow.cancelLocked(); });
  workflow.onProgressCancel();
  EXPECT_TRUE(progress.shown);
  EXPECT_TRUE(workflow.progressActive());
  serveUntil([&] { return !codeWrites.empty(); });
  EXPECT_FALSE(progress.shown);
}

TEST_F(SetpointProgrammingTest, CancelAfterTheLastStepButBeforeTheTickEndsThePhase) {
  // Read phase: the editor does not open.
  workflow.start();
  while (workflow.blockOffset() < 75) {
    mailbox.completeWith(std::vector<std::uint8_t>(10, 1));
    logic.onLinkDone();
  }
  workflow.onProgressCancel();
  tick();
  EXPECT_EQ(dialogs.edits, 0);
  EXPECT_FALSE(workflow.programmingPending());

  // Write phase: the code is not sent.
  workflow.start();
  serveUntil([&] { return workflow.writePhase(); });
  while (workflow.blockOffset() < 75) {
    mailbox.completeWith({});
    logic.onLinkDone();
  }
  workflow.onProgressCancel();
  tick();
  for (int i = 0; i < 10; ++i) serve();
  EXPECT_TRUE(codeWrites.empty());
  EXPECT_FALSE(progress.shown);
}

TEST_F(SetpointProgrammingTest, TheCommandDuringAReadRestartsItAndIgnoresTheReplyInFlight) {
  dialogs.editorOk = false;
  workflow.start();
  // The third read step is out.
  serveUntil([&] { return workflow.blockOffset() == 10 && mailbox.last().start == 22; });
  workflow.start();
  serveUntil([&] { return !workflow.programmingPending(); });
  EXPECT_EQ(block.bytes(), instrument);
  EXPECT_EQ(dialogs.edits, 1);
}

}  // namespace
}  // namespace km8::test
