// Waiting for another process without guessing how long it takes: every wait
// polls a condition until it holds or a deadline passes.
#pragma once

#include <windows.h>

namespace scripted_user {

// How often a condition is looked at again: often enough that a window is
// answered at once, rarely enough not to compete with the program under test.
enum { POLL_INTERVAL_MS = 20 };

class Deadline {
public:
    explicit Deadline(DWORD milliseconds) : start_(GetTickCount64()), length_(milliseconds) {}
    bool passed() const { return GetTickCount64() - start_ >= length_; }
    DWORD remaining() const {
        ULONGLONG spent = GetTickCount64() - start_;
        return spent >= length_ ? 0 : static_cast<DWORD>(length_ - spent);
    }

private:
    ULONGLONG start_;
    ULONGLONG length_;
};

// Calls `condition` until it returns true (then true) or the deadline passes
// (then false). The condition is always tried at least once.
template <typename Condition>
bool pollUntil(DWORD milliseconds, Condition condition) {
    Deadline deadline(milliseconds);
    for (;;) {
        if (condition()) return true;
        if (deadline.passed()) return false;
        Sleep(POLL_INTERVAL_MS);
    }
}

}  // namespace scripted_user
