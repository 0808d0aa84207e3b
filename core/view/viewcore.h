// The orthographic view without its window: view state, projection, coordinate read-out,
// keyboard commands and the wireframe painter. Drawing goes to an abstract canvas, so the view
// window, quillmark-cli and the tests share one code path.
#pragma once

#include "view/keycodes.h"
#include "view/matrix3d.h"
#include "model/model.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

enum TViewPlane : std::uint8_t
{
    vpFront = 0,
    vpSide = 1,
    vpTop = 2
};

enum TProjection : std::uint8_t
{
    prParallel = 0,
    prPerspective = 1
};

enum TPickMode : std::uint8_t
{
    pkVertex = 0,
    pkPolygon = 1
};

// Modifier keys held when a key is released (a set of these flags).
enum TShiftFlag : unsigned
{
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4
};

// Creation values and the step settings the system leaves open.
inline constexpr double kDefaultZoom = 1000.0;
// 10 pixels at the default zoom: dense enough to judge a model of typical radius 0.1 to 1.
inline constexpr double kDefaultGridSpacing = 0.01;
// Exactly representable, so keypad + then keypad - gives the zoom back exactly in most cases.
inline constexpr double kDefaultZoomFactor = 1.25;
// 50 and 5 pixels at the default zoom.
inline constexpr double kDefaultPanStep = 0.05;
inline constexpr double kDefaultFinePanStep = 0.005;
// Grid dots closer than this (in pixels) are thinned to every 2nd, 4th, ... multiple.
inline constexpr double kMinGridDotDistance = 3.0;

// The projection's working record.
struct TProjPoint
{
    double x = 0, y = 0, z = 0;
    std::int32_t sx = 0, sy = 0;
};

struct TCanvasPoint
{
    std::int32_t X = 0, Y = 0;
};

// What the view needs of a drawing surface. Colours are 0x00BBGGRR. Coordinates are pixels,
// origin top-left, y down, and may lie anywhere in the 32-bit range: the canvas clips.
class TViewCanvas
{
public:
    virtual ~TViewCanvas() = default;
    virtual void SetPenColor(std::int32_t color) = 0;
    // Closed outline through the points, last joined to first, not filled. Fewer than two
    // points draw nothing.
    virtual void Polygon(std::span<const TCanvasPoint> points) = 0;
    // Hollow rectangle; the right and bottom edges are exclusive (x2 - 1, y2 - 1 are drawn).
    virtual void Rectangle(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) = 0;
    virtual void MoveTo(std::int32_t x, std::int32_t y) = 0;
    // Line from the current position to (x, y), end pixel excluded; (x, y) becomes current.
    virtual void LineTo(std::int32_t x, std::int32_t y) = 0;
    virtual void SetPixel(std::int32_t x, std::int32_t y, std::int32_t color) = 0;
};

// The model a paint reads. Nothing is copied: the pointers must outlive the paint.
struct TViewScene
{
    const T3DO* Model = nullptr;
    const TNodeList* Nodes = nullptr;
    std::uint16_t GeoSet = 0;
    std::uint16_t Mesh = 0;
};

// The process-wide current model, node list and indices.
TViewScene CurrentScene();

// Nearest 32-bit integer, halves to even. Values beyond the range clamp to its ends; NaN gives
// the lowest value (far off-screen).
std::int32_t Nearest(double v);

// The "%12.6f" text without leading blanks, as the read-out writes each number.
std::string FormatReadoutNumber(double v);

// One view's state and its drawing. Fields are public: the window and the tests drive them.
// Model lookups go through the lists' Get, so an index the model does not hold throws
// EListError and abandons the rest of the paint.
class TViewCore
{
public:
    TViewPlane FPlane = vpFront;
    TProjection FProjection = prParallel;
    double FZoom = kDefaultZoom;
    std::int32_t FCenterX = 0, FCenterY = 0;
    double FPanX = 0, FPanY = 0;
    double FDepth = 0;
    TPickMode FPickMode = pkPolygon;
    bool FUseOffsets = true;
    bool FShowGrid = false;
    bool FShowBoxes = false;
    bool FShowHierarchy = true;
    double FGridSpacing = kDefaultGridSpacing;
    double FZoomFactor = kDefaultZoomFactor;
    double FPanStep = kDefaultPanStep;
    double FFinePanStep = kDefaultFinePanStep;
    TMatrix3D FMatrix;
    std::int32_t FLastMouseX = 0, FLastMouseY = 0;

    TViewCore();

    // Creation values for a paint area of the given size; pan, depth and projection stay.
    void ResetView(int matWidth, int matHeight);
    // Keeps the model point at the centre in the centre.
    void Resize(int matWidth, int matHeight);

    std::int32_t ModelToScreenX(double h) const;
    std::int32_t ModelToScreenY(double v) const;
    double ScreenToModelX(std::int32_t sx) const;
    double ScreenToModelY(std::int32_t sy) const;
    void ScreenToModel(std::int32_t sx, std::int32_t sy, double& x, double& y, double& z) const;

    // Fill sx, sy from x, y, z. They return false for a point that cannot be shown: NaN, or in
    // perspective a point at or behind the eye (y <= 0).
    bool ProjectParallel(TProjPoint& p) const;
    bool ProjectPerspective(TProjPoint& p) const;

    // Panel 0's text for the pointer at (sx, sy): "(x, z, @d)" and its plane variants.
    std::string ReadoutText(std::int32_t sx, std::int32_t sy) const;

    // The key table, acting on release. `shift` is a set of TShiftFlag; only none, Shift alone
    // and Ctrl alone select commands. Returns whether a command ran.
    bool KeyCommand(std::uint16_t key, unsigned shift);

    void DrawFace(TViewCanvas& canvas, const TViewScene& scene, int geoSet, int mesh, int face);
    void DrawBox(TViewCanvas& canvas, double ax, double ay, double az, double bx, double by,
                 double bz) const;
    // Node n's mesh, then its children, then its following siblings. Iterative, and a node
    // met a second time in one walk is skipped, so cyclic links terminate.
    void DrawNode(TViewCanvas& canvas, const TViewScene& scene, std::int32_t n);
    // Dots at whole multiples of the spacing over a window of width x height pixels.
    void DrawGrid(TViewCanvas& canvas, int width, int height) const;
    // Grid, then the hierarchy from every root or the current mesh alone. Does not clear.
    // width and height are the window's outer size, which the grid covers.
    void PaintView(TViewCanvas& canvas, const TViewScene& scene, int width, int height);

private:
    bool Project(TProjPoint& p) const;
    void DrawMeshFace(TViewCanvas& canvas, const T3DOMesh& mesh, const T3DOFace& face) const;
    void DrawMesh(TViewCanvas& canvas, const T3DOMesh& mesh) const;

    // Scratch for DrawNode's walk, kept to avoid allocating on every paint.
    std::vector<std::uint32_t> FVisited;
    std::uint32_t FVisitStamp = 0;
    std::vector<std::int32_t> FNodeStack;
};
