// The DLL search as the program restricts it at its start. A small program (dll_search_check.cpp) is
// copied to a fresh "downloads" folder with a DLL that records being loaded planted beside it, and in
// its current folder, as msimg32.dll, a DLL that the shell's theming library loads by name. Windows
// takes the first msimg32.dll on the search path; Wine prefers its own unless told otherwise, so the
// test tells Wine, for the check program alone, to prefer one found on the search path as Windows does.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include <windows.h>

#include "scratch_folder.h"

namespace {

constexpr wchar_t kCheckOverrides[] = L"Software\\Wine\\AppDefaults\\dll_search_check.exe\\DllOverrides";

// Wine's setting for the check program alone: msimg32.dll found on the search path before its own.
// Nothing else reads it, and Windows ignores it.
class NativeFirstForTheCheck {
  public:
    NativeFirstForTheCheck() {
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, kCheckOverrides, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr) != ERROR_SUCCESS)
            return;
        static const wchar_t kOrder[] = L"native,builtin";
        ::RegSetValueExW(key, L"msimg32", 0, REG_SZ, reinterpret_cast<const BYTE*>(kOrder), sizeof(kOrder));
        ::RegCloseKey(key);
    }
    ~NativeFirstForTheCheck() {
        ::RegDeleteKeyW(HKEY_CURRENT_USER, kCheckOverrides);
        ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\dll_search_check.exe");
    }
    NativeFirstForTheCheck(const NativeFirstForTheCheck&) = delete;
    NativeFirstForTheCheck& operator=(const NativeFirstForTheCheck&) = delete;
};

class DllSearchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(
            m_downloads.CopyIn(test::ProgramFolder() + "dll_search_check.exe", "dll_search_check.exe"));
        ASSERT_TRUE(m_downloads.CopyIn(test::ProgramFolder() + "qm_load_recorder.dll", "msimg32.dll"));
        ASSERT_TRUE(m_current.CopyIn(test::ProgramFolder() + "qm_load_recorder.dll", "msimg32.dll"));
    }

    // Runs the check in the downloads folder with the other folder current; returns its exit status.
    DWORD RunCheck(const char* arguments) {
        ::SetEnvironmentVariableA("QM_LOAD_LOG", m_log.c_str());
        std::string commandLine = "\"" + m_downloads.File("dll_search_check.exe") + "\" " + arguments;
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              m_current.Path().c_str(), &startup, &process))
            return 0xFFFFFFFF;
        DWORD status = 0xFFFFFFFE;
        if (::WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
            ::GetExitCodeProcess(process.hProcess, &status);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        ::SetEnvironmentVariableA("QM_LOAD_LOG", nullptr);
        return status;
    }

    // The lines the planted DLL wrote: one per load.
    std::string Loads() const {
        std::ifstream file(m_log);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    NativeFirstForTheCheck m_wineSetting;
    test::ScratchFolder m_downloads{"downloads"};
    test::ScratchFolder m_current{"current"};
    std::string m_log = m_downloads.File("loads.log");
};

TEST_F(DllSearchTest, ADllPlantedBesideTheProgramOrInTheCurrentFolderIsNeverLoaded) {
    EXPECT_EQ(RunCheck("--restrict"), 0u) << "msimg32.dll did not come from the system folder";
    EXPECT_EQ(Loads(), "");
}

// Without the restriction the planted DLL is the one loaded (and it refuses to stay): the check above
// would see a program that skipped the restriction.
TEST_F(DllSearchTest, WithoutTheRestrictionThePlantedDllIsLoaded) {
    EXPECT_EQ(RunCheck(""), 2u);
    EXPECT_NE(Loads().find(m_downloads.File("msimg32.dll")), std::string::npos) << Loads();
}

} // namespace
