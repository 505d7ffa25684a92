/* test_regressions.cpp - faults the fuzz harnesses found, each with the input
 * that showed it, made here: a thread whose handle is closed while it runs
 * (every animation sound does so). */
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/platform_internal.h"
#include "winapi.h"

namespace {

std::atomic<bool> g_may_end{false};

DWORD wait_until_allowed(LPVOID) {
    while (!g_may_end.load()) Sleep(1);
    return 0;
}

/* Polls for up to a generous 20 s; true once no more than count are alive. */
bool thread_objects_drop_to(int count) {
    for (int i = 0; i < 20000 && kesra::platform::thread_objects_alive() > count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return kesra::platform::thread_objects_alive() <= count;
}

}  // namespace

/* fuzz_ani: the sound thread's handle is closed at once; the thread object
 * stayed behind for every sound played. */
TEST(Regressions, ThreadClosedWhileRunningFreesItsObjectWhenItEnds) {
    const int before = kesra::platform::thread_objects_alive();
    g_may_end = false;
    HANDLE thread = CreateThread(nullptr, 0, wait_until_allowed, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(kesra::platform::thread_objects_alive(), before + 1);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);  // the handle is gone, the thread runs on
    g_may_end = true;
    EXPECT_TRUE(thread_objects_drop_to(before));
}
