// The main window driven as a user would, with replies arriving on its receiving port.
#include <gtest/gtest.h>

#include <cstring>

#include "main_window_harness.h"
#include "resource.h"

using namespace std::chrono_literals;
using test::MainWindowRun;
using test::ReplySender;
using test::WaitUntil;

namespace {

std::wstring Text(HWND hWnd) {
    wchar_t buffer[128] = {};
    ::GetWindowTextW(hWnd, buffer, 128);
    return buffer;
}

bool Enabled(const MainWindowRun& run, int id) { return ::IsWindowEnabled(run.Item(id)) != FALSE; }

HANDLE Duplicate(HANDLE h) {
    HANDLE dup = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), h, ::GetCurrentProcess(), &dup, 0, FALSE, DUPLICATE_SAME_ACCESS);
    return dup;
}

// The receiver looks at the stop flag during its 500 ms start delay; these tests want it waiting
// for a datagram, as it is for the rest of the run.
void LetReceiverStartWaiting() { ::Sleep(800); }

DWORD ExitCode(HANDLE thread) {
    DWORD code = 0;
    ::GetExitCodeThread(thread, &code);
    return code;
}

} // namespace

TEST(MainWindow, StartsWithFocusOnExitAndConfigAndWebDisabled) {
    MainWindowRun run;
    ASSERT_NE(run.Window(), nullptr);
    EXPECT_EQ(run.FocusWindow(), run.Item(IDOK));
    EXPECT_FALSE(Enabled(run, IDC_CONFIG));
    EXPECT_FALSE(Enabled(run, IDC_WEB));
    EXPECT_TRUE(Enabled(run, IDC_REFRESH));
    EXPECT_EQ(Text(run.Item(IDOK)), L"Exit");
    EXPECT_EQ(Text(run.Item(IDC_REFRESH)), L"Refresh");
    EXPECT_EQ(Text(run.Item(IDC_CONFIG)), L"Config");
    EXPECT_EQ(Text(run.Item(IDC_WEB)), L"WEB");
    EXPECT_EQ(Text(run.Window()), L"Quillmast (V2.003)");

    HWND list = run.Item(IDC_DEVICE_LIST);
    EXPECT_TRUE(::SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);
    EXPECT_EQ(::SendMessageW(list, LVM_GETBKCOLOR, 0, 0), 0);
    EXPECT_EQ(::SendMessageW(list, LVM_GETTEXTBKCOLOR, 0, 0), 0);
    EXPECT_EQ(::SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0), 0xFFFFFF);
    const wchar_t* titles[] = {L"Item", L"IP Address", L"Serial Number (MAC)"};
    const int widths[] = {80, 180, 190};
    for (int col = 0; col < 3; ++col) {
        wchar_t title[64] = {};
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = title;
        column.cchTextMax = 64;
        ASSERT_TRUE(::SendMessageW(list, LVM_GETCOLUMNW, col, reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(title, titles[col]);
        EXPECT_EQ(column.cx, widths[col]);
    }
    // The command head is ready before any change is asked for.
    EXPECT_EQ(std::memcmp(run.Dialog().m_ChangeCmd, "PV_ChangeDeviceIp\0\x01", 19), 0);
    EXPECT_EQ(run.Dialog().m_bChangePending.load(), 0);
}

TEST(MainWindow, RepliesBecomeRowsAndANewAddressUpdatesItsRowInPlace) {
    MainWindowRun run;
    ReplySender send;
    send.Reply("198.51.100.30", 1);
    send.Reply("198.51.100.31", 2, 8080);
    send.Reply("198.51.100.30", 1); // the same again: nothing changes
    ASSERT_TRUE(WaitUntil([&] { return run.ListRowCount() == 2; }, 5s));
    EXPECT_EQ(run.ListText(0, 0), L"1");
    EXPECT_EQ(run.ListText(0, 1), L"198.51.100.30");
    EXPECT_EQ(run.ListText(0, 2), L"00-1a-2b-3c-00-01");
    EXPECT_EQ(run.ListText(1, 0), L"2");
    EXPECT_EQ(run.ListText(1, 2), L"00-1a-2b-3c-00-02");
    EXPECT_EQ(run.Dialog().m_DeviceHttpPort[1], 8080);

    send.Reply("203.0.113.9", 1, 9999);
    ASSERT_TRUE(WaitUntil([&] { return run.ListText(0, 1) == L"203.0.113.9"; }, 5s));
    EXPECT_EQ(run.ListText(0, 0), L"1");
    EXPECT_EQ(run.ListText(0, 2), L"00-1a-2b-3c-00-01");
    EXPECT_EQ(run.Dialog().m_DeviceHttpPort[0], 80);
    EXPECT_EQ(run.ListRowCount(), 2);

    // A reply without a port is stored with the HTTP default.
    send.Raw(std::string("198.51.100.40:MAC\x00\x1a\x2b\x3c\x00\x03", 23));
    ASSERT_TRUE(WaitUntil([&] { return run.ListRowCount() == 3; }, 5s));
    EXPECT_EQ(run.Dialog().m_DeviceHttpPort[2], 80);
}

TEST(MainWindow, ClickEnablesConfigAndWebAndRefreshEmptiesAndDisables) {
    MainWindowRun run;
    ReplySender send;
    // A click on empty space before any row is marked leaves them disabled.
    run.ClickBelowRows();
    send.Reply("198.51.100.30", 1);
    send.Reply("198.51.100.31", 2);
    ASSERT_TRUE(WaitUntil([&] { return run.ListRowCount() == 2; }, 5s));
    EXPECT_FALSE(Enabled(run, IDC_CONFIG));

    run.ClickRow(1);
    ASSERT_TRUE(WaitUntil([&] { return Enabled(run, IDC_CONFIG) && Enabled(run, IDC_WEB); }, 5s));

    // Sent, so that the whole click has been handled when it returns: a wait for Config alone could
    // read WEB between the two buttons being disabled.
    run.PressButtonAndWait(IDC_REFRESH);
    EXPECT_FALSE(Enabled(run, IDC_CONFIG));
    EXPECT_FALSE(Enabled(run, IDC_WEB));
    EXPECT_EQ(run.ListRowCount(), 0);
    EXPECT_EQ(run.TableRowCount(), 0);

    // The list fills again from row 1, in the order of the replies; the buttons stay disabled.
    send.Reply("198.51.100.31", 2, 8081);
    send.Reply("198.51.100.30", 1, 8080);
    ASSERT_TRUE(WaitUntil([&] { return run.ListRowCount() == 2; }, 5s));
    EXPECT_EQ(run.ListText(0, 0), L"1");
    EXPECT_EQ(run.ListText(0, 2), L"00-1a-2b-3c-00-02");
    EXPECT_EQ(run.Dialog().m_DeviceHttpPort[0], 8081);
    EXPECT_EQ(run.Dialog().m_DeviceHttpPort[1], 8080);
    EXPECT_FALSE(Enabled(run, IDC_CONFIG));
}

TEST(MainWindow, ExitWithoutRepliesTerminatesTheReceiverAfterNineSeconds) {
    MainWindowRun run;
    HANDLE recv = Duplicate(run.Dialog().m_hRecvThread);
    HANDLE send = Duplicate(run.Dialog().m_hSendThread);
    LetReceiverStartWaiting();
    auto start = test::Clock::now();
    run.PressButton(IDOK);
    ASSERT_TRUE(run.WaitEnded(20s));
    auto took = test::Clock::now() - start;
    EXPECT_EQ(run.Result(), IDOK);
    EXPECT_GT(took, 8500ms);
    EXPECT_LT(took, 11s);
    EXPECT_EQ(ExitCode(recv), 9000u);
    EXPECT_EQ(ExitCode(send), 1u); // ended by itself
    ::CloseHandle(recv);
    ::CloseHandle(send);
}

TEST(MainWindow, ExitEndsSoonerWhenAReplyArrives) {
    MainWindowRun run;
    ReplySender sender;
    HANDLE recv = Duplicate(run.Dialog().m_hRecvThread);
    LetReceiverStartWaiting();
    run.PressButton(IDOK);
    ASSERT_TRUE(WaitUntil([&] { return run.Dialog().m_bQuit.load() == 1; }, 5s));
    ::Sleep(300);
    auto start = test::Clock::now();
    sender.Reply("198.51.100.30", 1);
    ASSERT_TRUE(run.WaitEnded(15s));
    EXPECT_LT(test::Clock::now() - start, 2s);
    EXPECT_EQ(run.Result(), IDOK);
    EXPECT_EQ(ExitCode(recv), 1u);
    ::CloseHandle(recv);
}

TEST(MainWindow, EscapeClosesAtOnceWhileRepliesArriveAndNothingRunsOn) {
    MainWindowRun run;
    HANDLE recv = Duplicate(run.Dialog().m_hRecvThread);
    HANDLE send = Duplicate(run.Dialog().m_hSendThread);
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        ReplySender sender;
        for (int i = 0; flooding; ++i) {
            sender.Reply("198.51.100." + std::to_string(i % 200), i % 300);
            ::Sleep(5);
        }
    });
    ASSERT_TRUE(WaitUntil([&] { return run.ListRowCount() > 3; }, 5s));
    auto start = test::Clock::now();
    run.PressEscape();
    ASSERT_TRUE(run.WaitEnded(2s));
    EXPECT_LT(test::Clock::now() - start, 1s);
    EXPECT_EQ(run.Result(), IDCANCEL);
    run.Join(); // the dialog object is gone now
    // Neither thread outlives the object they were given.
    EXPECT_EQ(::WaitForSingleObject(recv, 0), WAIT_OBJECT_0);
    EXPECT_EQ(::WaitForSingleObject(send, 0), WAIT_OBJECT_0);
    flooding = false;
    flood.join();
    ::CloseHandle(recv);
    ::CloseHandle(send);
}

