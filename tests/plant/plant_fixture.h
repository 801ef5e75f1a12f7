// What the plant database's tests share: the test command's server, queries on a
// connection of the test's own, a writer to a fresh database per test, and a table lock
// that stalls the server.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "plant/plant_rows.h"
#include "plant/ui/plant_writer.h"

namespace km8::test {

// The server of the test command, or nothing when the tests run without it.
struct TestServer {
  TestServer();
  std::string host;
  std::string port;  // empty: the default (or the socket's)
  std::string user;
  std::string ctl;
  // Where the server offers TLS (the Windows stage): the certificate of the authority that
  // signed its own, and one of another authority.
  std::string rootCertificate;
  std::string otherCertificate;

  std::string conninfo(const std::string& db) const;
  // Not under wine, which cannot run the server's control script.
  bool canStop() const { return !ctl.empty(); }
  void stop();
  void start();
  bool stopped = false;  // by the test: started again at its end
};

void StartApplication();

// A query on the test's own connection; each row's columns as text.
// NULL is a null QString. A failing query fails the test unless `mayFail`.
std::vector<std::vector<QString>> Rows(const std::string& conninfo, const QString& sql,
                                       bool mayFail = false);

// Runs `sql` on a connection of the test's own; the server's reason, empty when it ran.
std::string SqlError(const std::string& conninfo, const QString& sql);

// Polls `done` until it holds or a generous limit passes; says which.
bool Eventually(const std::function<bool()>& done,
                std::chrono::milliseconds limit = std::chrono::seconds(60));

// Holds an exclusive lock on a table, as a long maintenance statement would, from a
// connection and thread of its own (a parked one, as the writer's), until release() or
// `longest` has passed.
class TableLock {
 public:
  TableLock(const std::string& conninfo, const std::string& table,
            std::chrono::milliseconds longest);
  ~TableLock();
  bool held() const;
  void release();

 private:
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool held_ = false;
  bool release_ = false;
  bool done_ = false;
};

class PlantDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A started writer to the test's database, or to `conninfo` when one is given.
  std::unique_ptr<PlantWriter> writer(const std::string& spool = "spool.sqlite",
                                      std::int64_t capacity = kSpoolCapacityRows,
                                      std::string conninfo = {});
  std::string spoolPath(const std::string& name) const;
  std::int64_t count(const std::string& table);
  std::vector<std::string> logLines();

  TestServer server;
  std::string db;
  QTemporaryDir spoolDir;
  std::mutex logMutex;
  std::vector<std::string> log;
};

// Stamps live samples a second apart, from `next` (seconds since 1970).
struct SecondsClock {
  std::int64_t next = 1'800'000'000;
  std::int64_t operator()() { return next++ * kMicrosPerSecond; }
};

ChannelDegrees SampleDegrees(int n);

// Every live row's stamp in microseconds, in the order stored.
std::vector<std::int64_t> LiveStamps(const std::string& conninfo);

}  // namespace km8::test
