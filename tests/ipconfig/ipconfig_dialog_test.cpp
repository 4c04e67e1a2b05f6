// The IP Config dialog and its change-IP worker in-process. The reply receiver is played by the test:
// it clears the pending flag as a confirmation would, or leaves it set to let the change time out.
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "device_rows.h"
#include "expected_lang_values.h"
#include "ipconfig_dialog_run.h"
#include "set_ip_thread.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using quillmast::AddressFields;

constexpr uint8_t kMac[quillmast::kMacSize] = {0x00, 0xac, 0x0a, 0xff, 0x10, 0x9b};
constexpr uint8_t kOtherMac[quillmast::kMacSize] = {0x00, 0x1a, 0x2b, 0x3c, 0x00, 0x01};

std::wstring FromUtf8(const char* text) {
    wchar_t wide[128] = {};
    ::MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, 128);
    return wide;
}

std::wstring ExpectedCaption(const char* key, size_t language) {
    for (const auto& caption : kExpectedCaptions)
        if (std::strcmp(caption.key, key) == 0)
            return FromUtf8(caption.values[language]);
    return L"?";
}

class IpConfigDialogTest : public ::testing::Test {
  protected:
    void SetUp() override { test::ResetDeviceState(m_owner); }
    void TearDown() override { m_run.reset(); }

    // Opens the dialog over a list of `listItems` rows with the mark at `mark`.
    test::IpConfigRun& Open(int listItems, int mark) {
        m_run.emplace(m_owner, listItems, mark);
        return *m_run;
    }
    // One device at 198.51.100.10, selected, and the dialog open on it.
    test::IpConfigRun& OpenOnOneDevice() {
        test::AddDeviceRow(m_owner, kMac, "198.51.100.10");
        test::IpConfigRun& run = Open(1, 0);
        EXPECT_NE(run.Window(), nullptr);
        return run;
    }

    bool ChangePending() const { return m_owner.m_bChangePending.load(std::memory_order_acquire) != 0; }
    bool WaitForPending(std::chrono::milliseconds timeout = 2s) const {
        return test::WaitUntil([this] { return ChangePending(); }, timeout);
    }
    // The MAC and address fields of the command, untouched while still all zero.
    bool CommandTargetUntouched() const {
        for (size_t i = quillmast::kChangeCmdMacOffset; i < quillmast::kChangeIpCommandSize; ++i)
            if (m_owner.m_ChangeCmd[i] != 0)
                return false;
        return true;
    }

    CMainDlg m_owner;
    std::optional<test::IpConfigRun> m_run;
};

TEST_F(IpConfigDialogTest, ShowsTheMarkedRowsMacAndAddressWithTranslatedCaptions) {
    test::AddDeviceRow(m_owner, kOtherMac, "203.0.113.99");
    test::AddDeviceRow(m_owner, kMac, "198.51.100.10");
    auto& run = Open(2, 1);
    ASSERT_NE(run.Window(), nullptr);

    EXPECT_EQ(run.Text(IDC_MAC_VALUE), L"00-ac-0a-ff-10-9b");
    int filled = 0;
    EXPECT_EQ(run.Address(&filled), (AddressFields{198, 51, 100, 10}));
    EXPECT_EQ(filled, 4);
    EXPECT_EQ(run.Text(IDC_MAC_LABEL), ExpectedCaption("ID_MAC_STR", 0));
    EXPECT_EQ(run.Text(IDOK), ExpectedCaption("ID_OK_STR", 0));
    EXPECT_EQ(run.Text(IDCANCEL), ExpectedCaption("ID_CANCEL_STR", 0));
    wchar_t caption[64] = {};
    ::GetWindowTextW(run.Window(), caption, 64);
    EXPECT_STREQ(caption, L"IP Config");
    EXPECT_TRUE(::IsWindowEnabled(run.Item(IDOK)));
    EXPECT_TRUE(::IsWindowEnabled(run.Item(IDCANCEL)));
    // The busy row is set up with no block lit and no animation yet.
    EXPECT_EQ(run.Dialog().m_busy.m_nPos.load(), -1);
    EXPECT_EQ(run.Dialog().m_busy.m_nBlocks.load(), 10);
    EXPECT_FALSE(run.Dialog().m_busy.m_bRunning.load());
}

