#include "launch_records.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <windows.h>

#include "device_rows.h"

namespace test {

namespace {

LaunchRecord ParseRecord(const std::string& line) {
    LaunchRecord record;
    std::istringstream fields(line);
    std::string flags, show, out, err, inherited;
    std::getline(fields, record.commandLine, '\t');
    std::getline(fields, flags, '\t');
    std::getline(fields, show, '\t');
    std::getline(fields, out, '\t');
    std::getline(fields, err, '\t');
    std::getline(fields, inherited, '\t');
    std::getline(fields, record.program, '\t');
    std::istringstream kinds(inherited);
    for (std::string kind; std::getline(kinds, kind, ',');)
        if (kind != "none")
            record.inherited.push_back(kind);
    record.startupFlags = std::strtoul(flags.c_str(), nullptr, 16);
    record.showWindow = static_cast<unsigned>(std::strtoul(show.c_str(), nullptr, 10));
    record.stdoutIsPipe = out == "pipe";
    record.stderrIsPipe = err == "pipe";
    return record;
}

} // namespace

LaunchLog::LaunchLog(const char* name) {
    char folder[MAX_PATH] = {};
    ::GetTempPathA(sizeof(folder), folder);
    m_path = std::string(folder) + "qm-" + std::to_string(::GetCurrentProcessId()) + "-" + name + ".log";
    ::DeleteFileA(m_path.c_str());
}

LaunchLog::~LaunchLog() { ::DeleteFileA(m_path.c_str()); }

std::vector<LaunchRecord> LaunchLog::Records() const {
    std::vector<LaunchRecord> records;
    std::ifstream file(m_path, std::ios::binary);
    std::string line;
    // Only whole lines: a record being written has no newline yet.
    while (std::getline(file, line) && !file.eof())
        records.push_back(ParseRecord(line));
    return records;
}

std::vector<LaunchRecord> LaunchLog::WaitForRecords(size_t count) const {
    std::vector<LaunchRecord> records;
    WaitUntil(
        [&] {
            records = Records();
            return records.size() >= count;
        },
        std::chrono::seconds(10));
    return records;
}

std::string StandInSystemFolder() { return ProgramFolder() + "stand_in_system"; }

} // namespace test
