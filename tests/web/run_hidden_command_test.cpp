// The launcher is given a stand-in system folder that holds the launch recorder as arp.exe. Nothing
// named arp.exe lies beside this program; one is placed in a fresh current folder to show that it is
// never the one started.
#include "run_hidden_command.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include "child_startup.h"
#include "launch_records.h"
#include "wait_until.h"

namespace {

using namespace std::chrono_literals;

// The current folder for the scope, as a user's downloads folder would be.
class CurrentFolder {
  public:
    explicit CurrentFolder(const std::string& path) {
        ::GetCurrentDirectoryA(sizeof(m_previous), m_previous);
        ::SetCurrentDirectoryA(path.c_str());
    }
    ~CurrentFolder() { ::SetCurrentDirectoryA(m_previous); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

  private:
    char m_previous[MAX_PATH] = {};
};

class RunHiddenCommandTest : public ::testing::Test {
  protected:
    void SetUp() override { ::SetEnvironmentVariableA("QM_RECORD_LOG", m_log.Path().c_str()); }
    void TearDown() override { ::SetEnvironmentVariableA("QM_RECORD_LOG", nullptr); }

    static int RunFromStandIn(char* command, void* output = nullptr) {
        return RunHiddenCommandFrom(test::StandInSystemFolder(), command, output);
    }

    // Wine's GetProcessHandleCount always says 0, so the open handles are counted one by one. Handle
    // values are multiples of 4, reused lowest first, so a small range holds them all.
    static int HandleCount() {
        int count = 0;
        for (ULONG_PTR value = 4; value < 0x4000; value += 4) {
            DWORD flags = 0;
            if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
                ++count;
        }
        return count;
    }

    // A start that wrongly happened shows up within this time.
    bool NothingRecorded() const {
        return !test::WaitUntil([this] { return !m_log.Records().empty(); }, 1500ms);
    }

    test::LaunchLog m_log{"arp"};
};

TEST_F(RunHiddenCommandTest, StartsTheFoldersProgramHiddenWithItsOutputOnAPipe) {
    char command[] = "arp -d";
    EXPECT_EQ(RunFromStandIn(command), 1);

    auto records = m_log.WaitForRecords(1);
    ASSERT_EQ(records.size(), 1u);
    // The folder's program, with the command line passed on as it is.
    EXPECT_EQ(records[0].program, test::StandInSystemFolder() + "\\arp.exe");
    EXPECT_EQ(records[0].commandLine, "arp -d");
    EXPECT_EQ(records[0].startupFlags,
              static_cast<unsigned long>(STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES));
    EXPECT_EQ(records[0].showWindow, static_cast<unsigned>(SW_HIDE));
    EXPECT_TRUE(records[0].stdoutIsPipe);
    EXPECT_TRUE(records[0].stderrIsPipe);
}

// SW_HIDE is not enough where Windows Terminal hosts console programs: the child must get no console
// window at all. The handle list (and with it the extended start-up block) is kept beside it.
TEST(ChildStartup, StartsTheChildWithoutAConsoleWindow) {
    ChildStartup startup(::GetStdHandle(STD_OUTPUT_HANDLE));
    EXPECT_EQ(startup.CreationFlags(), static_cast<DWORD>(CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT));
    EXPECT_EQ(startup.Info()->wShowWindow, SW_HIDE);
}

TEST_F(RunHiddenCommandTest, WithABufferReturnsOnlyOnceTheOutputIsDrained) {
    char command[] = "arp -d";
    char output[4096];
    std::memset(output, 0, sizeof(output));
    EXPECT_EQ(RunFromStandIn(command, output), 1);
    // The pipe broke, so the child had written its record and its output before this returned.
    EXPECT_EQ(m_log.Records().size(), 1u);
    EXPECT_EQ(std::strncmp(output, "launch recorder ran\r\n", 21), 0) << output;
}

// Inheritable handles of this process that the child must not get: a bound socket and both ends of a
// pipe. Only the write end of the launcher's own pipe, its output, reaches it.
TEST_F(RunHiddenCommandTest, TheChildInheritsThePipesWriteEndAndNothingElse) {
    WSADATA data{};
    ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &data), 0);
    SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_NE(socket, INVALID_SOCKET);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(local);
    ASSERT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&local), sizeof(local)), 0);
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length);
    const std::string socketKind = "socket:" + std::to_string(ntohs(local.sin_port));
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE otherRead = nullptr, otherWrite = nullptr;
    ASSERT_TRUE(::CreatePipe(&otherRead, &otherWrite, &inheritable, 0));
    ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    DWORD flags = 0;
    ASSERT_TRUE(::GetHandleInformation(reinterpret_cast<HANDLE>(socket), &flags));
    ASSERT_TRUE(flags & HANDLE_FLAG_INHERIT);

    char command[] = "arp -d";
    char output[4096];
    EXPECT_EQ(RunFromStandIn(command, nullptr), 1);
    EXPECT_EQ(RunFromStandIn(command, output), 1);
    auto records = m_log.WaitForRecords(2);
    ::CloseHandle(otherRead);
    ::CloseHandle(otherWrite);
    ::closesocket(socket);
    ::WSACleanup();

    ASSERT_EQ(records.size(), 2u);
    for (const auto& record : records)
        EXPECT_EQ(record.inherited, std::vector<std::string>{"pipe-write"}) << "not expected: " << socketKind;
}

