#include "tools/rkzip/seen_names.h"

#include <sqlite3.h>
#include <sys/stat.h>

namespace rk::tools {

namespace {

constexpr const char* kSchema = "CREATE TABLE IF NOT EXISTS seen (name BLOB PRIMARY KEY)";

// An open record, closed when done.
struct Connection {
    sqlite3* db = nullptr;
    ~Connection() { sqlite3_close(db); }
    std::string Error() const { return db != nullptr ? sqlite3_errmsg(db) : "out of memory"; }
};

bool Exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Runs `sql` with one blob bound for each of `count` names.
bool ForEachName(sqlite3* db, const char* sql, std::size_t count,
                 const std::function<std::string(std::size_t)>& name) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
        return false;
    bool ok = true;
    for (std::size_t i = 0; i < count && ok; ++i) {
        const std::string text = name(i);
        sqlite3_bind_blob(statement, 1, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        ok = sqlite3_step(statement) == SQLITE_DONE;
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    return ok;
}

} // namespace

Result<std::optional<NameSet>> SeenNames::Load() const {
    using Loaded = Result<std::optional<NameSet>>;
    struct stat info {};
    if (stat(recordPath_.c_str(), &info) != 0)
        return std::optional<NameSet>();
    Connection connection;
    if (sqlite3_open_v2(recordPath_.c_str(), &connection.db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK)
        return Loaded::Failure(connection.Error());
    sqlite3_busy_timeout(connection.db, 30000);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(connection.db, "SELECT name FROM seen", -1, &statement, nullptr) !=
        SQLITE_OK) {
        // A record written before names were kept has no such table.
        if (std::string(sqlite3_errmsg(connection.db)).find("no such table") != std::string::npos)
            return std::optional<NameSet>();
        return Loaded::Failure(connection.Error());
    }
    NameSet names;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, 0));
        const int length = sqlite3_column_bytes(statement, 0);
        names.emplace(bytes == nullptr ? "" : std::string(bytes, static_cast<size_t>(length)));
    }
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE)
        return Loaded::Failure(connection.Error());
    return std::optional<NameSet>(std::move(names));
}

Result<void> SeenNames::Keep(std::size_t addedCount,
                             const std::function<std::string(std::size_t)>& added,
                             const std::vector<std::string>& gone, bool replaceAll) const {
    Connection connection;
    if (sqlite3_open_v2(recordPath_.c_str(), &connection.db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        return Result<void>::Failure(connection.Error());
    sqlite3_busy_timeout(connection.db, 30000);
    if (!Exec(connection.db, kSchema) || !Exec(connection.db, "BEGIN IMMEDIATE"))
        return Result<void>::Failure(connection.Error());
    const bool ok = (!replaceAll || Exec(connection.db, "DELETE FROM seen")) &&
                    ForEachName(connection.db, "DELETE FROM seen WHERE name = ?", gone.size(),
                                [&gone](std::size_t i) { return gone[i]; }) &&
                    ForEachName(connection.db, "INSERT OR IGNORE INTO seen (name) VALUES (?)",
                                addedCount, added) &&
                    Exec(connection.db, "COMMIT");
    if (!ok) {
        const std::string error = connection.Error();
        Exec(connection.db, "ROLLBACK");
        return Result<void>::Failure(error);
    }
    return {};
}

} // namespace rk::tools