TEST_F(IpConfigDialogTest, CaptionsComeInTheCodePageOfTheLanguage) {
    m_owner.m_nCountry = 81;
    auto& run = OpenOnOneDevice();
    EXPECT_EQ(run.Text(IDC_MAC_LABEL), ExpectedCaption("ID_MAC_STR", 3));
    EXPECT_EQ(run.Text(IDCANCEL), ExpectedCaption("ID_CANCEL_STR", 3));
}

// The control ignores a value outside a field's range, which shows the ranges that were set.
TEST_F(IpConfigDialogTest, FirstFieldTakesOnly1To223AndTheOthers0To255) {
    auto& run = OpenOnOneDevice();
    run.SetAddress(224, 0, 255, 7);
    EXPECT_EQ(run.Address(), (AddressFields{198, 0, 255, 7}));
    run.SetAddress(0, 1, 2, 3);
    EXPECT_EQ(run.Address(), (AddressFields{198, 1, 2, 3}));
    run.SetAddress(223, 4, 5, 6);
    EXPECT_EQ(run.Address(), (AddressFields{223, 4, 5, 6}));
    run.SetAddress(1, 4, 5, 6);
    EXPECT_EQ(run.Address(), (AddressFields{1, 4, 5, 6}));
}

TEST_F(IpConfigDialogTest, RowTextIsSplitIntoLowBytesWithMissingFieldsZero) {
    struct Case {
        const char* text;
        AddressFields fields;
        int filled;
    };
    // "" gives 0 for field 0, which its range refuses: that field stays blank.
    for (const Case& c : {Case{"198.51.300.4", {198, 51, 44, 4}, 4}, Case{"198.51", {198, 51, 0, 0}, 4},
                          Case{"", {0, 0, 0, 0}, 3}}) {
        SCOPED_TRACE(c.text);
        m_owner.ResetDevices();
        test::AddDeviceRow(m_owner, kMac, c.text);
        auto& run = Open(1, 0);
        ASSERT_NE(run.Window(), nullptr);
        int filled = 0;
        EXPECT_EQ(run.Address(&filled), c.fields);
        EXPECT_EQ(filled, c.filled);
        run.Press(IDCANCEL);
        EXPECT_TRUE(run.WaitEnded(2s));
        m_run.reset();
    }
}

TEST_F(IpConfigDialogTest, NoRowOrAStaleMarkEndsTheDialogAtOnce) {
    test::AddDeviceRow(m_owner, kMac, "198.51.100.10");
    test::AddDeviceRow(m_owner, kOtherMac, "198.51.100.11");
    for (int mark : {-1, 2}) {
        SCOPED_TRACE(mark);
        auto& run = Open(3, mark);
        EXPECT_TRUE(run.WaitEnded(2s));
        EXPECT_EQ(run.Result(), IDCANCEL);
        EXPECT_FALSE(run.WorkerStarted());
        m_run.reset();
    }
    EXPECT_FALSE(ChangePending());
    EXPECT_TRUE(CommandTargetUntouched());
}

TEST_F(IpConfigDialogTest, CancelClosesWithoutAWorkerOrACommand) {
    auto& run = OpenOnOneDevice();
    run.SetAddress(198, 51, 100, 77);
    run.Press(IDCANCEL);
    ASSERT_TRUE(run.WaitEnded(2s));
    EXPECT_EQ(run.Result(), IDCANCEL);
    EXPECT_FALSE(run.WorkerStarted());
    EXPECT_FALSE(run.AnimationRanAtEnd());
    EXPECT_FALSE(ChangePending());
    EXPECT_TRUE(CommandTargetUntouched());
}

