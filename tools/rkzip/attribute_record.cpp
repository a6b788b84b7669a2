#include "tools/rkzip/attribute_record.h"

#include <functional>
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

void StampTable::Reserve(std::size_t count) {
    entries_.reserve(count);
    paths_.reserve(count * 48);
    std::size_t slots = 16;
    while (slots < count * 2)
        slots *= 2;
    if (slots > slots_.size())
        Grow(slots);
}

std::size_t StampTable::SlotOf(std::string_view path, std::size_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t held = slots_[slot];
        if (held == 0 || PathOf(entries_[held - 1]) == path)
            return slot;
    }
}

void StampTable::Grow(std::size_t slots) {
    slots_.assign(slots, 0);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const std::string_view path = PathOf(entries_[i]);
        slots_[SlotOf(path, std::hash<std::string_view>{}(path))] =
            static_cast<std::uint32_t>(i + 1);
    }
}

void StampTable::Add(std::string_view path, const ChangeStamp& stamp) {
    if ((entries_.size() + 1) * 2 > slots_.size())
        Grow(slots_.empty() ? 16 : slots_.size() * 2);
    const std::size_t slot = SlotOf(path, std::hash<std::string_view>{}(path));
    if (slots_[slot] != 0)
        return;
    entries_.push_back({paths_.size(), path.size(), stamp});
    paths_.append(path);
    slots_[slot] = static_cast<std::uint32_t>(entries_.size());
}

const ChangeStamp* StampTable::Find(std::string_view path) const {
    if (slots_.empty())
        return nullptr;
    const std::uint32_t held = slots_[SlotOf(path, std::hash<std::string_view>{}(path))];
    return held == 0 ? nullptr : &entries_[held - 1].stamp;
}

void StampTable::clear() {
    paths_.clear();
    entries_.clear();
    slots_.clear();
}

AttributeRecord::AttributeRecord(std::string folderHost) : folderHost_(std::move(folderHost)) {}

std::string AttributeRecord::path() const {
    return folderHost_.back() == '/' ? folderHost_ + kRecordFileName
                                     : folderHost_ + '/' + kRecordFileName;
}

Result<void> AttributeRecord::Load(StampTable& stamps, std::size_t expected) const {
    struct stat info {};
    if (stat(path().c_str(), &info) != 0)
        return {}; // no record yet: every file has the attribute
    std::string error;
    Database db(path(), SQLITE_OPEN_READONLY, error);
    if (!db.ok())
        return Result<void>::Failure(error);
    stamps.Reserve(expected);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db.get(), "SELECT path, ctime_ns, size, inode FROM stamps", -1,
                           &statement, nullptr) != SQLITE_OK)
        return Result<void>::Failure(sqlite3_errmsg(db.get()));
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        const int length = sqlite3_column_bytes(statement, 0);
        ChangeStamp stamp;
        stamp.ctimeNs = sqlite3_column_int64(statement, 1);
        stamp.size = static_cast<std::uint64_t>(sqlite3_column_int64(statement, 2));
        stamp.inode = static_cast<std::uint64_t>(sqlite3_column_int64(statement, 3));
        stamps.Add(std::string_view(text, static_cast<size_t>(length)), stamp);
    }
    if (rc != SQLITE_DONE)
        error = sqlite3_errmsg(db.get());
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE)
        return Result<void>::Failure(error);
    return {};
}

Result<void> AttributeRecord::Clear(const std::vector<const SourceFile*>& files,
                                    bool replaceAll) const {
    std::string error;
    Database db(path(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
    if (!db.ok() || !db.Exec(kSchema, error) || !db.Exec("BEGIN IMMEDIATE", error))
        return Result<void>::Failure(error);
    if (replaceAll && !db.Exec("DELETE FROM stamps", error))
        return Result<void>::Failure(error);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db.get(),
                           "INSERT OR REPLACE INTO stamps (path, ctime_ns, size, inode) "
                           "VALUES (?, ?, ?, ?)",
                           -1, &statement, nullptr) != SQLITE_OK)
        return Result<void>::Failure(sqlite3_errmsg(db.get()));
    bool ok = true;
    for (const SourceFile* file : files) {
        // Each path is built as it is recorded, so that a run of many files
        // holds no second copy of them all.
        const std::string host = file->HostPath();
        const ChangeStamp& stamp = file->stamp;
        sqlite3_bind_text(statement, 1, host.data(), static_cast<int>(host.size()), SQLITE_STATIC);
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
        return Result<void>::Failure(error);
    }
    if (!db.Exec("COMMIT", error))
        return Result<void>::Failure(error);
    return {};
}

} // namespace rk::tools
