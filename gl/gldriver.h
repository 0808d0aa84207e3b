// The OpenGL device driver of the 3D layer: the same flat-shaded, lit, depth-tested picture as
// the software rasterizer, drawn by OpenGL into an offscreen framebuffer and read back.
#pragma once

#include "scene/d3ddriver.h"

#include <memory>
#include <string>

inline constexpr GUID kOpenGLDriverGuid = {
    0x51756C6D, 0x4F47, 0x0001, {0x80, 0x00, 0x51, 0x75, 0x69, 0x6C, 0x6C, 0x32}};
inline constexpr const char* kOpenGLDriverName = "OpenGL";

// Whether this process can make an OpenGL context with framebuffer objects. Needs a
// QGuiApplication; the answer is worked out once.
bool OpenGLAvailable();

// The renderer string of this process's OpenGL ("llvmpipe (LLVM ...)"), empty without OpenGL.
std::string OpenGLRenderer();

// Registers the OpenGL driver with the 3D layer when OpenGL is available and, if
// `makeDefault` and OpenGL runs on graphics hardware (not IsSoftwareOpenGLRenderer), makes it
// the driver used without a GUID. Returns whether it was registered.
// Needs a QGuiApplication; call it before the drivers are first enumerated. Only the first
// call in a process acts; later ones give its answer and leave the default driver alone.
bool RegisterOpenGLDriver(bool makeDefault = true);

// For programs without a Qt application (the command line): registers the OpenGL driver
// without testing for it. A device made with it starts a QGuiApplication on the platform
// QT_QPA_PLATFORM names (else, on Linux, "offscreen", which needs an X display for OpenGL;
// elsewhere the system's own platform) and keeps it until the last such device goes; without
// a context the device is refused (D3DRMERR_BADDEVICE).
void RegisterOpenGLDriverOnDemand();

// One OpenGL device picture. Exposed for tests and benchmarks; devices make it through the
// registered driver. Nullptr when OpenGL is not available.
std::unique_ptr<TDeviceDriver> CreateOpenGLDriver(int width, int height);
