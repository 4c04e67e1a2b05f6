// The main window with a full list: hundreds of devices answering at once, as on a large site.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "main_window_harness.h"
#include "resource.h"

using namespace std::chrono_literals;
using test::MainWindowRun;
using test::ReplySender;
using test::WaitUntil;

namespace {

std::string DeviceIp(int id) { return "198.51.100." + std::to_string(id % 250 + 1); }

// Answers as `devices` devices would to one search, then gives the window a moment, until `done`
// holds or `timeout` passes. Repeating the round, as devices answer every search, makes up for
// replies a full socket queue dropped.
template <typename Done>
bool AnswerUntil(const ReplySender& send, int devices, Done done, std::chrono::milliseconds timeout) {
    auto deadline = test::Clock::now() + timeout;
    while (test::Clock::now() < deadline) {
        for (int id = 0; id < devices; ++id)
            send.Reply(DeviceIp(id), id);
        if (WaitUntil(done, 150ms))
            return true;
    }
    return done();
}

// Fills the list to 256 rows from 300 answering devices.
void FillList(MainWindowRun& run, const ReplySender& send) {
    ASSERT_TRUE(AnswerUntil(
        send, 300, [&] { return run.ListRowCount() == 256; }, 20s));
}

} // namespace

TEST(MainWindowManyDevices, ThreeHundredDevicesFillExactly256RowsQuickly) {
    MainWindowRun run;
    ReplySender send;
    // One datagram per pause would need about 13 s for 256 rows; taking every queued datagram in
    // each turn lists them within a few rounds of answers.
    auto start = test::Clock::now();
    ASSERT_TRUE(AnswerUntil(
        send, 300, [&] { return run.ListRowCount() == 256; }, 4s))
        << "rows after 4 s: " << run.ListRowCount();
    EXPECT_LT(test::Clock::now() - start, 4s);
    // Further answers add nothing: the 257th device is refused, and the rows stay as they were.
    AnswerUntil(
        send, 300, [] { return false; }, 500ms);
    EXPECT_EQ(run.TableRowCount(), 256);
    ASSERT_EQ(run.ListRowCount(), 256);
    std::set<std::wstring> macs;
    for (int row = 0; row < 256; ++row) {
        EXPECT_EQ(run.ListText(row, 0), std::to_wstring(row + 1));
        macs.insert(run.ListText(row, 2));
    }
    EXPECT_EQ(macs.size(), 256u);
}

TEST(MainWindowManyDevices, FullListStillShowsANewAddressAndConfirmsAChange) {
    MainWindowRun run;
    ReplySender send;
    FillList(run, send);
    CMainDlg& dlg = run.Dialog();

    // A listed device that takes another address by itself: its row follows.
    const int row = 199;
    uint8_t mac[6];
    std::memcpy(mac, dlg.m_DeviceMac[row], 6);
    const int id = mac[4] << 8 | mac[5];
    send.Reply("203.0.113.200", id);
    ASSERT_TRUE(WaitUntil([&] { return run.ListText(row, 1) == L"203.0.113.200"; }, 3s));
    EXPECT_EQ(run.ListText(row, 0), L"200");

    // A change pending for row 2's device: its answer with a new address confirms it.
    uint8_t target[6];
    std::memcpy(target, dlg.m_DeviceMac[1], 6);
    quillmast::WriteChangeIpTarget(dlg.m_ChangeCmd, target, "203.0.113.2");
    dlg.m_bChangePending.store(1, std::memory_order_release);
    send.Reply("203.0.113.2", target[4] << 8 | target[5]);
    EXPECT_TRUE(WaitUntil([&] { return dlg.m_bChangePending.load() == 0; }, 3s));
    EXPECT_TRUE(WaitUntil([&] { return run.ListText(1, 1) == L"203.0.113.2"; }, 3s));
    EXPECT_EQ(run.ListRowCount(), 256);
}

TEST(MainWindowManyDevices, WindowAnswersWhileAFullListArrives) {
    MainWindowRun run;
    ReplySender send;
    for (int id = 0; id < 256; ++id)
        send.Reply(DeviceIp(id), id);
    // While rows pour in, the window's thread must keep answering: a round trip to it stays short.
    auto worst = 0ms;
    auto deadline = test::Clock::now() + 3s;
    while (run.ListRowCount() < 256 && test::Clock::now() < deadline) {
        auto start = test::Clock::now();
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(run.Window(), WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result);
        worst = std::max(worst,
                         std::chrono::duration_cast<std::chrono::milliseconds>(test::Clock::now() - start));
        for (int id = 0; id < 256; id += 7)
            send.Reply(DeviceIp(id), id);
    }
    EXPECT_LT(worst, 1000ms);
}
