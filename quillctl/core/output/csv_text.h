#pragma once
// CSV as spreadsheets write and read it (RFC 4180): fields separated by a comma (or a semicolon, as
// spreadsheets in many countries save), quoted when they hold a separator, a quote or a line break.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillctl {

// The field as one CSV cell, quoted only when it has to be. A spreadsheet would run a cell that
// begins with =, +, - or @ (or a tab or carriage return before one) as a formula, so such a cell gets
// a ' in front, which spreadsheets read as "text follows"; so does a cell that begins with ' itself,
// so that CsvCellText can always take exactly one off.
std::string CsvField(std::string_view text);

// A cell's text as CsvField was given it: one leading ' taken off.
std::string_view CsvCellText(std::string_view cell);

struct CsvRecord {
    int line = 0; // the file's line on which the record starts (1 for the first)
    std::vector<std::string> fields;
    std::string error; // set when the record cannot be read (e.g. a quote never closed)
};

// Reads records one at a time from the whole text. Line ends may be "\n", "\r\n" or "\r". A quoted
// field may span lines; the record keeps the number of the line it starts on.
class CsvReader {
  public:
    CsvReader(std::string_view text, char separator) : text_(text), separator_(separator) {}
    // Nothing at the end of the text.
    std::optional<CsvRecord> Next();

  private:
    bool AtLineEnd() const;
    void SkipLineEnd();

    std::string_view text_;
    char separator_;
    size_t pos_ = 0;
    int line_ = 1;
};

// ';' when the first line holds a semicolon and no comma, else ','.
char GuessSeparator(std::string_view text);

} // namespace quillctl
