#include "address_fields.h"

#include "ascii_digit.h"

#include <cstdio>
#include <cstring>

#include "wire_protocol.h"

namespace quillmast {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// atoi's reading of a part, reduced to its low 8 bits. Accumulating modulo 256 gives the same byte
// as atoi for every value atoi can represent, and stays defined for longer digit runs, where atoi's
// result is not.
uint8_t LowByteOfNumber(const char* part) {
    while (IsBlank(*part))
        ++part;
    bool negative = *part == '-';
    if (*part == '-' || *part == '+')
        ++part;
    unsigned value = 0;
    for (; IsAsciiDigit(*part); ++part)
        value = (value * 10u + static_cast<unsigned>(*part - '0')) & 0xFFu;
    if (negative)
        value = (0u - value) & 0xFFu;
    return static_cast<uint8_t>(value);
}

} // namespace

AddressFields SplitAddressText(const char* text) {
    AddressFields fields{};
    char scratch[kIpTextSize] = {};
    std::strncpy(scratch, text, kIpTextSize - 1);
    size_t field = 0;
    for (char* part = std::strtok(scratch, "."); part != nullptr && field < fields.size();
         part = std::strtok(nullptr, "."))
        fields[field++] = LowByteOfNumber(part);
    return fields;
}

void FormatAddressFields(const AddressFields& fields, char (&text)[kAddressTextCapacity]) {
    std::snprintf(text, sizeof(text), "%d.%d.%d.%d", fields[0], fields[1], fields[2], fields[3]);
}

} // namespace quillmast
