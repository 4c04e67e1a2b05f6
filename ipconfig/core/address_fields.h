#pragma once
// How the IP Config dialog turns a row's address text into the four fields of its address control,
// and the fields back into the text it sends. Pure code: no platform header, so it builds for the
// host (sanitizers) and for Windows.
#include <array>
#include <cstddef>
#include <cstdint>

namespace quillmast {

using AddressFields = std::array<uint8_t, 4>;

// Splits the text at '.' with strtok (so empty parts are skipped: "1..2" is 1, 2) and reads each part
// as atoi does (leading blanks, a sign, then digits up to the first other character), keeping the low
// 8 bits: "300" gives 44, "-1" gives 255, "x" gives 0. At most four parts are taken and at most the
// first 15 characters are looked at, as a row holds no more. Fields with no part stay 0.
AddressFields SplitAddressText(const char* text);

// Room for the longest text FormatAddressFields writes, with space to spare.
inline constexpr size_t kAddressTextCapacity = 32;

// "%d.%d.%d.%d".
void FormatAddressFields(const AddressFields& fields, char (&text)[kAddressTextCapacity]);

} // namespace quillmast
