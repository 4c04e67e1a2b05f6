#pragma once
// The discovery protocol's bytes: what we send, and what we take from a device's reply.
// Pure code: no platform header, so it builds for the host (sanitizers, fuzzing) and for Windows.
#include <cstddef>
#include <cstdint>

namespace quillmast {

inline constexpr const char* DISCOVERY_GROUP = "235.5.6.7";
inline constexpr uint16_t DISCOVERY_REQUEST_PORT = 5556;
inline constexpr uint16_t DISCOVERY_REPLY_PORT = 5555;

inline constexpr size_t kSearchRequestSize = 19;
inline constexpr size_t kChangeIpCommandSize = 41;
inline constexpr size_t kReplyBufferSize = 512; // only this much of a reply is ever looked at
inline constexpr size_t kMacSize = 6;
inline constexpr size_t kIpTextSize = 16; // 15 characters and the terminating zero

// "PV_SearchNetDevice" and its terminating zero.
extern const uint8_t kSearchRequest[kSearchRequestSize];

// Offsets inside the change-IP command.
inline constexpr size_t kChangeCmdFlagOffset = 18;
inline constexpr size_t kChangeCmdMacOffset = 19;
inline constexpr size_t kChangeCmdIpOffset = 25;

// Writes the fixed head of the command: "PV_ChangeDeviceIp", its zero, then the byte 0x01.
void InitChangeIpCommandHead(uint8_t (&cmd)[kChangeIpCommandSize]);

// Writes the target MAC and the new address text (cut to 15 characters, always terminated).
// Bytes after the text's zero are left as they were: devices ignore them.
void WriteChangeIpTarget(uint8_t (&cmd)[kChangeIpCommandSize], const uint8_t (&mac)[kMacSize],
                         const char* ipText);

struct DeviceReply {
    char ip[kIpTextSize] = {}; // bytes before the first ':' (empty if none), at most 15
    bool hasPort = false;      // false when the reply names no port
    int32_t port = 0;
    bool hasMac = false; // a reply without a whole MAC is not applied
    uint8_t mac[kMacSize] = {};
};

// Reads a reply by its markers ':', "HTTP" and "MAC" (case-sensitive, first occurrence, searched only
// in the text up to the first zero byte). Never reads beyond `length` or the first 512 bytes.
DeviceReply ParseDeviceReply(const uint8_t* data, size_t length);

} // namespace quillmast
