#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstring>

TEST(VirtualMemory, BlocksAreZeroedWritableAndReleased)
{
    auto* p = static_cast<unsigned char*>(VirtualAlloc(nullptr, 0x20000, MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(p, nullptr);
    for (size_t i = 0; i < 0x20000; i += 4093)
        EXPECT_EQ(p[i], 0u);
    std::memset(p, 0xAB, 0x20000);
    EXPECT_EQ(VirtualFree(p, 0, MEM_RELEASE), 1);
}

TEST(VirtualMemory, RefusesBadArguments)
{
    EXPECT_EQ(VirtualAlloc(nullptr, 0, MEM_COMMIT, PAGE_READWRITE), nullptr);
    EXPECT_EQ(VirtualAlloc(nullptr, 100, 0, PAGE_READWRITE), nullptr);
    EXPECT_EQ(VirtualAlloc(nullptr, static_cast<size_t>(-1), MEM_COMMIT, PAGE_READWRITE), nullptr);
    EXPECT_EQ(VirtualFree(nullptr, 0, MEM_RELEASE), 0);
}

TEST(VirtualMemory, BudgetMakesAllocationsFail)
{
    colorcorrect::SetPageAllocationBudget(1);
    void* a = VirtualAlloc(nullptr, 64, MEM_COMMIT, PAGE_READWRITE);
    void* b = VirtualAlloc(nullptr, 64, MEM_COMMIT, PAGE_READWRITE);
    colorcorrect::SetPageAllocationBudget(-1);
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(b, nullptr);
    VirtualFree(a, 0, MEM_RELEASE);
    void* c = VirtualAlloc(nullptr, 64, MEM_COMMIT, PAGE_READWRITE);
    EXPECT_NE(c, nullptr);
    VirtualFree(c, 0, MEM_RELEASE);
}
