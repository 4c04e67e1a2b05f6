#pragma once
// find's output: an aligned table for people, CSV with a header, a JSON array, or JSON lines. The
// names of the CSV columns and JSON keys are fixed: scripts depend on them.
#include <optional>
#include <ostream>
#include <string_view>
#include <vector>

#include "output/device_rows.h"

namespace quillctl {

enum class RowFormat { Table, Csv, Json, Jsonl };

std::optional<RowFormat> ParseRowFormat(std::string_view name);

// The whole list at once. `onvifColumns`: the table shows protocol, name, hardware and XAddr too (CSV
// and JSON always carry every field). `detailColumns`: and what the cameras' device services said.
void WriteRows(std::ostream& out, RowFormat format, const std::vector<DeviceRow>& rows,
               bool onvifColumns = false, bool detailColumns = false);

// Row by row, as devices appear or change: a header first (table and CSV), then one line per row.
// The table's columns have fixed widths here, since later rows are not known yet: the longest plain
// address, and for the interface column the longest of the interface names searched on. JSON arrays
// cannot be streamed and are not offered.
void WriteStreamHeader(std::ostream& out, RowFormat format, size_t longestInterfaceName, bool onvifColumns);
void WriteStreamRow(std::ostream& out, RowFormat format, size_t longestInterfaceName, bool onvifColumns,
                    const DeviceRow& row);

// The CSV header line's columns, in order; a plan adds "new_ip". Later versions only append.
inline constexpr size_t kRowColumnCount = 22;
extern const char* const kRowColumns[kRowColumnCount];

} // namespace quillctl
