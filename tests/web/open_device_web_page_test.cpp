// The WEB action end to end inside this process: "arp" is the launch recorder in the stand-in system
// folder handed to the action, and the desktop's http handler is the launch recorder too, registered
// for the test's run.
#include "open_device_web_page.h"

#include <algorithm>
#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "device_rows.h"
#include "launch_records.h"

namespace {

constexpr wchar_t kHttpHandlerKey[] = L"http\\shell\\open\\command";

// Makes the launch recorder the desktop's http handler for the scope, then puts back what was there.
class HttpHandlerRegistration {
  public:
    explicit HttpHandlerRegistration(const std::string& logPath) {
        ::RegCreateKeyExW(HKEY_CLASSES_ROOT, kHttpHandlerKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key,
                          nullptr);
        wchar_t previous[1024] = {};
        DWORD size = sizeof(previous) - sizeof(wchar_t);
        if (::RegQueryValueExW(m_key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(previous), &size) ==
            ERROR_SUCCESS)
            m_previous = previous;
        std::string command =
            "\"" + test::ProgramFolder() + "qm_launch_recorder.exe\" --log \"" + logPath + "\" \"%1\"";
        std::wstring wide(command.begin(), command.end());
        ::RegSetValueExW(m_key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                         static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    }
    ~HttpHandlerRegistration() {
        if (m_previous)
            ::RegSetValueExW(m_key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(m_previous->c_str()),
                             static_cast<DWORD>((m_previous->size() + 1) * sizeof(wchar_t)));
        else
            ::RegDeleteValueW(m_key, nullptr);
        ::RegCloseKey(m_key);
    }
    HttpHandlerRegistration(const HttpHandlerRegistration&) = delete;
    HttpHandlerRegistration& operator=(const HttpHandlerRegistration&) = delete;

  private:
    HKEY m_key = nullptr;
    std::optional<std::wstring> m_previous;
};

class OpenDeviceWebPageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::SetEnvironmentVariableA("QM_RECORD_LOG", m_arpLog.Path().c_str());
        test::ResetDeviceState(m_devices);
    }
    void TearDown() override {
        if (m_listWnd)
            ::DestroyWindow(m_list.UnsubclassWindow());
        ::SetEnvironmentVariableA("QM_RECORD_LOG", nullptr);
    }

    // The list has `items` rows, which may be more than the table holds, like a mark left over.
    void MakeList(int items, int mark) {
        if (m_listWnd)
            ::DestroyWindow(m_list.UnsubclassWindow());
        m_listWnd = test::CreateDeviceListWindow(items, mark);
        m_list.SubclassWindow(m_listWnd);
    }
    void Click(int items, int mark) {
        MakeList(items, mark);
        OpenDeviceWebPage(m_devices, m_list, test::StandInSystemFolder());
    }

    // The URL each start of the handler was given: its last argument, without the quotes.
    std::vector<std::string> OpenedUrls(size_t atLeast) const {
        std::vector<std::string> urls;
        for (const auto& record : m_urlLog.WaitForRecords(atLeast)) {
            const std::string& line = record.commandLine;
            size_t open = line.rfind(" \"");
            urls.push_back(open == std::string::npos ? line : line.substr(open + 2, line.size() - open - 3));
        }
        return urls;
    }

    static constexpr uint8_t kMacA[quillmast::kMacSize] = {0x00, 0x1a, 0x2b, 0x3c, 0x00, 0x01};
    static constexpr uint8_t kMacB[quillmast::kMacSize] = {0x00, 0x1a, 0x2b, 0x3c, 0x00, 0x02};

    DiscoveryState m_devices;
    CListCtrl m_list;
    HWND m_listWnd = nullptr;
    test::LaunchLog m_arpLog{"web-arp"};
    test::LaunchLog m_urlLog{"web-url"};
    HttpHandlerRegistration m_handler{m_urlLog.Path()};
};

TEST_F(OpenDeviceWebPageTest, ClearsTheArpCacheThenOpensTheMarkedDevicesPage) {
    test::AddDeviceRow(m_devices, kMacA, "198.51.100.30", 80);
    test::AddDeviceRow(m_devices, kMacB, "203.0.113.7", -8080);
    Click(2, 1);
    Click(2, 0);

    auto arp = m_arpLog.WaitForRecords(2);
    ASSERT_EQ(arp.size(), 2u);
    for (const auto& record : arp) {
        EXPECT_EQ(record.commandLine, "arp -d");
        EXPECT_EQ(record.showWindow, static_cast<unsigned>(SW_HIDE));
    }
    auto urls = OpenedUrls(2);
    std::sort(urls.begin(), urls.end());
    EXPECT_EQ(urls, (std::vector<std::string>{"http://198.51.100.30:80/", "http://203.0.113.7:-8080/"}));
}

TEST_F(OpenDeviceWebPageTest, OpensTheAddressTheRowHoldsNow) {
    test::AddDeviceRow(m_devices, kMacA, "198.51.100.30", 8080);
    // As the receiver does when the device answers with the address it was given.
    {
        CriticalSectionLock lock(m_devices.m_csDevices);
        std::strcpy(m_devices.m_DeviceIp[0], "198.51.100.31");
    }
    Click(1, 0);
    EXPECT_EQ(OpenedUrls(1), (std::vector<std::string>{"http://198.51.100.31:8080/"}));
}

TEST_F(OpenDeviceWebPageTest, OpensNothingWithoutARowOrForTextThatIsNoAddress) {
    test::AddDeviceRow(m_devices, kMacA, "198.51.100.30/x", 80);
    test::AddDeviceRow(m_devices, kMacB, "198.51.100.31", 0);
    Click(2, 0);  // text that is no address
    Click(2, -1); // no mark
    Click(3, 2);  // a mark past the rows in use
    Click(2, 1);  // the one page to open

    // Every click clears the cache, opened page or not.
    EXPECT_EQ(m_arpLog.WaitForRecords(4).size(), 4u);
    EXPECT_EQ(OpenedUrls(1), (std::vector<std::string>{"http://198.51.100.31:0/"}));
    // Handlers start in no set order: give a wrongly opened page time to show up too.
    EXPECT_FALSE(test::WaitUntil([&] { return m_urlLog.Records().size() > 1; }, std::chrono::seconds(2)));
}

} // namespace
