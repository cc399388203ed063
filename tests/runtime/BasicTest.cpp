#include <gtest/gtest.h>
#include "runtime/Basic.h"
#include "runtime/Errors.h"
TEST(Smoke, Alloc) { char* p = nullptr; EXPECT_EQ(MemAlloc(p, 1000), 0); EXPECT_EQ(MemTable[0].Name, "C:Handle #0:0"); MemFree(p); }
