#pragma once
// The program's side of the player's host table: its platform layer's window services.
#include "libs/morvplayer/morvplayer.h"
#include "platform/core/messages.h"

inline PlayerHost PlatformPlayerHost() {
    PlayerHost h;
    h.RegisterClassA = &platform::RegisterClassA;
    h.CreateWindowExA = &platform::CreateWindowExA;
    h.DestroyWindow = &platform::DestroyWindow;
    h.IsWindow = &platform::IsWindow;
    h.DefWindowProcA = &platform::DefWindowProcA;
    h.GetClientRect = &platform::GetClientRect;
    h.InvalidateRect = &platform::InvalidateRect;
    h.BeginPaint = &platform::BeginPaint;
    h.EndPaint = &platform::EndPaint;
    h.StretchDIBits = &platform::StretchDIBits;
    h.SetCapture = &platform::SetCapture;
    h.ReleaseCapture = &platform::ReleaseCapture;
    h.PostMessage = &platform::PostMessage;
    return h;
}
