#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "support/scripted_responder.h"

namespace km8::test {
namespace {

// How long a step waits for its request before the script is abandoned.
constexpr auto kRequestWait = std::chrono::seconds(5);

}  // namespace

ScriptedResponder::ScriptedResponder(int masterFd) : master_(masterFd) {
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("pipe2 failed");
}

ScriptedResponder::~ScriptedResponder() {
  stop_ = true;
  const char byte = 1;
  (void)!::write(wake_[1], &byte, 1);
  if (thread_.joinable()) thread_.join();
  ::close(wake_[0]);
  ::close(wake_[1]);
}

ScriptedResponder& ScriptedResponder::expect(Bytes request) {
  script_.push_back(Step{std::move(request), {}});
  return *this;
}

ScriptedResponder& ScriptedResponder::reply(Bytes bytes, std::chrono::milliseconds after) {
  if (script_.empty()) script_.push_back(Step{});
  script_.back().pieces.push_back(Piece{std::move(bytes), after});
  return *this;
}

void ScriptedResponder::start() {
  thread_ = std::thread([this] { run(); });
}

bool ScriptedResponder::finish(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  const bool done = changed_.wait_for(lock, timeout, [this] { return done_; });
  return done && problems_.empty();
}

std::vector<std::string> ScriptedResponder::problems() const {
  std::lock_guard lock(mutex_);
  return problems_;
}

std::vector<Bytes> ScriptedResponder::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void ScriptedResponder::note(std::string problem) {
  std::lock_guard lock(mutex_);
  problems_.push_back(std::move(problem));
}

bool ScriptedResponder::collect(std::size_t count, Bytes& out) {
  const auto deadline = std::chrono::steady_clock::now() + kRequestWait;
  while (out.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || stop_) return false;
    pollfd p[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    const int r = ::poll(p, 2, static_cast<int>(left.count()));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0 || (p[1].revents & POLLIN)) return false;
    if (!(p[0].revents & POLLIN)) return false;  // hung up
    std::uint8_t chunk[512];
    const std::size_t want = std::min(count - out.size(), sizeof chunk);
    const ssize_t n = ::read(master_, chunk, want);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    out.insert(out.end(), chunk, chunk + n);
  }
  return true;
}

bool ScriptedResponder::pause(std::chrono::milliseconds length) {
  if (length.count() <= 0) return !stop_;
  pollfd p{wake_[0], POLLIN, 0};
  (void)::poll(&p, 1, static_cast<int>(length.count()));
  return !stop_;
}

void ScriptedResponder::run() {
  for (std::size_t i = 0; i < script_.size(); ++i) {
    const Step& step = script_[i];
    if (!step.request.empty()) {
      Bytes got;
      const bool complete = collect(step.request.size(), got);
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(got);
      }
      if (!complete) {
        if (!stop_) note("step " + std::to_string(i) + ": request incomplete: " + hex(got));
        break;
      }
      if (got != step.request) {
        note("step " + std::to_string(i) + ": expected " + hex(step.request) + ", got " + hex(got));
        break;
      }
    }
    bool sent = true;
    for (const Piece& piece : step.pieces) {
      if (!pause(piece.after)) {
        sent = false;
        break;
      }
      std::size_t done = 0;
      while (done < piece.bytes.size()) {
        const ssize_t n = ::write(master_, piece.bytes.data() + done, piece.bytes.size() - done);
        if (n > 0) {
          done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
          continue;
        } else {
          note("step " + std::to_string(i) + ": reply could not be written");
          sent = false;
          break;
        }
      }
      if (!sent) break;
    }
    if (!sent) break;
  }
  std::lock_guard lock(mutex_);
  done_ = true;
  changed_.notify_all();
}

}  // namespace km8::test
