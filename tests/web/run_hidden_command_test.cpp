// "arp" resolves to the launch recorder copied beside this program as arp.exe: the system searches the
// caller's own folder before its own.
#include "run_hidden_command.h"

#include <cstring>

#include <gtest/gtest.h>
#include <windows.h>

#include "launch_records.h"

namespace {

class RunHiddenCommandTest : public ::testing::Test {
  protected:
    void SetUp() override { ::SetEnvironmentVariableA("QM_RECORD_LOG", m_log.Path().c_str()); }
    void TearDown() override { ::SetEnvironmentVariableA("QM_RECORD_LOG", nullptr); }

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

    test::LaunchLog m_log{"arp"};
};

TEST_F(RunHiddenCommandTest, StartsTheCommandHiddenWithItsOutputOnAPipe) {
    char command[] = "arp -d";
    EXPECT_EQ(RunHiddenCommand(command, nullptr), 1);

    auto records = m_log.WaitForRecords(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].commandLine, "arp -d");
    EXPECT_EQ(records[0].startupFlags,
              static_cast<unsigned long>(STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES));
    EXPECT_EQ(records[0].showWindow, static_cast<unsigned>(SW_HIDE));
    EXPECT_TRUE(records[0].stdoutIsPipe);
    EXPECT_TRUE(records[0].stderrIsPipe);
}

TEST_F(RunHiddenCommandTest, WithABufferReturnsOnlyOnceTheOutputIsDrained) {
    char command[] = "arp -d";
    char output[4096];
    std::memset(output, 0, sizeof(output));
    EXPECT_EQ(RunHiddenCommand(command, output), 1);
    // The pipe broke, so the child had written its record and its output before this returned.
    EXPECT_EQ(m_log.Records().size(), 1u);
    EXPECT_EQ(std::strncmp(output, "launch recorder ran\r\n", 21), 0) << output;
}

TEST_F(RunHiddenCommandTest, ReleasesEveryHandleOnceTheCommandHasStarted) {
    char command[] = "arp -d";
    // One start first, so handles the system opens once per process are not counted as ours.
    ASSERT_EQ(RunHiddenCommand(command, nullptr), 1);
    m_log.WaitForRecords(1);
    int before = HandleCount();
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(RunHiddenCommand(command, nullptr), 1);
    EXPECT_EQ(m_log.WaitForRecords(6).size(), 6u);
    EXPECT_EQ(HandleCount(), before);
}

TEST_F(RunHiddenCommandTest, FailsWithoutLeavingAHandleWhenTheProgramIsMissing) {
    char command[] = "qm-no-such-program-4f1c -d";
    char warmUp[] = "qm-no-such-program-4f1c";
    RunHiddenCommand(warmUp, nullptr);
    int before = HandleCount();
    char output[4096];
    EXPECT_EQ(RunHiddenCommand(command, nullptr), 0);
    EXPECT_EQ(RunHiddenCommand(command, output), 0);
    EXPECT_EQ(HandleCount(), before);
}

} // namespace
