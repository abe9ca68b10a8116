// The sandbox's state in SQLite: a thin statement wrapper, the schema, and the one connection
// shared by all worker threads.
#ifndef SANDBOX_SRC_STORE_H_
#define SANDBOX_SRC_STORE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/thread/mutex.h"

struct sqlite3;
struct sqlite3_stmt;

namespace lumo::sandbox {

// Every SQLite failure becomes this, in one place (Db::Check).
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Db;

// A cached prepared statement in use: bound on construction, stepped with Next, and reset when
// the Query goes away so the statement can be used again. Thread-compatible; lives inside one
// Store::Run call.
class Query {
 public:
  Query(Db& db, sqlite3_stmt* statement);
  template <typename... Args>
  Query(Db& db, sqlite3_stmt* statement, const Args&... args) : Query(db, statement) {
    (Bind(args), ...);
  }
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  Query& Bind(int64_t value);
  Query& Bind(int value) { return Bind(static_cast<int64_t>(value)); }
  Query& Bind(double value);
  Query& Bind(std::string_view text);
  Query& BindBlob(std::string_view bytes);

  // Steps once; true while a row is available.
  bool Next();
  // Steps a statement that returns no rows.
  void Run();

  int64_t Int(int column) const;
  double Double(int column) const;
  std::string Text(int column) const;
  std::string Blob(int column) const;
  bool IsNull(int column) const;

 private:
  Db& db_;
  sqlite3_stmt* statement_;
  int next_index_ = 1;
};

// One SQLite connection with a cache of prepared statements. Thread-compatible: the Store hands
// it to one thread at a time.
class Db {
 public:
  explicit Db(const std::string& path);  // throws StoreError
  ~Db();
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;

  // A query on the statement cached for `sql`. REQUIRES: the same `sql` is not in use by another
  // live Query (nested loops use different texts).
  template <typename... Args>
  Query Sql(std::string_view sql, const Args&... args) {
    return Query(*this, Prepare(sql), args...);
  }
  // The first column of the one row `sql` gives, e.g. of "SELECT COUNT(*) ...".
  template <typename... Args>
  int64_t Scalar(std::string_view sql, const Args&... args) {
    Query query = Sql(sql, args...);
    query.Next();
    return query.Int(0);
  }
  void Exec(const char* sql);
  int64_t LastInsertId() const;
  int Changes() const;

  // Throws StoreError when `rc` is an error.
  void Check(int rc) const;

 private:
  sqlite3_stmt* Prepare(std::string_view sql);

  sqlite3* db_ = nullptr;
  std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

// What gives a new database its schema and first rows, and puts them back on a reset: handed to
// the store, which knows nothing of what the rows are.
struct Seeding {
  void (*create_schema)(Db& db);  // on every open: creates what is missing, keeps what is there
  bool (*is_seeded)(Db& db);
  void (*seed)(Db& db);
  void (*clear)(Db& db);  // deletes every row; the schema stays
};

// Owns the connection. Run executes a function inside one transaction while holding the store's
// mutex, so handlers see and leave a consistent state whatever the number of worker threads.
// Any thread.
class Store {
 public:
  // Opens the database, creates the schema and seeds it when it is new. Throws StoreError.
  Store(const std::string& path, Seeding seeding);
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // Commits when `work` returns, rolls back when it throws (and rethrows).
  template <typename Result>
  Result Run(const std::function<Result(Db&)>& work) {
    base::thread::MutexLock lock(&mutex_);
    Transaction transaction(*db_);
    Result result = work(*db_);
    transaction.Commit();
    return result;
  }
  // Deletes every row and seeds again.
  void Reset();

 private:
  class Transaction {
   public:
    explicit Transaction(Db& db);
    ~Transaction();
    void Commit();

   private:
    Db& db_;
    bool done_ = false;
  };

  const Seeding seeding_;
  base::thread::Mutex mutex_;
  std::unique_ptr<Db> db_ GUARDED_BY(mutex_);
};

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_STORE_H_
