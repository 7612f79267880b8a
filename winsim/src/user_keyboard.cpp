// The keyboard: only Shift can be held, by a knob.
#include "user_model.h"

// The high bit alone: down now. The low bit ("pressed since the last call") is left clear;
// Windows says not to rely on it. A program on a window station no one sees is not on the
// input desktop, and every key reads as up there.
SHORT WINAPI GetAsyncKeyState(int vKey) {
    const winsim::UserSession& session = winsim::userSession();
    const SHORT down = -0x8000;
    return vKey == VK_SHIFT && session.shiftHeld && session.stationVisible ? down : 0;
}
