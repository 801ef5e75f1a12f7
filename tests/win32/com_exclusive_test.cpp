// A COM port open in one process is refused to another: this test program starts
// itself again as the second process, which opens the port named in its environment.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "link/serial_port.h"
#include "win32/served_ports.h"

namespace km8::test {
namespace {

// Exit codes of the second process.
constexpr DWORD kOpened = 10;
constexpr DWORD kRefusedClosed = 20;
constexpr DWORD kRefusedButOpen = 30;
constexpr DWORD kChildWaitMs = 60000;

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string eventName(const std::string& prefix, const char* what) {
  return "Local\\" + prefix + "-" + what;
}

class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h) {}
  ~Handle() {
    if (h_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// The second process: "probe" opens the port and ends; "hold" opens it, says so through
// an event and keeps it until told to let go. Disabled: only the tests below run it.
TEST(ComPortChildProcess, DISABLED_OpensThePortItIsGiven) {
  const std::string role = environment("KM8_CHILD_ROLE");
  if (role.empty()) GTEST_SKIP() << "runs only as the second process of ComPortInAnotherProcess";
  PortMap ports;
  SerialPort port(ports);
  const bool opened = port.Open(lineSetup(environment("KM8_CHILD_PORT"))) != 0;
  if (opened && role == "hold") {
    const std::string prefix = environment("KM8_CHILD_EVENTS");
    Handle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, eventName(prefix, "opened").c_str()));
    Handle release(OpenEventA(SYNCHRONIZE, FALSE, eventName(prefix, "release").c_str()));
    if (ready.get()) SetEvent(ready.get());
    if (release.get()) WaitForSingleObject(release.get(), kChildWaitMs);
  }
  const DWORD code = opened ? kOpened : port.isOpen() ? kRefusedButOpen : kRefusedClosed;
  port.Close();
  ExitProcess(code);
}

class ComPortInAnotherProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    KM8_REQUIRE_SERVED_PORTS(served);
    com = served->scripted[0];
  }

  // Starts this program as the second process with the given role on `com`.
  HANDLE startChild(const std::string& role, const std::string& events = "") {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string commandLine = std::string("\"") + path +
                              "\" --gtest_also_run_disabled_tests "
                              "--gtest_filter=ComPortChildProcess.DISABLED_OpensThePortItIsGiven";
    SetEnvironmentVariableA("KM8_CHILD_ROLE", role.c_str());
    SetEnvironmentVariableA("KM8_CHILD_PORT", com.c_str());
    SetEnvironmentVariableA("KM8_CHILD_EVENTS", events.c_str());

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Handle quiet(
        CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = quiet.get();
    startup.hStdError = quiet.get();
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    for (const char* name : {"KM8_CHILD_ROLE", "KM8_CHILD_PORT", "KM8_CHILD_EVENTS"})
      SetEnvironmentVariableA(name, nullptr);
    if (!started) return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
  }

  static DWORD exitCodeOf(HANDLE process) {
    if (WaitForSingleObject(process, kChildWaitMs) != WAIT_OBJECT_0) return 0;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return code;
  }

  std::optional<ServedPorts> served;
  std::string com;
  PortMap ports;
  SerialPort port{ports};
};

TEST_F(ComPortInAnotherProcess, CannotOpenAPortThisProcessHolds) {
  ASSERT_TRUE(port.Open(lineSetup(com)));
  Handle refused(startChild("probe"));
  ASSERT_TRUE(refused.get());
  EXPECT_EQ(exitCodeOf(refused.get()), kRefusedClosed);

  port.Close();
  Handle opened(startChild("probe"));
  ASSERT_TRUE(opened.get());
  EXPECT_EQ(exitCodeOf(opened.get()), kOpened) << "released, the port opens for anyone";
}

TEST_F(ComPortInAnotherProcess, HoldsThePortAgainstThisProcessUntilItLetsGo) {
  const std::string events = "km8-com-test-" + std::to_string(GetCurrentProcessId());
  Handle opened(CreateEventA(nullptr, TRUE, FALSE, eventName(events, "opened").c_str()));
  Handle release(CreateEventA(nullptr, TRUE, FALSE, eventName(events, "release").c_str()));
  ASSERT_TRUE(opened.get() && release.get());

  Handle child(startChild("hold", events));
  ASSERT_TRUE(child.get());
  const HANDLE waits[] = {opened.get(), child.get()};
  ASSERT_EQ(WaitForMultipleObjects(2, waits, FALSE, kChildWaitMs), WAIT_OBJECT_0)
      << "the second process could not open " << com;

  EXPECT_FALSE(port.Open(lineSetup(com)));
  EXPECT_FALSE(port.isOpen());
  SetEvent(release.get());
  EXPECT_EQ(exitCodeOf(child.get()), kOpened);
  EXPECT_TRUE(port.Open(lineSetup(com)));
}

}  // namespace
}  // namespace km8::test