TEST_F(IpConfigDialogTest, OkWithTheAddressUnchangedSendsNothingAndClosesAtOnce) {
    auto& run = OpenOnOneDevice();
    auto pressed = Clock::now();
    run.Press(IDOK);
    ASSERT_TRUE(run.WaitEnded(2s));
    // At once, not after a wait for a confirmation.
    EXPECT_LT(Clock::now() - pressed, 1s);
    EXPECT_EQ(run.Result(), IDCANCEL);
    EXPECT_TRUE(run.WorkerStarted());
    EXPECT_FALSE(run.AnimationRanAtEnd());
    EXPECT_FALSE(ChangePending());
    EXPECT_TRUE(CommandTargetUntouched());
    EXPECT_EQ(test::FindOwnDialog(L"Error"), nullptr);
}

// A blank field would go out as 0. OK then leaves everything as it is but the focus, which goes to the
// first blank field; once the field is filled, OK sends the full address.
TEST_F(IpConfigDialogTest, OkWithABlankFieldSendsNothingAndFocusesTheFirstBlankField) {
    struct Case {
        const char* name;
        std::vector<int> cleared;
        int focused;
    };
    for (const Case& c :
         {Case{"one field", {2}, 2}, Case{"two fields", {3, 1}, 1}, Case{"every field", {0, 1, 2, 3}, 0}}) {
        SCOPED_TRACE(c.name);
        m_owner.ResetDevices();
        auto& run = OpenOnOneDevice();
        ASSERT_NE(run.Window(), nullptr);
        const auto fields = run.FieldWindows();
        for (int field : c.cleared)
            test::IpConfigRun::ClearField(fields[field]);
        int filled = 0;
        run.Address(&filled);
        ASSERT_EQ(filled, 4 - static_cast<int>(c.cleared.size()));
        ASSERT_NE(run.Focus(), fields[c.focused]);

        run.Press(IDOK);
        EXPECT_TRUE(test::WaitUntil([&] { return run.Focus() == fields[c.focused]; }, 2s));
        EXPECT_FALSE(test::WaitUntil([&] { return run.Ended() || ChangePending(); }, 700ms));
        // The dialog object is gone once it has ended.
        ASSERT_FALSE(run.Ended());
        EXPECT_TRUE(::IsWindowEnabled(run.Item(IDOK)));
        EXPECT_TRUE(::IsWindowEnabled(run.Item(IDCANCEL)));
        EXPECT_FALSE(run.Dialog().m_busy.m_bRunning.load());
        EXPECT_TRUE(CommandTargetUntouched());
        EXPECT_EQ(test::FindOwnDialog(L"Error"), nullptr);

        run.SetAddress(198, 51, 100, 77);
        run.Press(IDOK);
        ASSERT_TRUE(WaitForPending());
        EXPECT_STREQ(reinterpret_cast<const char*>(m_owner.m_ChangeCmd + quillmast::kChangeCmdIpOffset),
                     "198.51.100.77");
        m_owner.m_bChangePending.store(0, std::memory_order_release);
        ASSERT_TRUE(run.WaitEnded(2s));
        EXPECT_TRUE(run.WorkerStarted());
        m_run.reset();
        std::memset(m_owner.m_ChangeCmd + quillmast::kChangeCmdMacOffset, 0,
                    quillmast::kChangeIpCommandSize - quillmast::kChangeCmdMacOffset);
    }
}

// OK starts the worker only with every field filled; a field cleared before the worker reads the
// address still sends nothing (the worker then ends the dialog as for an unchanged address).
TEST_F(IpConfigDialogTest, AWorkerThatFindsABlankFieldSendsNothing) {
    auto& run = OpenOnOneDevice();
    ASSERT_NE(run.Window(), nullptr);
    test::IpConfigRun::ClearField(run.FieldWindows()[3]);
    HANDLE worker =
        ::CreateThread(nullptr, 0, SetIpThread, const_cast<CIpConfigDlg*>(&run.Dialog()), 0, nullptr);
    ASSERT_NE(worker, nullptr);
    EXPECT_EQ(::WaitForSingleObject(worker, 5000), WAIT_OBJECT_0);
    ::CloseHandle(worker);
    EXPECT_FALSE(ChangePending());
    EXPECT_TRUE(CommandTargetUntouched());
    EXPECT_EQ(test::FindOwnDialog(L"Error"), nullptr);
}

