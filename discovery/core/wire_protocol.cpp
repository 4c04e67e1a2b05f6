#include "wire_protocol.h"

#include "ascii_digit.h"

#include <cstring>

namespace quillmast {

const uint8_t kSearchRequest[kSearchRequestSize] = {'P', 'V', '_', 'S', 'e', 'a', 'r', 'c', 'h', 'N',
                                                    'e', 't', 'D', 'e', 'v', 'i', 'c', 'e', 0};

void InitChangeIpCommandHead(uint8_t (&cmd)[kChangeIpCommandSize]) {
    static const char kName[] = "PV_ChangeDeviceIp"; // 17 letters and the zero
    static_assert(sizeof(kName) == kChangeCmdFlagOffset);
    cmd[kChangeCmdFlagOffset] = 1;
    std::memcpy(cmd, kName, sizeof(kName));
}

void WriteChangeIpTarget(uint8_t (&cmd)[kChangeIpCommandSize], const uint8_t (&mac)[kMacSize],
                         const char* ipText) {
    std::memcpy(cmd + kChangeCmdMacOffset, mac, kMacSize);
    size_t n = strnlen(ipText, kIpTextSize - 1);
    std::memcpy(cmd + kChangeCmdIpOffset, ipText, n);
    cmd[kChangeCmdIpOffset + n] = 0;
}

namespace {

// First occurrence of `marker` in text[0, textLength), or -1.
long FindMarker(const uint8_t* text, size_t textLength, const char* marker) {
    size_t m = std::strlen(marker);
    if (textLength < m)
        return -1;
    for (size_t i = 0; i + m <= textLength; ++i)
        if (std::memcmp(text + i, marker, m) == 0)
            return static_cast<long>(i);
    return -1;
}

bool IsSpace(uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The port field: the (at most 8) bytes after "HTTP" form a piece of text ending at its first zero;
// leading commas are skipped and the token runs to the next comma. Returns false when there is no token.
bool ParsePortPiece(const uint8_t* piece, size_t pieceLength, int32_t& port) {
    size_t end = 0;
    while (end < pieceLength && piece[end] != 0)
        ++end;
    size_t i = 0;
    while (i < end && piece[i] == ',')
        ++i;
    size_t tokenEnd = i;
    while (tokenEnd < end && piece[tokenEnd] != ',')
        ++tokenEnd;
    if (tokenEnd == i)
        return false;
    // Leading decimal number, as the C library reads one: blanks, a sign, then digits.
    size_t j = i;
    while (j < tokenEnd && IsSpace(piece[j]))
        ++j;
    bool negative = false;
    if (j < tokenEnd && (piece[j] == '+' || piece[j] == '-'))
        negative = piece[j++] == '-';
    int32_t value = 0; // at most 8 digits fit the piece, so this cannot overflow
    while (j < tokenEnd && IsAsciiDigit(piece[j]))
        value = value * 10 + (piece[j++] - '0');
    port = negative ? -value : value;
    return true;
}

} // namespace

DeviceReply ParseDeviceReply(const uint8_t* data, size_t length) {
    DeviceReply reply;
    if (data == nullptr)
        return reply;
    if (length > kReplyBufferSize)
        length = kReplyBufferSize;
    size_t textLength = 0;
    while (textLength < length && data[textLength] != 0)
        ++textLength;

    long colon = FindMarker(data, textLength, ":");
    if (colon > 0) {
        // A longer text than the field holds is cut to 15 characters.
        size_t n =
            static_cast<size_t>(colon) < kIpTextSize - 1 ? static_cast<size_t>(colon) : kIpTextSize - 1;
        std::memcpy(reply.ip, data, n);
    }

    long http = FindMarker(data, textLength, "HTTP");
    if (http >= 0) {
        size_t start = static_cast<size_t>(http) + 4;
        // Bytes by position may lie past the text's zero, but never past what was received.
        size_t pieceLength = length - start < 8 ? length - start : 8;
        reply.hasPort = ParsePortPiece(data + start, pieceLength, reply.port);
    }

    long mac = FindMarker(data, textLength, "MAC");
    if (mac >= 0) {
        size_t start = static_cast<size_t>(mac) + 3;
        // A MAC cut short by the end of the datagram cannot name a device: such a reply is ignored.
        if (length - start >= kMacSize) {
            std::memcpy(reply.mac, data + start, kMacSize);
            reply.hasMac = true;
        }
    }
    return reply;
}

} // namespace quillmast
