#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>

namespace {

// Resets the allocation budget even when a test fails half-way.
struct BudgetGuard {
    ~BudgetGuard() { colorcorrect::SetBlockAllocationBudget(-1); }
};

void FillCounting(CPMemory& m)
{
    BYTE* p = m;
    for (unsigned long i = 0; i < m.GetSize(); ++i)
        p[i] = static_cast<BYTE>(i * 7 + 1);
}

bool IsCounting(const CPMemory& m, unsigned long count)
{
    const BYTE* p = m;
    for (unsigned long i = 0; i < count; ++i)
        if (p[i] != static_cast<BYTE>(i * 7 + 1))
            return false;
    return true;
}

} // namespace

TEST(PMemory, EmptyBlockConvertsToNull)
{
    CPMemory m;
    EXPECT_EQ(static_cast<BYTE*>(m), nullptr);
    EXPECT_EQ(static_cast<const BYTE*>(std::as_const(m)), nullptr);
    EXPECT_EQ(m.GetSize(), 0ul);
}

TEST(PMemory, ReallocGivesZeroedAlignedBlock)
{
    CPMemory m;
    ASSERT_EQ(m.Realloc(1000), 1);
    EXPECT_EQ(m.GetSize(), 1000ul);
    const BYTE* p = m;
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 64, 0u);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(p[i], 0) << "byte " << i;
}

TEST(PMemory, ReallocKeepsContentWhenAsked)
{
    CPMemory m;
    ASSERT_EQ(m.Realloc(100), 1);
    FillCounting(m);
    ASSERT_EQ(m.Realloc(300, 0, 1), 1);
    EXPECT_TRUE(IsCounting(m, 100));
    for (unsigned long i = 100; i < 300; ++i)
        ASSERT_EQ(static_cast<BYTE*>(m)[i], 0) << "new byte " << i;
    ASSERT_EQ(m.Realloc(40, 0, 1), 1);
    EXPECT_EQ(m.GetSize(), 40ul);
    EXPECT_TRUE(IsCounting(m, 40));
}

TEST(PMemory, ReallocWithoutKeepClears)
{
    CPMemory m;
    ASSERT_EQ(m.Realloc(64), 1);
    FillCounting(m);
    ASSERT_EQ(m.Realloc(64, 0, 0), 1);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(static_cast<BYTE*>(m)[i], 0) << "byte " << i;
}

TEST(PMemory, AllOnesSizeKeepsBlockAsItIs)
{
    CPMemory m;
    ASSERT_EQ(m.Realloc(50), 1);
    FillCounting(m);
    const BYTE* before = m;
    EXPECT_EQ(m.Realloc(0xFFFFFFFF, 0, 0), 1);
    EXPECT_EQ(static_cast<const BYTE*>(m), before);
    EXPECT_EQ(m.GetSize(), 50ul);
    EXPECT_TRUE(IsCounting(m, 50));

    CPMemory empty;
    EXPECT_EQ(empty.Realloc(0xFFFFFFFF), 1);
    EXPECT_EQ(static_cast<BYTE*>(empty), nullptr);
}

TEST(PMemory, ReallocToZeroEmpties)
{
    CPMemory m;
    ASSERT_EQ(m.Realloc(10), 1);
    EXPECT_EQ(m.Realloc(0), 1);
    EXPECT_EQ(static_cast<BYTE*>(m), nullptr);
    EXPECT_EQ(m.GetSize(), 0ul);
}

TEST(PMemory, RefusedAllocationLeavesBlockUnchanged)
{
    BudgetGuard guard;
    CPMemory m;
    ASSERT_EQ(m.Realloc(32), 1);
    FillCounting(m);
    const BYTE* before = m;
    colorcorrect::SetBlockAllocationBudget(0);
    EXPECT_EQ(m.Realloc(64, 0, 1), 0);
    colorcorrect::SetBlockAllocationBudget(-1);
    EXPECT_EQ(static_cast<const BYTE*>(m), before);
    EXPECT_EQ(m.GetSize(), 32ul);
    EXPECT_TRUE(IsCounting(m, 32));
}

TEST(PMemory, CopiesAreIndependent)
{
    CPMemory a;
    ASSERT_EQ(a.Realloc(16), 1);
    FillCounting(a);
    CPMemory b(a);
    CPMemory c;
    c = a;
    ASSERT_NE(static_cast<BYTE*>(b), static_cast<BYTE*>(a));
    ASSERT_NE(static_cast<BYTE*>(c), static_cast<BYTE*>(a));
    EXPECT_TRUE(IsCounting(b, 16));
    EXPECT_TRUE(IsCounting(c, 16));
    static_cast<BYTE*>(a)[0] = 0xEE;
    EXPECT_EQ(static_cast<BYTE*>(b)[0], 1);
    EXPECT_EQ(static_cast<BYTE*>(c)[0], 1);
}

TEST(PMemory, SelfAssignmentKeepsContent)
{
    CPMemory a;
    ASSERT_EQ(a.Realloc(16), 1);
    FillCounting(a);
    CPMemory& alias = a;
    a = alias;
    EXPECT_EQ(a.GetSize(), 16ul);
    EXPECT_TRUE(IsCounting(a, 16));
}

TEST(PMemory, CopyOfEmptyIsEmptyAndAssignmentReplaces)
{
    CPMemory a;
    ASSERT_EQ(a.Realloc(16), 1);
    CPMemory empty;
    a = empty;
    EXPECT_EQ(static_cast<BYTE*>(a), nullptr);
    EXPECT_EQ(a.GetSize(), 0ul);
}

TEST(PMemory, RefusedCopyGivesEmptyBlock)
{
    BudgetGuard guard;
    CPMemory a;
    ASSERT_EQ(a.Realloc(16), 1);
    colorcorrect::SetBlockAllocationBudget(0);
    CPMemory b(a);
    colorcorrect::SetBlockAllocationBudget(-1);
    EXPECT_EQ(static_cast<BYTE*>(b), nullptr);
    EXPECT_EQ(b.GetSize(), 0ul);
    EXPECT_EQ(a.GetSize(), 16ul);
}

TEST(PMemory, MoveTakesTheBlock)
{
    CPMemory a;
    ASSERT_EQ(a.Realloc(16), 1);
    const BYTE* p = a;
    CPMemory b(std::move(a));
    EXPECT_EQ(static_cast<const BYTE*>(b), p);
    EXPECT_EQ(static_cast<BYTE*>(a), nullptr); // NOLINT(bugprone-use-after-move)
    CPMemory c;
    c = std::move(b);
    EXPECT_EQ(static_cast<const BYTE*>(c), p);
    EXPECT_EQ(c.GetSize(), 16ul);
}

TEST(PMemory, FreeEmpties)
{
    CPMemory a;
    ASSERT_EQ(a.Realloc(16), 1);
    a.Free();
    EXPECT_EQ(static_cast<BYTE*>(a), nullptr);
    EXPECT_EQ(a.GetSize(), 0ul);
    a.Free();
    EXPECT_EQ(a.GetSize(), 0ul);
}
