// The writer's spool: an SQLite file that holds every row handed to the writer until the
// server has committed it, each commit synced (synchronous=FULL) so that a power cut keeps
// it, and locked for as long as the station runs (exclusive locking mode) so that no other
// station can use it. Lives on the writer's spooling thread only.
#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "plant/plant_rows.h"

namespace km8 {

class PlantSpool {
 public:
  using Log = std::function<void(const std::string& line)>;
  explicit PlantSpool(Log log);
  ~PlantSpool();
  PlantSpool(const PlantSpool&) = delete;
  PlantSpool& operator=(const PlantSpool&) = delete;

  // Opens `path`, or when another station holds it the first free of the numbered ones
  // beside it (a line says which); in memory, with a line, when none can be used. Then
  // takes over the rows of `station` left in other spools that are free: the numbered
  // ones, and `former` (empty: none).
  void open(const std::string& path, const std::string& former, const std::string& station);

  // In one transaction: removes the rows up to the id `sentUpTo` (the server has them; -1:
  // none), then appends the submissions, making room as MakeSpoolRoom says: the archive
  // rows of a submission are one reading. False, with nothing written, and the reason in
  // `error` when the transaction failed; `dropped` counts live rows given up.
  bool write(const std::vector<std::vector<PlantRow>>& submissions, std::int64_t sentUpTo,
             std::int64_t capacity, std::int64_t& dropped, std::string& error);

  // The oldest rows after the id `after`: `limit` of them, or more so as not to split a
  // reading. `lastId` is the id of the last one. None: the spool is counted again.
  std::vector<PlantRow> oldest(int limit, std::int64_t after, std::int64_t& lastId);

  std::int64_t waiting() const { return live_ + archive_; }
  // The id of the newest row; older rows have smaller ones.
  std::int64_t newestId() const { return newest_; }

 private:
  enum class Opening { Opened, Taken, Unusable };
  Opening tryOpen(const QString& path, std::string& error);
  bool upgrade(std::string& error);
  void takeOver(const std::string& path, const std::string& station);
  void count();
  bool prepareStatements(std::string& error);

  Log log_;
  QSqlDatabase db_;
  // Prepared once the spool is open: kept, as each round uses them.
  enum Statement {
    Begin,
    Commit,
    Rollback,
    Insert,
    MarkReading,
    DropLive,
    CountUpTo,
    RemoveUpTo,
    Oldest,
    RestOfReading,
    kStatements
  };
  std::vector<QSqlQuery> statements_;
  std::int64_t live_ = 0;
  std::int64_t archive_ = 0;
  std::int64_t newest_ = 0;
};

}  // namespace km8
