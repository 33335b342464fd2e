// The store's logic over a plain SQL connection; the SQLite and PostgreSQL
// backends only supply the connection and its write lock.
#pragma once

#include "production/Store.h"

#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvan {

struct EStoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

using TSqlValue = std::optional<std::string>; // nullopt is NULL
using TSqlRow = std::vector<std::string>;     // NULL reads as ""

// One database connection. Statements use "?" placeholders; failures throw
// EStoreError.
class ISqlLink {
  public:
    virtual ~ISqlLink() = default;
    std::vector<TSqlRow> Query(const std::string& sql, const std::vector<TSqlValue>& params = {}) {
        return Run(sql, params);
    }
    void Exec(const std::string& sql, const std::vector<TSqlValue>& params = {}) {
        (void)Query(sql, params);
    }
    // A transaction that holds the store's write lock from its start, so
    // two claims never read the same next number.
    virtual void BeginWrite() = 0;
    // A transaction that only reads, all of it from one snapshot; it
    // takes no write lock and a station never waits for it.
    virtual void BeginRead() = 0;
    virtual void Commit() = 0;
    virtual void Rollback() = 0;
    virtual std::vector<TSqlRow> Run(const std::string& sql,
                                     const std::vector<TSqlValue>& params) = 0;
    // Takes the station's name for as long as this connection lives (the
    // system or the server drops it when the process dies); false when
    // another connection holds it.
    virtual bool TryHoldStation(const std::string& station) = 0;
    // The type of an auto-numbered key column.
    virtual std::string IdColumn() const = 0;
    virtual std::string Describe() const = 0;
};

// How a store uses its connection: a station's store writes (and creates
// or upgrades the schema); a snapshot only reads, from one read
// transaction that lasts as long as the store.
enum class TStoreAccess { Write, Snapshot };

// Without `create` the file must exist already; a snapshot opens it
// read-only.
std::unique_ptr<ISqlLink> OpenSqliteLink(const std::string& path, bool create = true,
                                         TStoreAccess access = TStoreAccess::Write);
std::unique_ptr<ISqlLink> OpenPostgresLink(const std::string& url,
                                           TStoreAccess access = TStoreAccess::Write);

class TSqlStore final : public IProductionStore {
  public:
    // Creates or upgrades the schema (a snapshot: starts its read and
    // checks the schema); throws EStoreError.
    explicit TSqlStore(std::unique_ptr<ISqlLink> link, TStoreAccess access = TStoreAccess::Write);
    ~TSqlStore() override;
    TSqlStore(const TSqlStore&) = delete;
    TSqlStore& operator=(const TSqlStore&) = delete;
    std::string Describe() const override { return Link->Describe(); }
    bool HoldStation(const std::string& station, std::vector<TChipRecord>& unknown,
                     std::string& error) override;
    bool Claim(const TClaimRequest& request, TClaim& claim, std::string& error) override;
    bool Arm(const TChipRecord& pending, std::string& error) override;
    bool Record(TChipRecord& record, bool consume, std::string& error) override;
    bool Report(const TReportQuery& query, std::vector<TReportRow>& rows,
                std::string& error) override;
    bool Chips(const TReportQuery& query, std::vector<TChipRecord>& chips,
               std::string& error) override;
    bool HeldClaims(std::vector<THeldClaim>& claims, std::string& error) override;
    bool SeriesRanges(std::vector<TSeriesRange>& ranges, std::string& error) override;
    bool SeriesState(const std::string& series, int64_t& used, std::string& next,
                     std::string& error) override;

  private:
    void Upgrade();
    TClaim ClaimLocked(const TClaimRequest& request);
    // Armed claims of the held station (of one series, or all) into
    // unknown outcomes; inside a write transaction.
    std::vector<TChipRecord> SettleArmed(const std::string& seriesId);
    void RequireStation(const std::string& station) const;
    std::unique_ptr<ISqlLink> Link;
    bool Snapshot = false;
    std::string Station; // held by this process
    std::mutex Lock;     // one connection: one statement at a time
};

} // namespace orvan
