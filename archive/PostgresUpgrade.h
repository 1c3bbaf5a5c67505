#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include <pqxx/transaction_base>

// Brings an archive of the first version to the second inside tx (see UpgradeSqliteArchive:
// the same events, the same check before the caller commits). shown names the database in
// messages; progress is told of each job done.
void UpgradePostgresArchive(pqxx::transaction_base& tx, const std::string& shown,
                            const std::string& origin,
                            const std::function<void(std::size_t, std::size_t)>& progress);
