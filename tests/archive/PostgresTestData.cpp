#include "archive/PostgresTestData.h"

#include <cctype>
#include <cstdio>

TJob MakeJob(const std::string& name) {
    TJob job;
    job.Name = name;
    job.Customer = "Customer of " + name;
    job.Site = "Site of " + name;
    job.Contractor = "Fibre & Co";
    job.Notes = "Notes";
    return job;
}

TDownload MakeDownload(int key, std::size_t readings) {
    TDownload download;
    download.Meter = "OLM-1 0042";
    download.Source = "/dev/ttyUSB0";
    download.Operator = "Tech";
    download.TestDate = "2026-12-07";
    download.Direction = TDirection::AToB;
    char hash[65];
    std::snprintf(hash, sizeof hash, "%064x", key);
    download.Sha256 = hash;
    for (std::size_t i = 0; i < readings; ++i) {
        TStoredReading reading;
        reading.Record = {"K" + std::to_string(key),
                          std::to_string(i + 1),
                          1310,
                          0.25 + static_cast<double>(i) / 100,
                          -10.5,
                          true};
        reading.Direction = TDirection::AToB;
        download.Readings.push_back(reading);
    }
    return download;
}

bool IsArchiveTime(const std::string& text) {
    const std::string pattern = "dddd-dd-ddTdd:dd:dd.ddddddZ";
    if (text.size() != pattern.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
        if (pattern[i] == 'd' ? !digit : text[i] != pattern[i]) {
            return false;
        }
    }
    return true;
}
