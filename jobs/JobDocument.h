#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "jobs/JobEvent.h"
#include "jobs/JobTypes.h"

// The open exchange format of a job: one JSON document holding the job's facts and every
// download with its readings, described by docs/job.schema.json.

// What a document holds. The readings' Cable and Fiber are Latin-1, as everywhere else.
struct TJobDocument {
    int Version = 2;
    // Version 1: the job as the document held it. Version 2: the state its events give.
    TJob Job;
    // Version 1: in the order of their numbers, with what was decided of them and each
    // reading's direction. Version 2: by records hash, each with RecordsSha256, Sha256 (its
    // text hash) and its readings with their own directions (None: the download's).
    std::vector<TDownload> Downloads;
    std::vector<TJobEvent> Events;  // version 2: by (Clock, Id)
};

// The name and version a document states first.
inline constexpr const char* JobDocumentFormat = "meridax-job";
inline constexpr int JobDocumentVersion = 2;

// The document of a job: its downloads (RecordsSha256, Sha256 and own-direction readings;
// written by records hash), its events (written by (Clock, Id)) and the state they give. The
// same job gives the same bytes in every archive: fixed key order and indentation, a line
// feed at the end. Throws EArchiveError(BadInput) for a text that is not UTF-8 or a number
// that is not finite, which the document cannot hold.
std::string JobDocumentText(const std::string& jobName, const std::vector<TJobEvent>& events,
                            const std::vector<TDownload>& downloads);

// The job and downloads a document holds. A document that is not JSON, breaks the schema, or
// whose download does not match its SHA-256 throws EArchiveError(BadDocument) whose message
// names fileName and the place in the document ("job.json: /downloads/3/readings/17/value:
// not a number").
TJobDocument ReadJobDocument(std::string_view text, const std::string& fileName);