// With the program given by its path, nothing of the current folder runs: the system's own arp starts
// (Wine's prints nothing and records nothing), and a folder without the program starts nothing.
TEST_F(RunHiddenCommandTest, NeverStartsAProgramOfTheCurrentFolder) {
    test::ScratchFolder downloads("downloads");
    test::ScratchFolder empty("empty");
    ASSERT_TRUE(downloads.CopyIn(test::StandInSystemFolder() + "\\arp.exe", "arp.exe"));
    CurrentFolder current(downloads.Path());

    char command[] = "arp -d";
    EXPECT_EQ(RunHiddenCommand(command, nullptr), 1);
    EXPECT_EQ(RunHiddenCommandFrom(empty.Path(), command, nullptr), 0);
    EXPECT_TRUE(NothingRecorded());
}

TEST_F(RunHiddenCommandTest, TakesOnlyABareProgramNameFromTheFolder) {
    for (const char* text :
         {"arp.exe -d", "..\\stand_in_system\\arp -d", "C:arp -d", "\"arp\" -d", " arp -d", ""}) {
        SCOPED_TRACE(text);
        std::string command = text;
        EXPECT_EQ(RunFromStandIn(command.data()), 0);
    }
    EXPECT_TRUE(NothingRecorded());
}

TEST_F(RunHiddenCommandTest, ReleasesEveryHandleOnceTheCommandHasStarted) {
    char command[] = "arp -d";
    // One start first, so handles the system opens once per process are not counted as ours.
    ASSERT_EQ(RunFromStandIn(command), 1);
    m_log.WaitForRecords(1);
    int before = HandleCount();
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(RunFromStandIn(command), 1);
    EXPECT_EQ(m_log.WaitForRecords(6).size(), 6u);
    EXPECT_EQ(HandleCount(), before);
}

TEST_F(RunHiddenCommandTest, FailsWithoutLeavingAHandleWhenTheProgramIsMissing) {
    char command[] = "qm-no-such-program-4f1c -d";
    char warmUp[] = "qm-no-such-program-4f1c";
    RunFromStandIn(warmUp);
    int before = HandleCount();
    char output[4096];
    EXPECT_EQ(RunFromStandIn(command), 0);
    EXPECT_EQ(RunFromStandIn(command, output), 0);
    EXPECT_EQ(HandleCount(), before);
}

} // namespace
