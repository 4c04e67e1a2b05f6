#pragma once
// What the IP Config dialog and its worker need of the window that opens them, and nothing more:
// the selected device, the hand-off of the change-IP command, and language text. The main window
// implements it, so this folder never includes the application's.
#include <cstdint>
#include <string>

#include "device_table.h"
#include "wire_protocol.h"

class IpConfigHost {
  public:
    // The device list's selection mark, which is also the table row of the selected device.
    virtual int DeviceSelectionMark() const = 0;
    // Row `row` copied whole under the table's lock; false when the row is not in use.
    virtual bool CopyDeviceRow(int row, quillmast::DeviceRow& out) = 0;
    // The change-IP command: queued for the sender, watched for the receiver's confirmation, and
    // taken back (false when it was confirmed meanwhile).
    virtual void QueueChangeIp(const uint8_t (&mac)[quillmast::kMacSize], const char* address) = 0;
    virtual bool ChangeIpPending() const = 0;
    virtual bool WithdrawChangeIp() = 0;
    // The text of a language key, ready for the wide window functions.
    virtual std::wstring LangCaption(const char* key) const = 0;

  protected:
    ~IpConfigHost() = default;
};
