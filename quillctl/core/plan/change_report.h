#pragma once
// What apply tells at the end: a table for people, and a CSV or JSON report for records
// (mac, old_ip, new_ip, status, seconds, detail, in_subnet, endpoint: later versions only append; mac
// empty for a camera whose MAC is not known, endpoint empty for our devices); and the warnings before
// anything is sent. Devices are named as DeviceName does.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "plan/change_run.h"
#include "net/links.h"

namespace quillctl {

enum class ReportFormat { Csv, Json };

// By the file name's extension (.csv or .json, in either case); nothing for any other name.
std::optional<ReportFormat> ReportFormatFor(const std::string& path);

void WriteResultTable(std::ostream& out, const std::vector<ChangeItem>& items);

void WriteReport(std::ostream& out, ReportFormat format, const std::vector<ChangeItem>& items);

// One warning line on `err` for each change to an address outside its link's subnet: allowed (a device
// made ready for another site), but nothing on that card will reach it there.
void WarnOutsideSubnet(std::ostream& err, const std::vector<ChangeItem>& items,
                       const std::vector<Link>& links);

// apply --dry-run: the device, old and new address of each change that would be sent.
void WriteDryRun(std::ostream& out, const std::vector<ChangeItem>& items);

} // namespace quillctl
