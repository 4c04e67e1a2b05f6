#include "output/rows_destination.h"

#include "net/exit_status.h"
#include "net/text_escape.h"
#include "output/text_files.h"

namespace quillctl {

RowsDestination::RowsDestination(std::ostream& terminalOut, std::string path, RowFormat format)
    : terminalOut_(terminalOut), path_(std::move(path)), format_(format) {
    std::string error;
    if (toFile() && !CanWriteFile(path_, error))
        throw CommandError(kExitFailure, "cannot write " + EscapeName(path_) + ": " + error);
}

void RowsDestination::Finish() {
    out().flush();
    if (!toFile())
        return;
    std::string error;
    const std::string mark = format_ == RowFormat::Csv ? "\xEF\xBB\xBF" : "";
    if (!WriteFileAtomically(path_, mark + fileOut_.str(), error))
        throw CommandError(kExitFailure, "cannot write " + EscapeName(path_) + ": " + error);
}

} // namespace quillctl
