#include "set_ip_thread.h"

#include <cstring>

#include "address_fields.h"
#include "ipconfig_dlg.h"

namespace {

constexpr int kConfirmationPolls = 150;
constexpr DWORD kPollIntervalMs = 100;

// True when the receiver confirmed the change, seen after one of the polls (never before the first sleep).
bool WaitForConfirmation(const IpConfigHost& host) {
    for (int poll = 0; poll < kConfirmationPolls; ++poll) {
        ::Sleep(kPollIntervalMs);
        if (!host.ChangeIpPending())
            return true;
    }
    return false;
}

// Queues the change and waits for it. False when no device confirmed it within 15 s; the command is
// then withdrawn, so the sender is back to search requests before the user is told.
bool SendChange(IpConfigHost& host, const uint8_t (&mac)[quillmast::kMacSize], const char* address) {
    host.QueueChangeIp(mac, address);
    return WaitForConfirmation(host) || !host.WithdrawChangeIp();
}

} // namespace

DWORD WINAPI SetIpThread(LPVOID param) {
    auto* dlg = static_cast<CIpConfigDlg*>(param);
    quillmast::AddressFields fields{};
    // A cross-thread message, answered by the dialog's modal loop. OK starts this worker only with
    // every field filled; a field cleared since then still sends nothing rather than a 0 in its place.
    const bool complete = dlg->m_ipAddr.GetAddress(fields[0], fields[1], fields[2], fields[3]) == 4;
    char address[quillmast::kAddressTextCapacity];
    quillmast::FormatAddressFields(fields, address);

    uint8_t mac[quillmast::kMacSize];
    char current[quillmast::kIpTextSize];
    // An unchanged address is not sent: a command repeating the stored text would never be confirmed.
    if (complete && dlg->CopySelectedRow(mac, current) && std::strcmp(address, current) != 0 &&
        !SendChange(*dlg->m_pMainDlg, mac, address))
        ::MessageBoxW(nullptr, L"Set IP fail!", L"Error", MB_ICONERROR);

    // The last use of the dialog: it may be gone as soon as this is posted. A post that fails is
    // covered by the dialog's own check for this thread's end.
    dlg->m_setIpDone.Post(dlg->m_hWnd, WM_SETIP_DONE, ::GetCurrentThreadId());
    return 1;
}
