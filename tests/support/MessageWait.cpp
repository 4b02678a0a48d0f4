#include "tests/support/MessageWait.h"

namespace {

using Clock = std::chrono::steady_clock;

// The longest sleep between two looks at a condition no message announces.
constexpr std::chrono::milliseconds kLookAgain(20);

// Dispatches what is queued; stops at the first message `wanted` takes.
bool DispatchQueued(const std::function<bool(const MSG&)>& wanted, MSG& taken)
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (wanted && wanted(message)) {
            taken = message;
            return true;
        }
        if (message.message == WM_QUIT)
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return false;
}

bool Pump(const std::function<bool()>& condition, const std::function<bool(const MSG&)>& wanted, MSG& taken,
          std::chrono::milliseconds limit)
{
    const Clock::time_point until = Clock::now() + limit;
    for (;;) {
        if (DispatchQueued(wanted, taken))
            return true;
        if (condition && condition())
            return true;
        const Clock::time_point now = Clock::now();
        if (now >= until)
            return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - now) + std::chrono::milliseconds(1);
        const auto wait = left < kLookAgain ? left : kLookAgain;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(wait.count()), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

}  // namespace

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    MSG unused{};
    return Pump(condition, nullptr, unused, limit);
}

bool PumpUntilMessage(const std::function<bool(const MSG&)>& wanted, MSG& taken,
                      std::chrono::milliseconds limit)
{
    return Pump(nullptr, wanted, taken, limit);
}

void PumpPending()
{
    MSG unused{};
    DispatchQueued(nullptr, unused);
}
