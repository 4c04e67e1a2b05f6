#include "request_bytes.hpp"
#include "wire_format.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace quillsim {
namespace {

const MacBytes kMac{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};

// What the program takes from a reply: the markers are found in the text before the first zero byte, and
// the port and MAC are read by position after them. Kept separate from the simulator's own code so the test
// checks our replies against the reader, not against themselves.
struct ProgramView {
    std::string ip;
    std::optional<int> port;
    std::optional<MacBytes> mac;
};

ProgramView read_as_program(const std::vector<std::uint8_t>& reply) {
    const std::string all(reply.begin(), reply.end());
    const std::string text = all.substr(0, all.find('\0'));
    ProgramView view;
    if (const auto colon = text.find(':'); colon != std::string::npos) {
        view.ip = text.substr(0, colon);
    }
    if (const auto http = text.find("HTTP"); http != std::string::npos) {
        std::string piece = all.substr(http + 4, 8);
        piece = piece.substr(0, piece.find('\0'));
        piece = piece.substr(
            piece.find_first_not_of(',') == std::string::npos ? piece.size() : piece.find_first_not_of(','));
        const std::string token = piece.substr(0, piece.find(','));
        if (!token.empty()) {
            view.port = std::atoi(token.c_str());
        }
    }
    if (const auto mac = text.find("MAC"); mac != std::string::npos && mac + 9 <= all.size()) {
        MacBytes bytes{};
        std::copy_n(reply.begin() + static_cast<std::ptrdiff_t>(mac + 3), 6, bytes.begin());
        view.mac = bytes;
    }
    return view;
}

TEST(Reply, MatchesTheDocumentedExampleByteForByte) {
    const auto reply = build_reply("198.51.100.30", 80, kMac);
    const std::string expected_text = "198.51.100.30:HTTP80,MAC";
    ASSERT_EQ(reply.size(), expected_text.size() + 6);
    EXPECT_EQ(std::string(reply.begin(), reply.begin() + 24), expected_text);
    EXPECT_TRUE(std::equal(kMac.begin(), kMac.end(), reply.end() - 6));
}

TEST(Reply, ReadsBackAsTheProgramReadsIt) {
    const auto view = read_as_program(build_reply("203.0.113.7", 8080, kMac));
    EXPECT_EQ(view.ip, "203.0.113.7");
    EXPECT_EQ(view.port, 8080);
    EXPECT_EQ(view.mac, kMac);
}

TEST(Reply, WithoutPortHasNoHttpMarker) {
    const auto reply = build_reply("198.51.100.30", std::nullopt, kMac);
    EXPECT_EQ(std::string(reply.begin(), reply.end() - 6), "198.51.100.30:MAC");
    const auto view = read_as_program(reply);
    EXPECT_FALSE(view.port);
    EXPECT_EQ(view.mac, kMac);
}

TEST(Reply, MacBytesThatLookLikeMarkersDoNotConfuseTheReader) {
    // A zero first MAC byte ends the text right after "MAC"; ':' and letters in the MAC must not matter.
    const MacBytes tricky{0x00, ':', 'H', 'T', 'T', 'P'};
    const auto view = read_as_program(build_reply("198.51.100.31", 80, tricky));
    EXPECT_EQ(view.ip, "198.51.100.31");
    EXPECT_EQ(view.port, 80);
    EXPECT_EQ(view.mac, tricky);
}

TEST(Classify, RecognisesTheTwoRequests) {
    EXPECT_EQ(classify_request(test::search_request()).kind, RequestKind::search);

    const auto command = classify_request(test::change_command(kMac, "10.0.0.1"));
    ASSERT_EQ(command.kind, RequestKind::change);
    ASSERT_TRUE(command.change);
    EXPECT_EQ(command.change->mac, kMac);
    EXPECT_EQ(command.change->address_text, "10.0.0.1"); // the garbage after the zero is not part of it
}

TEST(Classify, AddressFieldWithoutZeroIsTakenWhole) {
    std::vector<std::uint8_t> bytes = test::change_command(kMac, "");
    std::fill(bytes.begin() + 25, bytes.end(), '7');
    const auto command = classify_request(bytes);
    ASSERT_EQ(command.kind, RequestKind::change);
    EXPECT_EQ(command.change->address_text, std::string(16, '7'));
}

TEST(Classify, AnythingNotExactlyARequestIsOther) {
    auto longer_search = test::search_request();
    longer_search.push_back(0);
    auto short_search = test::search_request();
    short_search.pop_back(); // no terminating zero
    auto lower_case = test::search_request();
    lower_case[3] = 's';
    auto wrong_marker = test::change_command(kMac, "10.0.0.1");
    wrong_marker[18] = 0x02;
    auto truncated = test::change_command(kMac, "10.0.0.1");
    truncated.pop_back();
    auto search_sized_command = test::change_command(kMac, "10.0.0.1");
    search_sized_command.resize(19);

    for (const auto& bytes : {longer_search, short_search, lower_case, wrong_marker, truncated,
                              search_sized_command, std::vector<std::uint8_t>{}}) {
        const auto request = classify_request(bytes);
        EXPECT_EQ(request.kind, RequestKind::other) << bytes.size();
        EXPECT_FALSE(request.change);
    }
}

} // namespace
} // namespace quillsim
