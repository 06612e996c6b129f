#include "counting_allocator.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

namespace {

std::atomic<bool> g_armed{false};
std::atomic<long> g_count{0};
std::atomic<long> g_failAt{0};
std::atomic<bool> g_refused{false};
std::atomic<bool> g_otherThreads{false};
std::thread::id g_armingThread; // written before arming, read while armed

// True when this allocation is to be refused.
bool Refuse()
{
    if (!g_armed.load(std::memory_order_acquire))
        return false;
    const long n = g_count.fetch_add(1) + 1;
    if (g_otherThreads.load() ? std::this_thread::get_id() == g_armingThread : n != g_failAt.load())
        return false;
    g_refused.store(true);
    return true;
}

void* Allocate(std::size_t size, std::size_t alignment, bool nothrow)
{
    void* p = nullptr;
    if (!Refuse()) {
        if (size == 0)
            size = 1;
        if (alignment <= alignof(std::max_align_t)) {
            p = std::malloc(size);
        } else {
            // aligned_alloc wants a size that is a multiple of the alignment.
            p = std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
        }
    }
    if (p == nullptr && !nothrow)
        throw std::bad_alloc();
    return p;
}

constexpr std::size_t kPlain = alignof(std::max_align_t);

} // namespace

namespace colorcorrect::test {

AllocationFault::AllocationFault(long failAt, bool otherThreadsGetNothing)
{
    g_armingThread = std::this_thread::get_id();
    g_otherThreads.store(otherThreadsGetNothing);
    g_count.store(0);
    g_refused.store(false);
    g_failAt.store(failAt);
    g_armed.store(true, std::memory_order_release);
}

AllocationFault::~AllocationFault() { Disarm(); }

void AllocationFault::Disarm() { g_armed.store(false, std::memory_order_release); }

long AllocationFault::Count() const { return g_count.load(); }

bool AllocationFault::Refused() const { return g_refused.load(); }

} // namespace colorcorrect::test

void* operator new(std::size_t size) { return Allocate(size, kPlain, false); }
void* operator new[](std::size_t size) { return Allocate(size, kPlain, false); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return Allocate(size, kPlain, true);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void* operator new(std::size_t size, std::align_val_t al) { return Allocate(size, std::size_t(al), false); }
void* operator new[](std::size_t size, std::align_val_t al) { return Allocate(size, std::size_t(al), false); }
void* operator new(std::size_t size, std::align_val_t al, const std::nothrow_t&) noexcept
{
    try {
        return Allocate(size, std::size_t(al), true);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, std::align_val_t al, const std::nothrow_t& tag) noexcept
{
    return operator new(size, al, tag);
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
