// What the iconv layer decides where Linux has no answer of its own.
#include <gtest/gtest.h>

#include <string>

#include "text/CodePage.h"

namespace lunteva {
namespace {

// Linux has no ANSI code page: CP_ACP stands for 936, the program's own, so
// the length query of utf16ToMultiByte is exact.
TEST(CodePageIconv, AnsiCodePageIs936) {
    const char16_t units[] = u"6\u67081\u65E5\uAC00";
    EXPECT_EQ(wideCharToMultiByte(CP_ACP, units, nullptr, 0), wideCharToMultiByte(CP_GBK, units, nullptr, 0));
    char bytes[16] = {};
    ASSERT_EQ(wideCharToMultiByte(CP_ACP, units, bytes, sizeof bytes), 8);
    EXPECT_EQ(std::string(bytes), "6\xD4\xC2" "1\xC8\xD5?");
    char16_t back[16] = {};
    ASSERT_EQ(multiByteToWideChar(CP_ACP, "6\xD4\xC2", back, 16), 3);
    EXPECT_EQ(std::u16string(back), u"6\u6708");
}

}  // namespace
}  // namespace lunteva
