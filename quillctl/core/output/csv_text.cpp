#include "output/csv_text.h"

namespace quillctl {

std::string CsvField(std::string_view text) {
    const bool protect =
        !text.empty() && std::string_view("=+-@\t\r'").find(text.front()) != std::string_view::npos;
    const std::string cell = (protect ? "'" : "") + std::string(text);
    bool quote = cell.find_first_of(",;\"\r\n") != std::string::npos;
    if (!quote)
        return cell;
    std::string out = "\"";
    for (char c : cell) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string_view CsvCellText(std::string_view cell) {
    if (!cell.empty() && cell.front() == '\'')
        cell.remove_prefix(1);
    return cell;
}

char GuessSeparator(std::string_view text) {
    size_t end = text.find_first_of("\r\n");
    std::string_view first = text.substr(0, end);
    bool comma = first.find(',') != std::string_view::npos;
    bool semicolon = first.find(';') != std::string_view::npos;
    return semicolon && !comma ? ';' : ',';
}

bool CsvReader::AtLineEnd() const {
    return pos_ < text_.size() && (text_[pos_] == '\n' || text_[pos_] == '\r');
}

void CsvReader::SkipLineEnd() {
    if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n')
        ++pos_;
    ++pos_;
    ++line_;
}

std::optional<CsvRecord> CsvReader::Next() {
    if (pos_ >= text_.size())
        return std::nullopt;
    CsvRecord record;
    record.line = line_;
    std::string field;
    for (;;) {
        if (pos_ < text_.size() && text_[pos_] == '"') {
            // Quoted: runs to the closing quote; "" is one quote; line breaks belong to the field.
            ++pos_;
            for (;;) {
                if (pos_ >= text_.size()) {
                    record.error = "a quoted field is never closed";
                    record.fields.push_back(std::move(field));
                    return record;
                }
                char c = text_[pos_];
                if (c == '"') {
                    if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
                        field += '"';
                        pos_ += 2;
                        continue;
                    }
                    ++pos_;
                    break;
                }
                if (c == '\n' || (c == '\r' && !(pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n')))
                    ++line_;
                field += c;
                ++pos_;
            }
            // Text after the closing quote up to the separator is kept, as spreadsheets do.
        }
        while (pos_ < text_.size() && text_[pos_] != separator_ && !AtLineEnd())
            field += text_[pos_++];
        record.fields.push_back(std::move(field));
        field.clear();
        if (pos_ >= text_.size())
            return record;
        if (AtLineEnd()) {
            SkipLineEnd();
            return record;
        }
        ++pos_; // the separator
    }
}

} // namespace quillctl
