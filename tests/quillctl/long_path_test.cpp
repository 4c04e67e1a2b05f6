// Deep plan and report paths on Windows: only paths of MAX_PATH characters or more change form.
#include <gtest/gtest.h>

#include "output/long_path.h"

namespace quillctl {
namespace {

TEST(WindowsLongPath, ExtendsOnlyFullPathsThatNeedIt) {
    const std::string deep(300, 'd');
    EXPECT_EQ(WindowsLongPath("C:\\plans\\" + deep), "\\\\?\\C:\\plans\\" + deep);
    EXPECT_EQ(WindowsLongPath("\\\\server\\share\\" + deep), "\\\\?\\UNC\\server\\share\\" + deep);
    // 259 characters still open as they are.
    const std::string longest = "C:\\" + std::string(kWindowsMaxPath - 4, 'x');
    EXPECT_EQ(WindowsLongPath(longest), longest);
    EXPECT_EQ(WindowsLongPath(longest + "x"), "\\\\?\\" + longest + "x");
    for (const std::string& kept : {"\\\\?\\C:\\" + deep, "\\\\.\\pipe\\" + deep, "relative\\" + deep})
        EXPECT_EQ(WindowsLongPath(kept), kept);
}

} // namespace
} // namespace quillctl
