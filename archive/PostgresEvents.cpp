#include "archive/PostgresEvents.h"

#include <pqxx/result>

#include "archive/JobStore.h"

std::vector<TJobEvent> ReadPostgresEvents(pqxx::transaction_base& tx, std::int64_t jobId,
                                          bool jobTargetOnly) {
    std::vector<TJobEvent> events;
    for (const pqxx::row& row : tx.exec_params(
             "SELECT id, origin, author, wall_time, clock, target, field, value, pred FROM events"
             " WHERE job_id = $1 AND (NOT $2 OR target = 'job') ORDER BY clock, id",
             jobId, jobTargetOnly)) {
        events.push_back({row[0].as<std::string>(), row[1].as<std::string>(),
                          row[2].as<std::string>(), row[3].as<std::string>(),
                          static_cast<TClock>(row[4].as<std::int64_t>()), row[5].as<std::string>(),
                          row[6].as<std::string>(), row[7].as<std::string>(),
                          SplitEventIds(row[8].as<std::string>())});
    }
    return events;
}

std::int64_t InsertPostgresEvents(pqxx::transaction_base& tx, std::int64_t jobId,
                                  const std::vector<TJobEvent>& events) {
    std::int64_t added = 0;
    for (const TJobEvent& event : events) {
        added += tx.exec_params(
                       "INSERT INTO events(job_id, id, origin, author, wall_time, clock,"
                       " target, field, value, pred) VALUES ($1, $2, $3, $4, $5, $6, $7,"
                       " $8, $9, $10) ON CONFLICT DO NOTHING",
                       jobId, event.Id, event.Origin, event.Author, event.WallTime,
                       static_cast<std::int64_t>(event.Clock), event.Target, event.Field,
                       event.Value, JoinEventIds(event.Pred))
                     .affected_rows();
    }
    return added;
}
