#include "address_fields.h"

#include <string>

#include <gtest/gtest.h>

using quillmast::AddressFields;
using quillmast::FormatAddressFields;
using quillmast::SplitAddressText;

TEST(SplitAddressText, DottedQuadFillsTheFieldsInOrder) {
    EXPECT_EQ(SplitAddressText("198.51.100.10"), (AddressFields{198, 51, 100, 10}));
    EXPECT_EQ(SplitAddressText("0.0.0.0"), (AddressFields{0, 0, 0, 0}));
    EXPECT_EQ(SplitAddressText("255.255.255.255"), (AddressFields{255, 255, 255, 255}));
}

TEST(SplitAddressText, KeepsTheLowEightBitsOfEachPart) {
    EXPECT_EQ(SplitAddressText("198.51.300.4"), (AddressFields{198, 51, 44, 4}));
    EXPECT_EQ(SplitAddressText("256.511.-1.-256"), (AddressFields{0, 255, 255, 0}));
    // Longer than any int: still the low byte of the number written, not whatever atoi would do.
    EXPECT_EQ(SplitAddressText("99999999999.1"), (AddressFields{0xFF, 1, 0, 0}));
}

TEST(SplitAddressText, ReadsEachPartAsAtoiDoes) {
    EXPECT_EQ(SplitAddressText(" 7.+8.9x.a"), (AddressFields{7, 8, 9, 0}));
    EXPECT_EQ(SplitAddressText("203.0.113.5:80"), (AddressFields{203, 0, 113, 5}));
}

TEST(SplitAddressText, MissingFieldsStayZero) {
    EXPECT_EQ(SplitAddressText(""), (AddressFields{0, 0, 0, 0}));
    EXPECT_EQ(SplitAddressText("..."), (AddressFields{0, 0, 0, 0}));
    EXPECT_EQ(SplitAddressText("198.51"), (AddressFields{198, 51, 0, 0}));
    // strtok skips empty parts, so the later numbers move up.
    EXPECT_EQ(SplitAddressText("198..51.7"), (AddressFields{198, 51, 7, 0}));
}

TEST(SplitAddressText, TakesAtMostFourPartsOfAtMostFifteenCharacters) {
    EXPECT_EQ(SplitAddressText("1.2.3.4.5.6"), (AddressFields{1, 2, 3, 4}));
    // The sixteenth character and beyond are not part of any row's text.
    EXPECT_EQ(SplitAddressText("111.222.133.1445"), (AddressFields{111, 222, 133, 144}));
}

TEST(FormatAddressFields, WritesFourDecimalNumbers) {
    char text[quillmast::kAddressTextCapacity];
    FormatAddressFields({198, 51, 100, 7}, text);
    EXPECT_STREQ(text, "198.51.100.7");
    FormatAddressFields({255, 0, 255, 0}, text);
    EXPECT_STREQ(text, "255.0.255.0");
}
