#pragma once
// Where find and info write their rows: standard output as they come, or with --output a file that
// holds the whole list, written at once when it is complete.
#include <ostream>
#include <sstream>
#include <string>

#include "output/row_formats.h"

namespace quillctl {

class RowsDestination {
  public:
    // An empty `path` is standard output. Throws CommandError (exit 1) when the file's folder takes no
    // new file, before anything is searched or sent.
    RowsDestination(std::ostream& terminalOut, std::string path, RowFormat format);

    std::ostream& out() { return toFile() ? fileOut_ : terminalOut_; }
    bool toFile() const { return !path_.empty(); }

    // Flushes standard output, or replaces the file with the list: UTF-8, and CSV with a byte order mark,
    // which spreadsheets need to read the names as UTF-8 (JSON has none: parsers would choke on it).
    // Throws CommandError (exit 1) when the file cannot be written.
    void Finish();

  private:
    std::ostream& terminalOut_;
    std::string path_;
    RowFormat format_;
    std::ostringstream fileOut_;
};

} // namespace quillctl
