#include "../zvOs.h"

#include <windows.h>

#include <atomic>

namespace zv::os {

namespace {

// Thread timers carry no window, so the system calls back one procedure for all.
std::atomic<timerProcedure> g_procedure{nullptr};

void CALLBACK onTimer(HWND, UINT, UINT_PTR id, DWORD) {
    const timerProcedure procedure = g_procedure.load();
    if (procedure)
        procedure(static_cast<unsigned int>(id));
}

} // namespace

unsigned int startTimer(unsigned int id, unsigned int intervalMs, timerProcedure procedure) {
    g_procedure.store(procedure);
    // Without a window the system ignores the proposed identifier and picks one.
    return static_cast<unsigned int>(SetTimer(nullptr, id, intervalMs, &onTimer));
}

void stopTimer(unsigned int id) {
    KillTimer(nullptr, id);
}

void pumpMessages(unsigned int timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) { // leave it for the application's own loop
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
}

} // namespace zv::os
