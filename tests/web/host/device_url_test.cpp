#include "device_url.h"

#include <gtest/gtest.h>

using quillmast::FormatDeviceUrl;
using quillmast::IsDottedIpv4;

TEST(IsDottedIpv4, AcceptsFourNumbersFromZeroTo255) {
    for (const char* text : {"198.51.100.30", "0.0.0.0", "255.255.255.255", "203.0.113.9", "1.2.3.4"})
        EXPECT_TRUE(IsDottedIpv4(text)) << text;
}

TEST(IsDottedIpv4, RejectsTheWrongNumberOfParts) {
    for (const char* text : {"", "1", "1.2.3", "1.2.3.4.5", "1.2.3.", ".1.2.3", "1..2.3", "...."})
        EXPECT_FALSE(IsDottedIpv4(text)) << text;
}

TEST(IsDottedIpv4, RejectsNumbersOutOfRangeOrWithLeadingZeros) {
    for (const char* text :
         {"256.1.1.1", "1.2.3.256", "1.2.3.1000", "01.2.3.4", "1.2.3.04", "1.00.3.4", "-1.2.3.4", "+1.2.3.4"})
        EXPECT_FALSE(IsDottedIpv4(text)) << text;
}

TEST(IsDottedIpv4, RejectsAnyOtherCharacter) {
    for (const char* text : {"1.2.3.4 ", " 1.2.3.4", "a.b.c.d", "1.2.3.4/evil", "1.2.3.4:81", "1.2.3.4@x",
                             "0x1.2.3.4", "1.2.3.4\n"})
        EXPECT_FALSE(IsDottedIpv4(text)) << text;
    EXPECT_FALSE(IsDottedIpv4(nullptr));
}

TEST(FormatDeviceUrl, AlwaysWritesThePortAsASignedNumber) {
    char url[quillmast::kDeviceUrlCapacity];
    EXPECT_TRUE(FormatDeviceUrl("198.51.100.30", 80, url));
    EXPECT_STREQ(url, "http://198.51.100.30:80/");
    EXPECT_TRUE(FormatDeviceUrl("198.51.100.30", 0, url));
    EXPECT_STREQ(url, "http://198.51.100.30:0/");
    EXPECT_TRUE(FormatDeviceUrl("198.51.100.30", -8080, url));
    EXPECT_STREQ(url, "http://198.51.100.30:-8080/");
}

TEST(FormatDeviceUrl, LongestAddressAndPortFit) {
    char url[quillmast::kDeviceUrlCapacity];
    EXPECT_TRUE(FormatDeviceUrl("255.255.255.255", INT32_MIN, url));
    EXPECT_STREQ(url, "http://255.255.255.255:-2147483648/");
}

TEST(FormatDeviceUrl, WritesNothingForTextThatIsNoAddress) {
    char url[quillmast::kDeviceUrlCapacity] = "stale";
    EXPECT_FALSE(FormatDeviceUrl("198.51.100.30/evil", 80, url));
    EXPECT_STREQ(url, "");
}
