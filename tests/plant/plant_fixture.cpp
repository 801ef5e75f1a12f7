#include "plant/plant_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <atomic>
#include <cctype>
#include <cstdlib>

#include "plant/ui/plant_connection.h"
#include "plant/ui/plant_sql_connections.h"
#include "plant/ui/plant_threads.h"

namespace km8::test {

using namespace std::chrono_literals;

namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// A file the server's side names, as this program opens it: under wine, the host's own
// files are on drive Z:.
std::string hostFile(const std::string& path) {
#ifdef _WIN32
  if (path.starts_with('/')) return "Z:" + path;
#endif
  return path;
}

// A connection of the test's own, named `name`, to the database of `conninfo`.
QSqlDatabase openProbe(const std::string& conninfo, const QString& name) {
  QSqlDatabase db = AddSqlConnection(QStringLiteral("QPSQL"), name);
  std::string error;
  const auto params = ParseConnectionString(conninfo, error);
  for (const auto& [k, v] : params.value()) {
    if (k == "host") db.setHostName(QString::fromStdString(v));
    if (k == "port") db.setPort(std::stoi(v));
    if (k == "user") db.setUserName(QString::fromStdString(v));
    if (k == "dbname") db.setDatabaseName(QString::fromStdString(v));
  }
  EXPECT_TRUE(db.open()) << db.lastError().text().toStdString();
  return db;
}

}  // namespace

TestServer::TestServer()
    : host(environment("KM8_TEST_PGHOST")),
      port(environment("KM8_TEST_PGPORT")),
      user(environment("KM8_TEST_PGUSER")),
      ctl(environment("KM8_TEST_PGCTL")),
      rootCertificate(hostFile(environment("KM8_TEST_PGROOTCERT"))),
      otherCertificate(hostFile(environment("KM8_TEST_PGOTHERCERT"))) {}

std::string TestServer::conninfo(const std::string& db) const {
  std::string s = "host=" + host + " user=" + user + " dbname=" + db;
  if (!port.empty()) s += " port=" + port;
  return s;
}

void TestServer::stop() {
  ASSERT_EQ(std::system((ctl + " stop").c_str()), 0);
  stopped = true;
}

void TestServer::start() {
  ASSERT_EQ(std::system((ctl + " start").c_str()), 0);
  stopped = false;
}

void StartApplication() {
  static int argc = 1;
  static char name[] = "km8_plant_tests";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
}

std::vector<std::vector<QString>> Rows(const std::string& conninfo, const QString& sql,
                                       bool mayFail) {
  std::vector<std::vector<QString>> out;
  QSqlDatabase db = openProbe(conninfo, QStringLiteral("probe"));
  {
    QSqlQuery q(db);
    const bool done = q.exec(sql);
    EXPECT_TRUE(done || mayFail) << q.lastError().text().toStdString();
    while (q.next()) {
      auto& row = out.emplace_back();
      for (int c = 0; c < q.record().count(); ++c) {
        row.push_back(q.isNull(c) ? QString() : q.value(c).toString());
      }
    }
  }
  RemoveSqlConnection(db);
  return out;
}

std::string SqlError(const std::string& conninfo, const QString& sql) {
  std::string error;
  QSqlDatabase db = openProbe(conninfo, QStringLiteral("probe"));
  {
    QSqlQuery q(db);
    if (!q.exec(sql)) error = q.lastError().databaseText().toStdString();
  }
  RemoveSqlConnection(db);
  return error;
}

bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(50ms);
  }
  return done();
}

TableLock::TableLock(const std::string& conninfo, const std::string& table,
                     std::chrono::milliseconds longest) {
  static std::atomic<int> serial{0};
  const QString name = QStringLiteral("lock-%1").arg(serial++);
  RunOnParkedThread([this, conninfo, table, longest, name] {
    QSqlDatabase db = openProbe(conninfo, name);
    {
      QSqlQuery q(db);
      const bool locked =
          db.transaction() &&
          q.exec(QString::fromStdString("LOCK TABLE " + table + " IN ACCESS EXCLUSIVE MODE"));
      EXPECT_TRUE(locked) << q.lastError().text().toStdString();
      std::unique_lock lock(mutex_);
      held_ = locked;
      wake_.notify_all();
      wake_.wait_for(lock, longest, [this] { return release_; });
      held_ = false;
      lock.unlock();
      db.rollback();
    }
    RemoveSqlConnection(db);
    std::lock_guard lock(mutex_);
    done_ = true;
    wake_.notify_all();
  });
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, 30s, [this] { return held_; });
}

TableLock::~TableLock() {
  release();
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return done_; });
}

bool TableLock::held() const {
  std::lock_guard lock(mutex_);
  return held_;
}

void TableLock::release() {
  std::lock_guard lock(mutex_);
  release_ = true;
  wake_.notify_all();
}

void PlantDatabaseTest::SetUp() {
  if (server.host.empty()) {
    GTEST_SKIP() << "no PostgreSQL server: these tests run in scripts/test.sh, or under "
                    "scripts/with-postgres.sh";
  }
  StartApplication();
  const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  db = "km8_";  // an identifier of its own: lower case, within 63 bytes
  for (char ch : name.substr(0, 40))
    db += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  Rows(server.conninfo("postgres"), QString::fromStdString("DROP DATABASE IF EXISTS " + db));
  Rows(server.conninfo("postgres"), QString::fromStdString("CREATE DATABASE " + db));
  ASSERT_TRUE(spoolDir.isValid());
}

void PlantDatabaseTest::TearDown() {
  if (server.stopped) server.start();  // for the next test, whatever failed here
}

std::unique_ptr<PlantWriter> PlantDatabaseTest::writer(const std::string& spool,
                                                       std::int64_t capacity,
                                                       std::string conninfo) {
  std::string error;
  auto connection = UsableConnection(conninfo.empty() ? server.conninfo(db) : conninfo, error);
  EXPECT_TRUE(connection) << error;
  auto w = std::make_unique<PlantWriter>(PlantWriterSetup{.connection = *connection,
                                                          .spoolPath = spoolPath(spool),
                                                          .spoolCapacity = capacity,
                                                          .retryAfter = 100ms,
                                                          .batchRows = 2000,
                                                          .log = [this](const std::string& line) {
                                                            std::lock_guard lock(logMutex);
                                                            log.push_back(line);
                                                          }});
  w->start();
  return w;
}

std::string PlantDatabaseTest::spoolPath(const std::string& name) const {
  const QString path = QString::fromStdString(name);
  return QDir::isAbsolutePath(path) ? name : spoolDir.filePath(path).toStdString();
}

std::int64_t PlantDatabaseTest::count(const std::string& table) {
  const auto r =
      Rows(server.conninfo(db), QString::fromStdString("SELECT count(*) FROM " + table), true);
  return r.empty() ? -1 : r[0][0].toLongLong();
}

std::vector<std::string> PlantDatabaseTest::logLines() {
  std::lock_guard lock(logMutex);
  return log;
}

ChannelDegrees SampleDegrees(int n) {
  ChannelDegrees d;
  for (int c = 0; c < kChannelCount; ++c) d[c] = c == 7 ? LowMarker : 20.0 + n + c / 10.0;
  return d;
}

std::vector<std::int64_t> LiveStamps(const std::string& conninfo) {
  std::vector<std::int64_t> out;
  for (const auto& r : Rows(conninfo,
                            "SELECT (extract(epoch FROM taken_at) * 1000000)::bigint FROM "
                            "km8_reading ORDER BY taken_at")) {
    out.push_back(r[0].toLongLong());
  }
  return out;
}

}  // namespace km8::test
