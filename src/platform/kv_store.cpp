#include "platform/kv_store.h"

#include <sqlite3.h>

namespace tb {

namespace {

constexpr int kBusyTimeoutMs = 10000;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    " root INTEGER NOT NULL, path TEXT NOT NULL COLLATE NOCASE,"
    " PRIMARY KEY(root, path));"
    "CREATE TABLE IF NOT EXISTS vals("
    " root INTEGER NOT NULL, path TEXT NOT NULL COLLATE NOCASE,"
    " name TEXT NOT NULL COLLATE NOCASE, kind INTEGER NOT NULL, data BLOB NOT NULL,"
    " PRIMARY KEY(root, path, name));";

struct DbClose {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StmtFinalize {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using DbHandle = std::unique_ptr<sqlite3, DbClose>;
using StmtHandle = std::unique_ptr<sqlite3_stmt, StmtFinalize>;

// One prepared statement, reset after every use.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK) stmt_.reset(s);
    }
    ~Statement() {
        if (stmt_) sqlite3_reset(stmt_.get());
    }
    bool ok() const { return stmt_ != nullptr; }
    Statement& Int(int i, int v) {
        if (stmt_) sqlite3_bind_int(stmt_.get(), i, v);
        return *this;
    }
    // Bound as a BLOB-free text of exact bytes (the NOCASE collation applies to text).
    Statement& Text(int i, std::string_view v) {
        if (stmt_) sqlite3_bind_text(stmt_.get(), i, v.data(), int(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Blob(int i, std::string_view v) {
        if (stmt_) sqlite3_bind_blob(stmt_.get(), i, v.data(), int(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    int Step() { return stmt_ ? sqlite3_step(stmt_.get()) : SQLITE_ERROR; }
    bool Run() { return Step() == SQLITE_DONE; }
    int ColumnInt(int i) { return sqlite3_column_int(stmt_.get(), i); }
    std::string ColumnBytes(int i) {
        const void* p = sqlite3_column_blob(stmt_.get(), i);
        int n = sqlite3_column_bytes(stmt_.get(), i);
        return p ? std::string(static_cast<const char*>(p), size_t(n)) : std::string();
    }
    int Changes() const { return sqlite3_changes(sqlite3_db_handle(stmt_.get())); }

  private:
    StmtHandle stmt_;
};

bool Exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// BEGIN IMMEDIATE takes the write lock at once (waiting under the busy timeout), so two
// writers never deadlock upgrading a read lock; the destructor rolls back unless committed.
class WriteTransaction {
  public:
    explicit WriteTransaction(sqlite3* db) : db_(db), open_(Exec(db, "BEGIN IMMEDIATE")) {}
    ~WriteTransaction() {
        if (open_) Exec(db_, "ROLLBACK");
    }
    bool ok() const { return open_; }
    bool Commit() {
        if (!open_ || !Exec(db_, "COMMIT")) return false;
        open_ = false;
        return true;
    }

  private:
    sqlite3* db_;
    bool open_;
};

class SqliteStore final : public KeyValueStore {
  public:
    explicit SqliteStore(DbHandle db) : db_(std::move(db)) {}

    bool Get(int root, std::string_view path, std::string_view name, StoredValue& out) override {
        Statement s(db_.get(), "SELECT kind, data FROM vals WHERE root=? AND path=? AND name=?");
        s.Int(1, root).Text(2, path).Text(3, name);
        if (s.Step() != SQLITE_ROW) return false;
        out.kind = s.ColumnInt(0);
        out.data = s.ColumnBytes(1);
        return true;
    }

    bool Put(int root, std::string_view path, std::string_view name,
             const StoredValue& value) override {
        WriteTransaction t(db_.get());
        if (!t.ok() || !InsertKey(root, path)) return false;
        Statement s(db_.get(), "INSERT OR REPLACE INTO vals VALUES(?, ?, ?, ?, ?)");
        s.Int(1, root).Text(2, path).Text(3, name).Int(4, value.kind).Blob(5, value.data);
        return s.Run() && t.Commit();
    }

    bool CreateKey(int root, std::string_view path) override {
        WriteTransaction t(db_.get());
        return t.ok() && InsertKey(root, path) && t.Commit();
    }

    bool KeyExists(int root, std::string_view path) override {
        Statement s(db_.get(), "SELECT 1 FROM keys WHERE root=? AND path=?");
        s.Int(1, root).Text(2, path);
        return s.Step() == SQLITE_ROW;
    }

    bool DeleteValue(int root, std::string_view path, std::string_view name) override {
        WriteTransaction t(db_.get());
        if (!t.ok()) return false;
        Statement s(db_.get(), "DELETE FROM vals WHERE root=? AND path=? AND name=?");
        s.Int(1, root).Text(2, path).Text(3, name);
        if (!s.Run()) return false;
        bool deleted = s.Changes() > 0;
        return t.Commit() && deleted;
    }

    bool DeleteKey(int root, std::string_view path, std::string_view subkey_prefix) override {
        WriteTransaction t(db_.get());
        if (!t.ok()) return false;
        for (const char* table : {"keys", "vals"}) {
            std::string sql = std::string("DELETE FROM ") + table +
                              " WHERE root=?1 AND (path=?2 OR"
                              " substr(path, 1, length(?3)) = ?3 COLLATE NOCASE)";
            Statement s(db_.get(), sql.c_str());
            s.Int(1, root).Text(2, path).Text(3, subkey_prefix);
            if (!s.Run()) return false;
        }
        return t.Commit();
    }

    bool List(std::vector<StoredEntry>& out) override {
        Statement s(db_.get(),
                    "SELECT root, path, 0, '', 0, x'' FROM keys k WHERE NOT EXISTS"
                    " (SELECT 1 FROM vals v WHERE v.root=k.root AND v.path=k.path)"
                    " UNION ALL SELECT root, path, 1, name, kind, data FROM vals"
                    " ORDER BY 1, 2 COLLATE NOCASE, 4 COLLATE NOCASE");
        out.clear();
        int rc;
        while ((rc = s.Step()) == SQLITE_ROW) {
            StoredEntry e;
            e.root = s.ColumnInt(0);
            e.path = s.ColumnBytes(1);
            e.has_value = s.ColumnInt(2) != 0;
            e.name = s.ColumnBytes(3);
            e.value.kind = s.ColumnInt(4);
            e.value.data = s.ColumnBytes(5);
            out.push_back(std::move(e));
        }
        return rc == SQLITE_DONE;
    }

    bool Check() override {
        Statement s(db_.get(), "PRAGMA integrity_check");
        return s.Step() == SQLITE_ROW && s.ColumnBytes(0) == "ok";
    }

  private:
    bool InsertKey(int root, std::string_view path) {
        Statement s(db_.get(), "INSERT OR IGNORE INTO keys VALUES(?, ?)");
        s.Int(1, root).Text(2, path);
        return s.Run();
    }

    DbHandle db_;
};

}  // namespace

std::unique_ptr<KeyValueStore> KeyValueStore::Open(const std::string& file, std::string& error) {
    sqlite3* raw = nullptr;
    int rc =
        sqlite3_open_v2(file.c_str(), &raw,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    DbHandle db(raw);
    if (rc != SQLITE_OK) {
        error = raw ? sqlite3_errmsg(raw) : "out of memory";
        return nullptr;
    }
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
    // WAL lets readers go on during a write; FULL syncs the log at every commit, so a value
    // written is a value kept, even through a power cut.
    if (!Exec(db.get(), "PRAGMA journal_mode=WAL") || !Exec(db.get(), "PRAGMA synchronous=FULL") ||
        !Exec(db.get(), kSchema)) {
        error = sqlite3_errmsg(db.get());
        return nullptr;
    }
    return std::make_unique<SqliteStore>(std::move(db));
}

}  // namespace tb
