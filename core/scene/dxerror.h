// DirectX result codes: the check that turns a failed code into EDirectX, the release of
// held interfaces, and the floating-point set-up the 3D layer relies on.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

using HRESULT = std::int32_t;

inline constexpr const char* kUnrecognizedError = "Unrecognized error value.";
// The failed code in hexadecimal, then its text.
inline constexpr const char* kDirectXCallFailed = "DirectX call failed: %s\r%s";
inline constexpr const char* kCOMReleaseOfNull = "COMRelease of NULL object";

inline constexpr HRESULT DD_OK = 0;
inline constexpr HRESULT D3DRM_OK = 0;
// Codes of DirectDraw, Direct3D and Retained Mode: failure bit, facility 0x876, a number.
inline constexpr HRESULT kDXFacility = static_cast<HRESULT>(0x88760000u);
// General COM codes the layer returns (not in the text table).
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);

inline constexpr HRESULT DDERR_UNSUPPORTED = static_cast<HRESULT>(0x80000001u);
inline constexpr HRESULT DDERR_OUTOFMEMORY = static_cast<HRESULT>(0x80000002u);
inline constexpr HRESULT DDERR_INVALIDPARAMS = static_cast<HRESULT>(0x80000003u);
inline constexpr HRESULT DDERR_GENERIC = static_cast<HRESULT>(0x80000008u);
inline constexpr HRESULT DDERR_ALREADYINITIALIZED = kDXFacility + 5;
inline constexpr HRESULT DDERR_CANNOTATTACHSURFACE = kDXFacility + 10;
inline constexpr HRESULT DDERR_CANNOTDETACHSURFACE = kDXFacility + 20;
inline constexpr HRESULT DDERR_CURRENTLYNOTAVAIL = kDXFacility + 40;
inline constexpr HRESULT DDERR_EXCEPTION = kDXFacility + 55;
inline constexpr HRESULT DDERR_HEIGHTALIGN = kDXFacility + 90;
inline constexpr HRESULT DDERR_INCOMPATIBLEPRIMARY = kDXFacility + 95;
inline constexpr HRESULT DDERR_INVALIDCAPS = kDXFacility + 100;
inline constexpr HRESULT DDERR_INVALIDCLIPLIST = kDXFacility + 110;
inline constexpr HRESULT DDERR_INVALIDMODE = kDXFacility + 120;
inline constexpr HRESULT DDERR_INVALIDOBJECT = kDXFacility + 130;
inline constexpr HRESULT DDERR_INVALIDPIXELFORMAT = kDXFacility + 145;
inline constexpr HRESULT DDERR_INVALIDRECT = kDXFacility + 150;
inline constexpr HRESULT DDERR_LOCKEDSURFACES = kDXFacility + 160;
inline constexpr HRESULT DDERR_NO3D = kDXFacility + 170;
inline constexpr HRESULT DDERR_NOALPHAHW = kDXFacility + 180;
inline constexpr HRESULT DDERR_NOCLIPLIST = kDXFacility + 205;
inline constexpr HRESULT DDERR_NOCOLORCONVHW = kDXFacility + 210;
inline constexpr HRESULT DDERR_NOCOOPERATIVELEVELSET = kDXFacility + 212;
inline constexpr HRESULT DDERR_NOCOLORKEY = kDXFacility + 215;
inline constexpr HRESULT DDERR_NOCOLORKEYHW = kDXFacility + 220;
inline constexpr HRESULT DDERR_NOEXCLUSIVEMODE = kDXFacility + 225;
inline constexpr HRESULT DDERR_NOFLIPHW = kDXFacility + 230;
inline constexpr HRESULT DDERR_NOGDI = kDXFacility + 240;
inline constexpr HRESULT DDERR_NOMIRRORHW = kDXFacility + 250;
inline constexpr HRESULT DDERR_NOTFOUND = kDXFacility + 255;
inline constexpr HRESULT DDERR_NOOVERLAYHW = kDXFacility + 260;
inline constexpr HRESULT DDERR_NORASTEROPHW = kDXFacility + 280;
inline constexpr HRESULT DDERR_NOROTATIONHW = kDXFacility + 290;
inline constexpr HRESULT DDERR_NOSTRETCHHW = kDXFacility + 310;
inline constexpr HRESULT DDERR_NOT4BITCOLOR = kDXFacility + 316;
inline constexpr HRESULT DDERR_NOT4BITCOLORINDEX = kDXFacility + 317;
inline constexpr HRESULT DDERR_NOT8BITCOLOR = kDXFacility + 320;
inline constexpr HRESULT DDERR_NOTEXTUREHW = kDXFacility + 330;
inline constexpr HRESULT DDERR_NOVSYNCHW = kDXFacility + 335;
inline constexpr HRESULT DDERR_NOZBUFFERHW = kDXFacility + 340;
inline constexpr HRESULT DDERR_NOZOVERLAYHW = kDXFacility + 350;
inline constexpr HRESULT DDERR_OUTOFCAPS = kDXFacility + 360;
inline constexpr HRESULT DDERR_OUTOFVIDEOMEMORY = kDXFacility + 380;
inline constexpr HRESULT DDERR_OVERLAYCANTCLIP = kDXFacility + 382;
inline constexpr HRESULT DDERR_OVERLAYCOLORKEYONLYONEACTIVE = kDXFacility + 384;
inline constexpr HRESULT DDERR_PALETTEBUSY = kDXFacility + 387;
inline constexpr HRESULT DDERR_COLORKEYNOTSET = kDXFacility + 400;
inline constexpr HRESULT DDERR_SURFACEALREADYATTACHED = kDXFacility + 410;
inline constexpr HRESULT DDERR_SURFACEALREADYDEPENDENT = kDXFacility + 420;
inline constexpr HRESULT DDERR_SURFACEBUSY = kDXFacility + 430;
inline constexpr HRESULT DDERR_SURFACEISOBSCURED = kDXFacility + 440;
inline constexpr HRESULT DDERR_SURFACELOST = kDXFacility + 450;
inline constexpr HRESULT DDERR_SURFACENOTATTACHED = kDXFacility + 460;
inline constexpr HRESULT DDERR_TOOBIGHEIGHT = kDXFacility + 470;
inline constexpr HRESULT DDERR_TOOBIGSIZE = kDXFacility + 480;
inline constexpr HRESULT DDERR_TOOBIGWIDTH = kDXFacility + 490;
inline constexpr HRESULT DDERR_UNSUPPORTEDFORMAT = kDXFacility + 510;
inline constexpr HRESULT DDERR_UNSUPPORTEDMASK = kDXFacility + 520;
inline constexpr HRESULT DDERR_VERTICALBLANKINPROGRESS = kDXFacility + 537;
inline constexpr HRESULT DDERR_WASSTILLDRAWING = kDXFacility + 540;
inline constexpr HRESULT DDERR_XALIGN = kDXFacility + 560;
inline constexpr HRESULT DDERR_INVALIDDIRECTDRAWGUID = kDXFacility + 561;
inline constexpr HRESULT DDERR_DIRECTDRAWALREADYCREATED = kDXFacility + 562;
inline constexpr HRESULT DDERR_NODIRECTDRAWHW = kDXFacility + 563;
inline constexpr HRESULT DDERR_PRIMARYSURFACEALREADYEXISTS = kDXFacility + 564;
inline constexpr HRESULT DDERR_NOEMULATION = kDXFacility + 565;
inline constexpr HRESULT DDERR_REGIONTOOSMALL = kDXFacility + 566;
inline constexpr HRESULT DDERR_CLIPPERISUSINGHWND = kDXFacility + 567;
inline constexpr HRESULT DDERR_NOCLIPPERATTACHED = kDXFacility + 568;
inline constexpr HRESULT DDERR_NOHWND = kDXFacility + 569;
inline constexpr HRESULT DDERR_HWNDSUBCLASSED = kDXFacility + 570;
inline constexpr HRESULT DDERR_HWNDALREADYSET = kDXFacility + 571;
inline constexpr HRESULT DDERR_NOPALETTEATTACHED = kDXFacility + 572;
inline constexpr HRESULT DDERR_NOPALETTEHW = kDXFacility + 573;
inline constexpr HRESULT DDERR_BLTFASTCANTCLIP = kDXFacility + 574;
inline constexpr HRESULT DDERR_NOBLTHW = kDXFacility + 575;
inline constexpr HRESULT DDERR_NODDROPSHW = kDXFacility + 576;
inline constexpr HRESULT DDERR_OVERLAYNOTVISIBLE = kDXFacility + 577;
inline constexpr HRESULT DDERR_NOOVERLAYDEST = kDXFacility + 578;
inline constexpr HRESULT DDERR_INVALIDPOSITION = kDXFacility + 579;
inline constexpr HRESULT DDERR_NOTAOVERLAYSURFACE = kDXFacility + 580;
inline constexpr HRESULT DDERR_EXCLUSIVEMODEALREADYSET = kDXFacility + 581;
inline constexpr HRESULT DDERR_NOTFLIPPABLE = kDXFacility + 582;
inline constexpr HRESULT DDERR_CANTDUPLICATE = kDXFacility + 583;
inline constexpr HRESULT DDERR_NOTLOCKED = kDXFacility + 584;
inline constexpr HRESULT DDERR_CANTCREATEDC = kDXFacility + 585;
inline constexpr HRESULT DDERR_NODC = kDXFacility + 586;
inline constexpr HRESULT DDERR_WRONGMODE = kDXFacility + 587;
inline constexpr HRESULT DDERR_IMPLICITLYCREATED = kDXFacility + 588;
inline constexpr HRESULT DDERR_NOTPALETTIZED = kDXFacility + 589;
inline constexpr HRESULT D3DERR_BADMAJORVERSION = kDXFacility + 700;
inline constexpr HRESULT D3DERR_BADMINORVERSION = kDXFacility + 701;
inline constexpr HRESULT D3DERR_EXECUTE_CREATE_FAILED = kDXFacility + 710;
inline constexpr HRESULT D3DERR_EXECUTE_DESTROY_FAILED = kDXFacility + 711;
inline constexpr HRESULT D3DERR_EXECUTE_LOCK_FAILED = kDXFacility + 712;
inline constexpr HRESULT D3DERR_EXECUTE_UNLOCK_FAILED = kDXFacility + 713;
inline constexpr HRESULT D3DERR_EXECUTE_LOCKED = kDXFacility + 714;
inline constexpr HRESULT D3DERR_EXECUTE_NOT_LOCKED = kDXFacility + 715;
inline constexpr HRESULT D3DERR_EXECUTE_FAILED = kDXFacility + 716;
inline constexpr HRESULT D3DERR_EXECUTE_CLIPPED_FAILED = kDXFacility + 717;
inline constexpr HRESULT D3DERR_TEXTURE_NO_SUPPORT = kDXFacility + 720;
inline constexpr HRESULT D3DERR_TEXTURE_CREATE_FAILED = kDXFacility + 721;
inline constexpr HRESULT D3DERR_TEXTURE_DESTROY_FAILED = kDXFacility + 722;
inline constexpr HRESULT D3DERR_TEXTURE_LOCK_FAILED = kDXFacility + 723;
inline constexpr HRESULT D3DERR_TEXTURE_UNLOCK_FAILED = kDXFacility + 724;
inline constexpr HRESULT D3DERR_TEXTURE_LOAD_FAILED = kDXFacility + 725;
inline constexpr HRESULT D3DERR_TEXTURELOCKED = kDXFacility + 727;
inline constexpr HRESULT D3DERR_TEXTURE_NOT_LOCKED = kDXFacility + 728;
inline constexpr HRESULT D3DERR_MATRIX_CREATE_FAILED = kDXFacility + 730;
inline constexpr HRESULT D3DERR_MATRIX_DESTROY_FAILED = kDXFacility + 731;
inline constexpr HRESULT D3DERR_MATRIX_SETDATA_FAILED = kDXFacility + 732;
inline constexpr HRESULT D3DERR_SETVIEWPORTDATA_FAILED = kDXFacility + 734;
inline constexpr HRESULT D3DERR_MATERIAL_CREATE_FAILED = kDXFacility + 740;
inline constexpr HRESULT D3DERR_MATERIAL_DESTROY_FAILED = kDXFacility + 741;
inline constexpr HRESULT D3DERR_MATERIAL_SETDATA_FAILED = kDXFacility + 742;
inline constexpr HRESULT D3DERR_LIGHT_SET_FAILED = kDXFacility + 750;
inline constexpr HRESULT D3DRMERR_BADOBJECT = kDXFacility + 781;
inline constexpr HRESULT D3DRMERR_BADTYPE = kDXFacility + 782;
inline constexpr HRESULT D3DRMERR_BADALLOC = kDXFacility + 783;
inline constexpr HRESULT D3DRMERR_FACEUSED = kDXFacility + 784;
inline constexpr HRESULT D3DRMERR_NOTFOUND = kDXFacility + 785;
inline constexpr HRESULT D3DRMERR_NOTDONEYET = kDXFacility + 786;
inline constexpr HRESULT D3DRMERR_FILENOTFOUND = kDXFacility + 787;
inline constexpr HRESULT D3DRMERR_BADFILE = kDXFacility + 788;
inline constexpr HRESULT D3DRMERR_BADDEVICE = kDXFacility + 789;
inline constexpr HRESULT D3DRMERR_BADVALUE = kDXFacility + 790;
inline constexpr HRESULT D3DRMERR_BADMAJORVERSION = kDXFacility + 791;
inline constexpr HRESULT D3DRMERR_BADMINORVERSION = kDXFacility + 792;
inline constexpr HRESULT D3DRMERR_UNABLETOEXECUTE = kDXFacility + 793;

