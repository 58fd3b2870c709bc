#include "text/Text.h"

#include <gtest/gtest.h>

namespace lunteva {
namespace {

TEST(FindText, Basic) { EXPECT_EQ(findText("abcabc", "abc", 2), 4); }

}  // namespace
}  // namespace lunteva