TEST_F(IpConfigDialogTest, AChangeIsQueuedAndAConfirmationClosesTheDialogAtTheNextPoll) {
    auto& run = OpenOnOneDevice();
    run.SetAddress(198, 51, 100, 77);
    // Sent: the buttons are read below once the whole click has been handled, not when the worker
    // it starts has raised its flag.
    run.PressAndWait(IDOK);

    ASSERT_TRUE(WaitForPending());
    // Seen with acquire right after the flag: the command was complete before it was raised.
    uint8_t command[quillmast::kChangeIpCommandSize];
    std::memcpy(command, m_owner.m_ChangeCmd, sizeof(command));
    EXPECT_STREQ(reinterpret_cast<const char*>(command), "PV_ChangeDeviceIp");
    EXPECT_EQ(command[quillmast::kChangeCmdFlagOffset], 1);
    EXPECT_EQ(std::memcmp(command + quillmast::kChangeCmdMacOffset, kMac, sizeof(kMac)), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(command + quillmast::kChangeCmdIpOffset), "198.51.100.77");

    EXPECT_FALSE(::IsWindowEnabled(run.Item(IDOK)));
    EXPECT_FALSE(::IsWindowEnabled(run.Item(IDCANCEL)));
    EXPECT_TRUE(run.Dialog().m_busy.m_bRunning.load());

    // The device answers a moment later; the dialog waits for it.
    ::Sleep(300);
    EXPECT_FALSE(run.Ended());
    m_owner.m_bChangePending.store(0, std::memory_order_release);
    auto confirmed = Clock::now();
    ASSERT_TRUE(run.WaitEnded(2s));
    EXPECT_LT(Clock::now() - confirmed, 400ms);
    EXPECT_EQ(run.Result(), IDCANCEL);
    EXPECT_FALSE(run.AnimationRanAtEnd());
    EXPECT_EQ(test::FindOwnDialog(L"Error"), nullptr);
}

TEST_F(IpConfigDialogTest, EscapeWhileTheWorkerWaitsDoesNotEndTheDialog) {
    auto& run = OpenOnOneDevice();
    run.SetAddress(203, 0, 113, 5);
    run.Press(IDOK);
    ASSERT_TRUE(WaitForPending());

    run.PressEscape();
    run.Press(IDCANCEL);
    run.Press(IDOK);
    EXPECT_FALSE(test::WaitUntil([&] { return run.Ended(); }, 700ms));
    EXPECT_TRUE(ChangePending());

    m_owner.m_bChangePending.store(0, std::memory_order_release);
    ASSERT_TRUE(run.WaitEnded(2s));
    EXPECT_EQ(run.Result(), IDCANCEL);
}

TEST_F(IpConfigDialogTest, WithoutConfirmationTheFlagIsClearedBeforeTheFailureIsShown) {
    auto& run = OpenOnOneDevice();
    run.SetAddress(198, 51, 100, 78);
    run.Press(IDOK);
    ASSERT_TRUE(WaitForPending());
    auto raised = Clock::now();

    HWND box = nullptr;
    ASSERT_TRUE(test::WaitUntil([&] { return (box = test::FindOwnDialog(L"Error")) != nullptr; }, 20s));
    // Read at once: the sender must already be back to search requests.
    EXPECT_FALSE(ChangePending());
    auto waited = Clock::now() - raised;
    EXPECT_GE(waited, 14900ms);
    EXPECT_LT(waited, 17s);

    wchar_t text[64] = {};
    ::GetDlgItemTextW(box, 0xFFFF, text, 64);
    EXPECT_STREQ(text, L"Set IP fail!");
    EXPECT_EQ(::GetWindow(box, GW_OWNER), nullptr);
    // Still applying, and animating, while the box is up.
    EXPECT_FALSE(run.Ended());
    EXPECT_TRUE(run.Dialog().m_busy.m_bRunning.load());

    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(run.WaitEnded(3s));
    EXPECT_EQ(run.Result(), IDCANCEL);
    EXPECT_STREQ(m_owner.m_DeviceIp[0], "198.51.100.10");
}

} // namespace

