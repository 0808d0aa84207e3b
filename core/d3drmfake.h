// A platform for tests of code that drives the retained-mode layer: the built-in layer behind
// wrappers that log every call and release, and fail chosen calls on demand.
#pragma once

#include "d3drm.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

// Install with SetD3DPlatform(platform); every object created through the entry points while
// it is installed is wrapped. Calls are logged as "Interface::Method" (for example
// "IDirect3DRMViewport::Render", "IDirect3DRMFrame::Release", "DirectDrawCreateClipper") in
// the order they are made. An injected failure returns its code without calling the real
// layer (out-parameters stay as they were).
class TRecordingPlatform : public TD3DPlatform
{
public:
    struct TState
    {
        std::vector<std::string> Log;
        // call -> (occurrence still to skip, code); occurrence 0 means every call.
        struct TFailure
        {
            int Countdown;
            HRESULT Code;
        };
        std::map<std::string, TFailure> Failures;
        // The code to return for this call, or 0 to go ahead. Logs the call either way.
        HRESULT Enter(const std::string& call);
    };

    TRecordingPlatform();

    HRESULT Direct3DRMCreate(LPDIRECT3DRM& d3drm) override;
    HRESULT DirectDrawCreate(const GUID* guid, LPDIRECTDRAW& directDraw, void* outer) override;
    HRESULT DirectDrawCreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER& clipper,
                                    void* outer) override;

    // Makes the `occurrence`-th call of `call` from now on (1 = the next one) return `code`.
    void FailCall(const std::string& call, HRESULT code, int occurrence = 1);
    // Makes every call of `call` from now on return `code`.
    void FailAlways(const std::string& call, HRESULT code);
    void ClearFailures();

    const std::vector<std::string>& Log() const { return FState->Log; }
    void ClearLog() { FState->Log.clear(); }
    // How many times `call` appears in the log.
    int Count(const std::string& call) const;

private:
    std::shared_ptr<TState> FState;
    std::shared_ptr<TD3DPlatform> FInner;
};
