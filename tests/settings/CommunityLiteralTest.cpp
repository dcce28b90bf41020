// SPDX-License-Identifier: GPL-3.0-or-later
#include "BuiltInCommunity.h"

#include <gtest/gtest.h>

#include <string_view>

// The header was generated for a community full of what would break or
// inject code if pasted into C++ as it is: a list separator, a quote, a
// backslash, CMake's variable syntax, a space, UTF-8, a tab, and a digit
// right after an escape.
TEST(BuiltInCommunity, OddOctetsArriveUnchanged)
{
    constexpr std::string_view expected{"a;b\"c\\d$e x${y}@z@ \xc3\xa9\t1"};
    EXPECT_EQ(brellan::builtInCommunity, expected);
    EXPECT_EQ(brellan::builtInCommunity.size(), 23u);
}
