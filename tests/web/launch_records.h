#pragma once
// What the launch recorder (launch_recorder.cpp) wrote: one record per start of it.
#include <string>
#include <vector>

#include "scratch_folder.h"

namespace test {

struct LaunchRecord {
    std::string commandLine;
    unsigned long startupFlags = 0;
    unsigned showWindow = 0;
    bool stdoutIsPipe = false;
    bool stderrIsPipe = false;
    // The sockets and pipe ends the recorder held, as it lists them ("pipe-write", "socket:5555", ...).
    std::vector<std::string> inherited;
    // The path of the recorder that ran.
    std::string program;
};

// A log file of its own in the temporary folder, removed when created and when destroyed.
class LaunchLog {
  public:
    explicit LaunchLog(const char* name);
    ~LaunchLog();
    LaunchLog(const LaunchLog&) = delete;
    LaunchLog& operator=(const LaunchLog&) = delete;

    const std::string& Path() const { return m_path; }
    std::vector<LaunchRecord> Records() const;
    // Polls until the log holds at least `count` records (10 s at most); returns them.
    std::vector<LaunchRecord> WaitForRecords(size_t count) const;

  private:
    std::string m_path;
};

// The folder the tests give the launcher in place of the system folder (no trailing backslash): the
// build puts the launch recorder there as arp.exe. Nothing is placed beside the test program itself.
std::string StandInSystemFolder();

} // namespace test