TEST_F(IpConfigDialogTest, ADoneMessageFromOutsideWhileTheWorkerRunsChangesNothing) {
    auto& run = OpenOnOneDevice();
    run.SetAddress(198, 51, 100, 77);
    run.Press(IDOK);
    ASSERT_TRUE(WaitForPending());
    // Any process may post to a window: only the dialog's own worker, once ended, ends the wait.
    ::PostMessageW(run.Window(), WM_SETIP_DONE, 0, 0);
    EXPECT_FALSE(run.WaitEnded(1s));
    EXPECT_TRUE(ChangePending());
    m_owner.m_bChangePending.store(0, std::memory_order_release);
    EXPECT_TRUE(run.WaitEnded(3s));
}

TEST_F(IpConfigDialogTest, ADoneMessageThatNeverArrivesStillEndsTheWait) {
    auto& run = OpenOnOneDevice();
    // As if the worker's post were lost: the hand-off already counts a message as queued (this one goes
    // to the test's own thread), so the worker posts nothing.
    const_cast<CIpConfigDlg&>(run.Dialog()).m_setIpDone.Post(nullptr, WM_NULL);
    run.SetAddress(198, 51, 100, 77);
    run.Press(IDOK);
    ASSERT_TRUE(WaitForPending());
    m_owner.m_bChangePending.store(0, std::memory_order_release);
    EXPECT_TRUE(run.WaitEnded(3s));
}

TEST_F(IpConfigDialogTest, DoneMessagesFromOutsideDoNotHoldUpTheWindow) {
    auto& run = OpenOnOneDevice();
    run.SetAddress(198, 51, 100, 77);
    run.Press(IDOK);
    ASSERT_TRUE(WaitForPending());
    // Messages of the worker's number from elsewhere, then one to the address control behind them:
    // it is handled only once the window has gone through all of them.
    for (int i = 0; i < 10; ++i)
        ::PostMessageW(run.Window(), WM_SETIP_DONE, 0, 0);
    const auto posted = Clock::now();
    ::PostMessageW(run.Item(IDC_IPADDRESS), IPM_SETADDRESS, 0, MAKEIPADDRESS(198, 51, 100, 99));
    ASSERT_TRUE(test::WaitUntil([&] { return run.Address()[3] == 99; }, 10s));
    EXPECT_LT(Clock::now() - posted, 500ms);
    EXPECT_FALSE(run.Ended());
    m_owner.m_bChangePending.store(0, std::memory_order_release);
    EXPECT_TRUE(run.WaitEnded(3s));
}

TEST_F(IpConfigDialogTest, AWorkerThatCannotStartIsAChangeThatFailed) {
    auto& run = OpenOnOneDevice();
    const_cast<CIpConfigDlg&>(run.Dialog()).m_startWorker = [](LPTHREAD_START_ROUTINE, LPVOID,
                                                               DWORD*) -> HANDLE {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    };
    run.SetAddress(198, 51, 100, 77);
    run.Press(IDOK);
    HWND box = nullptr;
    ASSERT_TRUE(test::WaitUntil([&] { return (box = test::FindOwnDialog(L"Error")) != nullptr; }, 10s));
    wchar_t text[64] = {};
    ::GetDlgItemTextW(box, 0xFFFF, text, 64);
    EXPECT_STREQ(text, L"Set IP fail!");
    EXPECT_FALSE(run.Ended());
    // Nothing was asked of the sender, and the list's device keeps its address.
    EXPECT_FALSE(ChangePending());
    EXPECT_TRUE(CommandTargetUntouched());
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(run.WaitEnded(3s));
    EXPECT_EQ(run.Result(), IDCANCEL);
    EXPECT_STREQ(m_owner.m_DeviceIp[0], "198.51.100.10");
}
