#include "tools/rkzip/attribute_record.h"

#include <sqlite3.h>
#include <sys/stat.h>

namespace rk::tools {

namespace {

constexpr const char* kSchema = "CREATE TABLE IF NOT EXISTS stamps ("
                                " path TEXT PRIMARY KEY,"
                                " ctime_ns INTEGER NOT NULL,"
                                " size INTEGER NOT NULL,"
                                " inode INTEGER NOT NULL) WITHOUT ROWID";

// Owns an open database and closes it.
class Database {
  public:
    Database(const std::string& path, int flags, std::string& error) {
        if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
            error = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            db_ = nullptr;
            return;
        }
        sqlite3_busy_timeout(db_, 30000);
    }
    ~Database() { sqlite3_close(db_); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    bool ok() const { return db_ != nullptr; }
    sqlite3* get() const { return db_; }

    bool Exec(const char* sql, std::string& error) const {
        char* message = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK)
            return true;
        error = message != nullptr ? message : sqlite3_errmsg(db_);
        sqlite3_free(message);
        return false;
    }

  private:
    sqlite3* db_ = nullptr;
};

} // namespace

AttributeRecord::AttributeRecord(std::string folderHost) : folderHost_(std::move(folderHost)) {}

std::string AttributeRecord::path() const {
    return folderHost_.back() == '/' ? folderHost_ + kRecordFileName
                                     : folderHost_ + '/' + kRecordFileName;
}

bool AttributeRecord::Load(std::unordered_map<std::string, ChangeStamp>& stamps,
                           std::string& error) const {
    struct stat info {};
    if (stat(path().c_str(), &info) != 0)
        return true; // no record yet: every file has the attribute
    Database db(path(), SQLITE_OPEN_READONLY, error);
    if (!db.ok())
        return false;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db.get(), "SELECT path, ctime_ns, size, inode FROM stamps", -1,
                           &statement, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db.get());
        return false;
    }
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        const int length = sqlite3_column_bytes(statement, 0);
        ChangeStamp stamp;
        stamp.ctimeNs = sqlite3_column_int64(statement, 1);
        stamp.size = static_cast<std::uint64_t>(sqlite3_column_int64(statement, 2));
        stamp.inode = static_cast<std::uint64_t>(sqlite3_column_int64(statement, 3));
        stamps.emplace(std::string(text, static_cast<size_t>(length)), stamp);
    }
    if (rc != SQLITE_DONE)
        error = sqlite3_errmsg(db.get());
    sqlite3_finalize(statement);
    return rc == SQLITE_DONE;
}

bool AttributeRecord::Clear(const std::vector<std::pair<std::string, ChangeStamp>>& stamps,
                            bool replaceAll, std::string& error) const {
    Database db(path(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
    if (!db.ok() || !db.Exec(kSchema, error) || !db.Exec("BEGIN IMMEDIATE", error))
        return false;
    if (replaceAll && !db.Exec("DELETE FROM stamps", error))
        return false;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db.get(),
                           "INSERT OR REPLACE INTO stamps (path, ctime_ns, size, inode) "
                           "VALUES (?, ?, ?, ?)",
                           -1, &statement, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db.get());
        return false;
    }
    bool ok = true;
    for (const auto& [file, stamp] : stamps) {
        sqlite3_bind_text(statement, 1, file.data(), static_cast<int>(file.size()), SQLITE_STATIC);
        sqlite3_bind_int64(statement, 2, stamp.ctimeNs);
        sqlite3_bind_int64(statement, 3, static_cast<sqlite3_int64>(stamp.size));
        sqlite3_bind_int64(statement, 4, static_cast<sqlite3_int64>(stamp.inode));
        if (sqlite3_step(statement) != SQLITE_DONE) {
            error = sqlite3_errmsg(db.get());
            ok = false;
            break;
        }
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    if (!ok) {
        std::string ignored;
        db.Exec("ROLLBACK", ignored);
        return false;
    }
    return db.Exec("COMMIT", error);
}

} // namespace rk::tools
