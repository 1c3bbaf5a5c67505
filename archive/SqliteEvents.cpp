#include "archive/SqliteEvents.h"

#include "archive/JobStore.h"

std::vector<TJobEvent> ReadSqliteEvents(TSqliteConnection& connection, std::int64_t jobId,
                                        const char* onlyTarget) {
    TSqliteStatement query(connection,
                           "SELECT id, origin, author, wall_time, clock, target, field, value, "
                           "pred FROM events WHERE job_id = ?1 AND (?2 IS NULL OR target = ?2) "
                           "ORDER BY clock, id");
    query.Bind(1, jobId);
    if (onlyTarget != nullptr)
        query.Bind(2, std::string_view(onlyTarget));
    else
        query.BindNull(2);
    std::vector<TJobEvent> events;
    while (query.Step()) {
        TJobEvent& event = events.emplace_back();
        event.Id = query.Text(0);
        event.Origin = query.Text(1);
        event.Author = query.Text(2);
        event.WallTime = query.Text(3);
        event.Clock = static_cast<TClock>(query.Int(4));
        event.Target = query.Text(5);
        event.Field = query.Text(6);
        event.Value = query.Text(7);
        event.Pred = SplitEventIds(query.TextView(8));
    }
    return events;
}

std::int64_t InsertSqliteEvents(TSqliteConnection& connection, std::int64_t jobId,
                                const std::vector<TJobEvent>& events) {
    TSqliteStatement insert(connection,
                            "INSERT OR IGNORE INTO events(job_id, id, origin, author, wall_time, "
                            "clock, target, field, value, pred) VALUES (?, ?, ?, ?, ?, ?, ?, ?, "
                            "?, ?)");
    std::int64_t added = 0;
    for (const TJobEvent& event : events) {
        insert.Bind(1, jobId).Bind(2, event.Id).Bind(3, event.Origin).Bind(4, event.Author);
        insert.Bind(5, event.WallTime).Bind(6, static_cast<std::int64_t>(event.Clock));
        insert.Bind(7, event.Target).Bind(8, event.Field).Bind(9, event.Value);
        insert.Bind(10, JoinEventIds(event.Pred)).Run();
        added += connection.Changes();
    }
    return added;
}
