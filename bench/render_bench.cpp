// Software frames per second at the preview's size on the .X files of the benchmark models,
// through the same calls the preview makes per frame (Move, Clear, Render), without Qt; and the
// real-size model textured with its materials.
#include "benchmaterials.h"
#include "benchmodels.h"
#include "scene/d3drm.h"
#include "game/facelooks.h"
#include "model/loader.h"
#include "raster/softraster.h"

#include <benchmark/benchmark.h>

#include <string>

namespace
{
constexpr int kWidth = 505;
constexpr int kHeight = 377;

// The looks of geoset 0 of a benchmark model with its materials from the benchmark game folder;
// none when `textured` is false.
TFaceLooks Looks(int megabytes, bool textured)
{
    if (!textured)
        return {};
    TSilentProgress progress;
    const TLoadedModel loaded = Parse3DOFile(benchmodels::Model3DO(megabytes), progress);
    return LoadModelLooks(*loaded.Model, 0, benchmaterials::ModelInGameFolder(), {}, {}).Faces;
}

void RenderModel(benchmark::State& state, bool textured)
{
    const int megabytes = static_cast<int>(state.range(0));
    const std::string file = benchmodels::ModelX(megabytes);
    const TFaceLooks looks = Looks(megabytes, textured);
    if (textured && looks.Empty())
        state.SkipWithError("no materials");
    LPDIRECT3DRM d3drm;
    Direct3DRMCreate(d3drm);
    LPDIRECTDRAWCLIPPER clipper;
    DirectDrawCreateClipper(0, clipper, nullptr);
    LPDIRECT3DRMFRAME scene, camera, lights, model;
    d3drm->CreateFrame(nullptr, scene);
    d3drm->CreateFrame(scene, camera);
    d3drm->CreateFrame(scene, lights);
    LPDIRECT3DRMLIGHT light;
    d3drm->CreateLightRGB(D3DRMLIGHT_DIRECTIONAL, 0.9f, 0.9f, 0.9f, light);
    lights->AddLight(light);
    d3drm->CreateLightRGB(D3DRMLIGHT_AMBIENT, 0.1f, 0.1f, 0.1f, light);
    lights->AddLight(light);
    lights->SetPosition(scene, 2, 0, 22);
    d3drm->CreateFrame(scene, model);
    LPDIRECT3DRMMESHBUILDER builder;
    d3drm->CreateMeshBuilder(builder);
    if (builder->Load(file, nullptr, D3DRMLOAD_FROMFILE, nullptr, nullptr) != D3DRM_OK)
        state.SkipWithError("load failed");
    if (textured && builder->SetFaceLooks(looks) != D3DRM_OK)
        state.SkipWithError("looks do not fit");
    builder->Scale(2, 2, 2);
    model->AddVisual(builder);
    // Where ResetView puts the camera for a box of size 4: s = (4 + 1) * 2.
    camera->SetPosition(scene, -3, 3, -10);
    camera->SetOrientation(scene, 0.3f, -0.3f, 1, 0, 1, 0);
    model->SetRotation(scene, 0, -1, 0, 0.0025f);
    LPDIRECT3DRMDEVICE device;
    d3drm->CreateDeviceFromClipper(clipper, nullptr, kWidth, kHeight, device);
    device->SetShades(256);
    LPDIRECT3DRMVIEWPORT viewport;
    d3drm->CreateViewport(device, camera, 0, 0, kWidth, kHeight, viewport);
    viewport->SetBack(5000);
    for (auto _ : state)
    {
        scene->Move(1.0f);
        viewport->Clear();
        viewport->Render(scene);
        benchmark::DoNotOptimize(device->GetFrameBuffer().Pixels.data());
    }
    state.counters["faces"] = builder->GetFaceCount();
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_RenderModel(benchmark::State& state)
{
    RenderModel(state, false);
}

// Added: the same with every face textured from the model's 17 materials.
void BM_RenderModelTextured(benchmark::State& state)
{
    RenderModel(state, true);
}
} // namespace

BENCHMARK(BM_RenderModelTextured)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_RenderModel)
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK_MAIN();
