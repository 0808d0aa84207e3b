// Software frames per second at the preview's size, for a model of real size and a huge one,
// through the same calls the preview makes per frame (Move, Clear, Render).
#include "d3drm.h"
#include "softraster.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{
constexpr int kWidth = 505;
constexpr int kHeight = 377;

// A closed sphere of radius 1 made of rings x segments quads, written as a .X file.
std::string WriteSphere(int rings, int segments)
{
    const std::string path =
        (std::filesystem::temp_directory_path() /
         ("quillmark_sphere_" + std::to_string(rings) + "x" + std::to_string(segments) + ".x"))
            .string();
    std::ofstream out(path, std::ios::binary);
    out << "xof 0302txt 0064\nMesh {\n " << (rings + 1) * segments << ";\n";
    char line[96];
    const double pi = 3.14159265358979323846;
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s < segments; ++s)
        {
            const double theta = pi * r / rings, phi = 2 * pi * s / segments;
            std::snprintf(line, sizeof line, " %.6f;%.6f;%.6f;,\n", std::sin(theta) * std::cos(phi),
                          std::cos(theta), std::sin(theta) * std::sin(phi));
            out << line;
        }
    out << " " << rings * segments << ";\n";
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s)
        {
            const int a = r * segments + s, b = r * segments + (s + 1) % segments;
            out << " 4;" << a << "," << b << "," << b + segments << "," << a + segments << ";,\n";
        }
    out << "}\n";
    return path;
}

void RenderModel(benchmark::State& state, int rings, int segments)
{
    const std::string file = WriteSphere(rings, segments);
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
    std::filesystem::remove(file);
}

void BM_RenderRealModel(benchmark::State& state)
{
    RenderModel(state, 50, 80); // 4000 faces
}

void BM_RenderHugeModel(benchmark::State& state)
{
    RenderModel(state, 1000, 2000); // 2 000 000 faces
}
} // namespace

BENCHMARK(BM_RenderRealModel)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderHugeModel)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK_MAIN();
