#include "store.h"

#include <sqlite3.h>

#include <chrono>

namespace lumo::sandbox {
namespace {

// Long enough for another process to seed a new file on a busy machine.
constexpr std::chrono::milliseconds kBusyTimeout{10'000};

}  // namespace

Query::Query(Db& db, sqlite3_stmt* statement) : db_(db), statement_(statement) {}

Query::~Query() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

Query& Query::Bind(int64_t value) {
  db_.Check(sqlite3_bind_int64(statement_, next_index_++, value));
  return *this;
}

Query& Query::Bind(double value) {
  db_.Check(sqlite3_bind_double(statement_, next_index_++, value));
  return *this;
}

Query& Query::Bind(std::string_view text) {
  db_.Check(sqlite3_bind_text64(statement_, next_index_++, text.data(), text.size(),
                                SQLITE_TRANSIENT, SQLITE_UTF8));
  return *this;
}

Query& Query::BindBlob(std::string_view bytes) {
  db_.Check(
      sqlite3_bind_blob64(statement_, next_index_++, bytes.data(), bytes.size(), SQLITE_TRANSIENT));
  return *this;
}

bool Query::Next() {
  int rc = sqlite3_step(statement_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  db_.Check(rc);
  return false;
}

void Query::Run() {
  while (Next()) {
  }
}

int64_t Query::Int(int column) const { return sqlite3_column_int64(statement_, column); }

double Query::Double(int column) const { return sqlite3_column_double(statement_, column); }

std::string Query::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(statement_, column);
  if (!text) return std::string();
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
}

std::string Query::Blob(int column) const {
  const void* bytes = sqlite3_column_blob(statement_, column);
  if (!bytes) return std::string();
  return std::string(static_cast<const char*>(bytes),
                     static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
}

bool Query::IsNull(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

Db::Db(const std::string& path) {
  int rc =
      sqlite3_open_v2(path.c_str(), &db_,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    throw StoreError("cannot open " + path + ": " + message);
  }
  // Several processes may share one file (runs of the tool at the same time): a lock held by
  // another one is waited for instead of failing at once.
  sqlite3_busy_timeout(db_, static_cast<int>(kBusyTimeout.count()));
}

Db::~Db() {
  for (auto& [sql, statement] : statements_) sqlite3_finalize(statement);
  sqlite3_close(db_);
}

void Db::Check(int rc) const {
  if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE) return;
  throw StoreError(std::string("sqlite: ") + sqlite3_errstr(rc) + ": " + sqlite3_errmsg(db_));
}

sqlite3_stmt* Db::Prepare(std::string_view sql) {
  auto found = statements_.find(std::string(sql));
  if (found != statements_.end()) return found->second;
  sqlite3_stmt* statement = nullptr;
  Check(sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &statement, nullptr));
  statements_.emplace(std::string(sql), statement);
  return statement;
}

void Db::Exec(const char* sql) {
  char* message = nullptr;
  int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
  if (rc != SQLITE_OK) {
    std::string text = message ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    throw StoreError("sqlite: " + text);
  }
}

int64_t Db::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }

int Db::Changes() const { return sqlite3_changes(db_); }

// IMMEDIATE takes the write lock at the start: a deferred transaction that reads and then writes
// can fail at once with SQLITE_BUSY when another process wrote in between, whatever the busy
// timeout.
Store::Transaction::Transaction(Db& db) : db_(db) { db_.Exec("BEGIN IMMEDIATE"); }

Store::Transaction::~Transaction() {
  if (!done_) {
    try {
      db_.Exec("ROLLBACK");
    } catch (const StoreError&) {
      // A failed statement may already have ended the transaction.
    }
  }
}

void Store::Transaction::Commit() {
  db_.Exec("COMMIT");
  done_ = true;
}

Store::Store(const std::string& path, Seeding seeding)
    : seeding_(seeding), db_(std::make_unique<Db>(path)) {
  db_->Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=OFF;");
  base::thread::MutexLock lock(&mutex_);
  // Two processes opening a new file together: the second waits for the first one's seed and
  // then finds the file seeded.
  Transaction transaction(*db_);
  seeding_.create_schema(*db_);
  if (!seeding_.is_seeded(*db_)) seeding_.seed(*db_);
  transaction.Commit();
}

void Store::Reset() {
  base::thread::MutexLock lock(&mutex_);
  Transaction transaction(*db_);
  seeding_.clear(*db_);
  seeding_.seed(*db_);
  transaction.Commit();
}

}  // namespace lumo::sandbox
