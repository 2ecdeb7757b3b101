#include <gtest/gtest.h>
#include "MorvelUtil.h"
TEST(Placeholder, Builds) { SUCCEED(); }
