#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "jobs/JobTypes.h"

// The open exchange format of a job: one JSON document holding the job's facts and every
// download with its readings, described by docs/job.schema.json.

// What a document holds. The readings' Cable and Fiber are Latin-1, as everywhere else.
struct TJobDocument {
    TJob Job;
    std::vector<TDownload> Downloads;  // in the order of their numbers
};

// The name and version a document states first.
inline constexpr const char* JobDocumentFormat = "meridax-job";
inline constexpr int JobDocumentVersion = 1;

// The document of a job and its downloads (given in any order; written in the order of their
// numbers). The same job gives the same bytes: fixed key order and indentation, a line feed at
// the end. Throws EArchiveError(BadInput) for a text that is not UTF-8 or a number that is not
// finite, which the document cannot hold.
std::string JobDocumentText(const TJob& job, const std::vector<TDownload>& downloads);

// The job and downloads a document holds. A document that is not JSON, breaks the schema, or
// whose download does not match its SHA-256 throws EArchiveError(BadDocument) whose message
// names fileName and the place in the document ("job.json: /downloads/3/readings/17/value:
// not a number").
TJobDocument ReadJobDocument(std::string_view text, const std::string& fileName);
