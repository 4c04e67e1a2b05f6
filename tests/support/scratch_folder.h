#pragma once
// Folders the Windows tests make for themselves: a fresh one in the temporary folder, and the folder of
// the running test program.
#include <string>

#include <windows.h>

namespace test {

// A fresh folder in the temporary folder, removed with the files put in it.
class ScratchFolder {
  public:
    explicit ScratchFolder(const char* name) {
        char temp[MAX_PATH] = {};
        ::GetTempPathA(sizeof(temp), temp);
        m_path = std::string(temp) + "qm-" + std::to_string(::GetCurrentProcessId()) + "-" + name;
        ::CreateDirectoryA(m_path.c_str(), nullptr);
    }
    ~ScratchFolder() {
        WIN32_FIND_DATAA found{};
        HANDLE search = ::FindFirstFileA(File("*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do
                ::DeleteFileA(File(found.cFileName).c_str());
            while (::FindNextFileA(search, &found));
            ::FindClose(search);
        }
        ::RemoveDirectoryA(m_path.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "\\" + name; }
    // Copies `source` into the folder as `name`.
    bool CopyIn(const std::string& source, const std::string& name) const {
        return ::CopyFileA(source.c_str(), File(name).c_str(), FALSE) != FALSE;
    }

  private:
    std::string m_path;
};

// The folder of the running test program, with a trailing backslash.
inline std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

} // namespace test
