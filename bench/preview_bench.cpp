// The preview window: frames per second on each driver for the benchmark models, and the time from
// a .3do file to the first frame on screen (load, .X conversion, form creation with scene and
// model, one rendered and painted frame), and the memory a closed preview of the 100 MB model
// leaves held. Needs an X display for the OpenGL rows: run it under xvfb-run. Frames are
// uncapped (QUILLMARK_NO_FRAME_CAP=1), so the rates are the drivers' and compare with earlier runs.
#include "F_D3D.h"
#include "benchmaterials.h"
#include "benchmodels.h"
#include "game/facelooks.h"
#include "U_Idle.h"
#include "gldriver.h"
#include "model/loader.h"
#include "model/model.h"
#include "formats/xexport.h"
#include "base/platform.h"
#include "scene/framepace.h"

#include <QApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace
{
// Converts geoset 0 of a .3do file as the main window does; returns the .X file.
std::string Convert(const std::string& file, const std::string& xName)
{
    TSilentProgress progress;
    const TLoadedModel loaded = Parse3DOFile(file, progress);
    const std::string xFile = benchmodels::TempPath(xName);
    WriteXFile(xFile, *loaded.Model, *loaded.Nodes, 0);
    return xFile;
}

int DriverIndex(const TD3DRMWindow& w, const std::string& name)
{
    for (int i = 0; i < w.DriverCount(); ++i)
        if (w.DriverNames(i) == name)
            return i;
    return -1;
}

int FaceCount(const std::string& xFile)
{
    LPDIRECT3DRM d3drm;
    LPDIRECT3DRMMESHBUILDER builder;
    DXCheck(Direct3DRMCreate(d3drm));
    DXCheck(d3drm->CreateMeshBuilder(builder));
    DXCheck(builder->Load(xFile, nullptr, D3DRMLOAD_FROMFILE, nullptr, nullptr));
    return builder->GetFaceCount();
}

void ShowAndSettle(TD3DForm& form)
{
    form.show();
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
}

// One iteration is one idle call of the newest preview: pending events (the paint of the last
// frame among them), then a new frame. Rates are per second of wall time, since both drivers
// also work on other threads.
void PreviewFrames(benchmark::State& state, const std::string& driver, const std::string& model,
                   const TFaceLooks& looks)
{
    std::unique_ptr<TD3DForm> form(TD3DForm::Create(nullptr, model));
    if (!looks.Empty())
    {
        // Added: the model again, with the looks of its materials, turning as before.
        form->D3DWin->SetFaceLooks(looks);
        form->D3DWin->LoadModel(model);
        DXCheck(form->D3DWin->ModelFrame()->SetRotation(form->D3DWin->Scene(), 0, -1, 0,
                                                        RotationPerFrame(1)));
    }
    // Added: the benchmark makes the idle calls itself.
    ClearApplicationIdleHandler(form->D3DWin);
    form->Timer->stop();
    ShowAndSettle(*form);
    const int index = DriverIndex(*form->D3DWin, driver);
    if (index < 0)
    {
        state.SkipWithError("driver not available");
        return;
    }
    form->D3DWin->SetDriverIndex(index);
    bool done = false;
    for (auto _ : state)
        form->D3DWin->IdleHandler(qApp, done);
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["faces"] = FaceCount(model);
    state.counters["width"] = form->D3DWin->width();
    state.counters["height"] = form->D3DWin->height();
}

// The process's resident memory in MB (10^6 bytes).
double ResidentMB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key)
    {
        if (key == "VmRSS:")
        {
            double kb = 0;
            status >> kb;
            return kb * 1024 / 1e6;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

// As a user does it in the main window: open the big model (load, convert, preview, a frame),
// close its preview, open a small model the same way; then what the process holds. The closed
// preview stays alive, hidden, as closed previews do.
void MemoryAfterClosing(benchmark::State& state, const std::string& big, const std::string& small)
{
    const std::string xFile = benchmodels::TempPath("quillmark_preview_memory.x");
    auto open = [&](const std::string& file)
    {
        TSilentProgress progress;
        Load3DO(file, progress);
        WriteXFile(xFile, *CurrentModel, *HierarchyNodes, 0);
        std::unique_ptr<TD3DForm> form(TD3DForm::Create(nullptr, xFile));
        ShowAndSettle(*form);
        form->D3DWin->RenderFrame();
        form->D3DWin->repaint();
        return form;
    };
    for (auto _ : state)
    {
        std::unique_ptr<TD3DForm> first = open(big);
        state.counters["open_mb"] = ResidentMB();
        first->close();
        QCoreApplication::processEvents();
        std::unique_ptr<TD3DForm> second = open(small);
        state.counters["after_mb"] = ResidentMB();
    }
    CreateEmptyModel();
}

void FileToFirstFrame(benchmark::State& state, const GUID& driver, const std::string& file)
{
    if (driver == kOpenGLDriverGuid && !OpenGLAvailable())
    {
        state.SkipWithError("OpenGL not available");
        return;
    }
    SetDefaultD3DDriver(driver);
    for (auto _ : state)
    {
        const std::string xFile = Convert(file, "quillmark_preview_bench.x");
        std::unique_ptr<TD3DForm> form(TD3DForm::Create(nullptr, xFile));
        form->show();
        form->D3DWin->RenderFrame();
        form->D3DWin->repaint();
        state.PauseTiming();
        form.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    SetDefaultD3DDriver(OpenGLAvailable() ? kOpenGLDriverGuid : kSoftwareDriverGuid);
}
} // namespace

int main(int argc, char** argv)
{
    // The design's loop: frames as fast as idle time allows, so rates compare across runs.
    SetEnvironmentValue(kNoFrameCapVariable, "1");
    QApplication application(argc, argv);
    RegisterOpenGLDriver();
    benchmark::Initialize(&argc, argv);

    // First, while the heap holds nothing of other rows.
    benchmark::RegisterBenchmark(
        ("PreviewMemoryAfterClose/" + std::to_string(benchmodels::kSizes[2])).c_str(),
        MemoryAfterClosing, benchmodels::Model3DO(benchmodels::kSizes[2]),
        benchmodels::Model3DO(benchmodels::kRealSized))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(1);

    for (const char* driver : {kSoftwareDriverName, kOpenGLDriverName})
    {
        const std::string name = driver == std::string(kOpenGLDriverName) ? "opengl" : "software";
        for (const int mb : benchmodels::kSizes)
            benchmark::RegisterBenchmark(
                ("PreviewFrames/" + name + "/" + std::to_string(mb)).c_str(), PreviewFrames,
                std::string(driver), benchmodels::ModelX(mb), TFaceLooks{})
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->MinTime(1);
        // Added: the model of real size textured with its materials.
        TSilentProgress progress;
        const TLoadedModel loaded =
            Parse3DOFile(benchmodels::Model3DO(benchmodels::kRealSized), progress);
        benchmark::RegisterBenchmark(
            ("PreviewFrames/" + name + "-textured/" + std::to_string(benchmodels::kRealSized))
                .c_str(),
            PreviewFrames, std::string(driver), benchmodels::ModelX(benchmodels::kRealSized),
            LoadModelLooks(*loaded.Model, 0, benchmaterials::ModelInGameFolder(), {}, {}).Faces)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(1);
    }
    for (const auto& [name, guid] :
         {std::pair{"software", kSoftwareDriverGuid}, std::pair{"opengl", kOpenGLDriverGuid}})
        for (const int mb : benchmodels::kSizes)
            benchmark::RegisterBenchmark(
                (std::string("FileToFirstFrame/") + name + "/" + std::to_string(mb)).c_str(),
                FileToFirstFrame, guid, benchmodels::Model3DO(mb))
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->MinTime(mb >= 100 ? 4 : 1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
