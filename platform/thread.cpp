/* thread.cpp - kernel threads, waits and time on std::thread and the clocks.
 * A thread handle stays valid until CloseHandle; waiting on it joins it. A
 * handle closed while its thread runs leaves the thread to free its object. */
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <thread>
#include <unordered_set>

#include "platform/platform_internal.h"
#include "winapi.h"

namespace kesra::platform {
namespace {

std::atomic<int> g_thread_objects{0};

struct ThreadObject {
    ThreadObject() { ++g_thread_objects; }
    ~ThreadObject() { --g_thread_objects; }
    std::thread thread;
    std::mutex mutex;
    std::condition_variable finished_cv;
    bool finished = false;
    bool joined = false;
    bool orphaned = false;  // the handle was closed while the thread ran
    DWORD suspend_count = 0;
};

/* Handles are checked against the live set, so a stale handle fails cleanly. */
std::mutex& handles_mutex() {
    static std::mutex m;
    return m;
}
std::unordered_set<void*>& live_threads() {
    static std::unordered_set<void*> s;
    return s;
}

ThreadObject* as_thread(HANDLE handle) {
    std::lock_guard<std::mutex> lock(handles_mutex());
    return live_threads().count(handle) ? static_cast<ThreadObject*>(handle) : nullptr;
}

}  // namespace

int thread_objects_alive() { return g_thread_objects.load(); }

}  // namespace kesra::platform

using namespace kesra::platform;

extern "C" HANDLE CreateThread(void*, size_t, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD,
                               DWORD* thread_id) {
    if (!start) return nullptr;
    auto* object = new ThreadObject;
    static std::atomic<DWORD> next_id{1};
    DWORD id = next_id.fetch_add(1);
    {
        std::lock_guard<std::mutex> lock(handles_mutex());
        live_threads().insert(object);
    }
    object->thread = std::thread([object, start, parameter] {
        start(parameter);
        bool orphaned;
        {
            std::lock_guard<std::mutex> lock(object->mutex);
            object->finished = true;
            object->finished_cv.notify_all();
            orphaned = object->orphaned;
        }
        if (orphaned) delete object;  // nobody else holds it any more
    });
    if (thread_id) *thread_id = id;
    return object;
}

extern "C" DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    ThreadObject* object = as_thread(handle);
    if (!object) return WAIT_FAILED;
    std::unique_lock<std::mutex> lock(object->mutex);
    if (milliseconds == INFINITE) {
        object->finished_cv.wait(lock, [object] { return object->finished; });
    } else if (!object->finished_cv.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                             [object] { return object->finished; })) {
        return WAIT_TIMEOUT;
    }
    if (!object->joined && object->thread.joinable()) {
        object->joined = true;
        lock.unlock();
        object->thread.join();
    }
    return WAIT_OBJECT_0;
}

extern "C" BOOL CloseHandle(HANDLE handle) {
    ThreadObject* object = as_thread(handle);
    if (!object) return close_file_object(handle) ? TRUE : FALSE;  // files and mappings
    {
        std::lock_guard<std::mutex> lock(handles_mutex());
        live_threads().erase(object);
    }
    {
        std::lock_guard<std::mutex> lock(object->mutex);
        if (!object->joined && object->thread.joinable()) {
            object->joined = true;
            if (object->finished) {
                object->thread.join();
            } else {
                object->thread.detach();  // a running thread outlives its handle, as on the device
                object->orphaned = true;  // and frees its object when it ends
                return TRUE;
            }
        }
    }
    delete object;
    return TRUE;
}

/* Linux cannot stop another thread from outside; the count is kept so that
 * callers see the system's results, and the threads that get suspended poll
 * their own stop flags. */
extern "C" DWORD SuspendThread(HANDLE handle) {
    ThreadObject* object = as_thread(handle);
    if (!object) return static_cast<DWORD>(-1);
    std::lock_guard<std::mutex> lock(object->mutex);
    return object->suspend_count++;
}

extern "C" DWORD ResumeThread(HANDLE handle) {
    ThreadObject* object = as_thread(handle);
    if (!object) return static_cast<DWORD>(-1);
    std::lock_guard<std::mutex> lock(object->mutex);
    DWORD previous = object->suspend_count;
    if (previous) --object->suspend_count;
    return previous;
}

extern "C" void Sleep(DWORD milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

extern "C" DWORD GetTickCount(void) {
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

extern "C" void GetLocalTime(SYSTEMTIME* out) {
    if (!out) return;
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t seconds = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    out->wYear = static_cast<WORD>(local.tm_year + 1900);
    out->wMonth = static_cast<WORD>(local.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    out->wDay = static_cast<WORD>(local.tm_mday);
    out->wHour = static_cast<WORD>(local.tm_hour);
    out->wMinute = static_cast<WORD>(local.tm_min);
    out->wSecond = static_cast<WORD>(local.tm_sec);
    out->wMilliseconds =
        static_cast<WORD>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
}