// Failure of a DirectX call; what() is "DirectX call failed: " + hex code + CR + text.
class EDirectX : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The readable text of a code; "Unrecognized error value." for codes not in the table.
const char* DXErrorText(HRESULT code);
// The EDirectX message for a code: "DirectX call failed: %x%s%s" with the code, CR, text.
std::string DXErrorMessage(HRESULT code);

// Returns for 0; any other code raises EDirectX.
void DXCheck(HRESULT code);

// Keeps the code for a later DXCheck (after clean-up) and tells whether it is a failure.
inline bool DXFailed(HRESULT& kept, HRESULT code)
{
    kept = code;
    return code != 0;
}

// Shows a plain message box captioned with the application title. The application installs
// its own; the default writes the text to stderr. An empty hook restores the default.
using TMessageBoxHook = std::function<void(const std::string&)>;
void SetMessageBoxHook(TMessageBoxHook hook);
void ShowMessageBox(const std::string& text);

// Releases a held interface and empties the variable. Works on any holder that tests as
// empty or not and has reset() (std::shared_ptr and the 3D layer's pointers). An empty
// variable is reported with "COMRelease of NULL object"; nothing is raised.
template <class THolder> void COMRelease(THolder& holder)
{
    if (!holder)
    {
        ShowMessageBox(kCOMReleaseOfNull);
        return;
    }
    holder.reset();
}

// Masks the floating-point invalid-operation and zero-divide traps for the whole run, so
// such operations give infinities and NaNs. Called once at start-up.
void MaskFloatingPointExceptions();