TEST(MainWindow, AfterManyRefreshesWhileDevicesAnswerTheListEqualsTheTable) {
    MainWindowRun run;
    std::atomic<bool> answering{true};
    std::thread devices([&] {
        ReplySender sender;
        for (int round = 0; answering; ++round) {
            for (int id = 0; id < 40; ++id)
                sender.Reply("198.51.100." + std::to_string(id + 1 + round % 2 * 100), id);
            ::Sleep(20);
        }
    });
    for (int i = 0; i < 30; ++i) {
        // Handled before the devices stop: a posted click could still be queued then, on a busy
        // machine, and empty a table that no reply would fill again.
        run.PressButtonAndWait(IDC_REFRESH);
        ::Sleep(15 + i % 4 * 10);
    }
    // The last Refresh is followed by replies before the devices stop.
    ASSERT_TRUE(WaitUntil([&] { return run.TableRowCount() > 0; }, 5s));
    answering = false;
    devices.join();
    // Once the last replies are in, every row of the list shows its table row, in order.
    auto same = [&] {
        CMainDlg& dlg = run.Dialog();
        int rows = run.TableRowCount();
        if (run.ListRowCount() != rows || rows == 0)
            return false;
        for (int row = 0; row < rows; ++row) {
            quillmast::DeviceRow device;
            if (!dlg.CopyDeviceRow(row, device))
                return false;
            char mac[18];
            quillmast::FormatMac(device.mac, mac);
            std::wstring ip(device.ip, device.ip + std::strlen(device.ip));
            if (run.ListText(row, 0) != std::to_wstring(row + 1) || run.ListText(row, 1) != ip ||
                run.ListText(row, 2) != std::wstring(mac, mac + 17))
                return false;
        }
        return true;
    };
    EXPECT_TRUE(WaitUntil(same, 5s));
}

TEST(MainWindow, EscapeDuringTheReceiversLongWaitClosesAtOnceAndNothingRunsOn) {
    MainWindowRun run;
    HANDLE recv = Duplicate(run.Dialog().m_hRecvThread);
    HANDLE send = Duplicate(run.Dialog().m_hSendThread);
    LetReceiverStartWaiting(); // nothing answers: the receiver sits in its 10 s wait
    auto start = test::Clock::now();
    run.PressEscape();
    ASSERT_TRUE(run.WaitEnded(2s));
    EXPECT_LT(test::Clock::now() - start, 1s);
    EXPECT_EQ(run.Result(), IDCANCEL);
    run.Join();
    EXPECT_EQ(::WaitForSingleObject(recv, 0), WAIT_OBJECT_0);
    EXPECT_EQ(::WaitForSingleObject(send, 0), WAIT_OBJECT_0);
    EXPECT_NE(ExitCode(recv), 9000u); // it saw the flag; it was not terminated
    ::CloseHandle(recv);
    ::CloseHandle(send);
}
