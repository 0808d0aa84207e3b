// The archive browser on an archive of 1,000 models of real size (20 to 70 KB each, laid out as
// the game's files are): the time from opening it to the thumbnails of the first screenful and
// to all of them, and the longest gap between two paints of the list meanwhile, while the list
// is asked to repaint at 60 frames a second and, once the first screenful is there, scrolls a
// row at a time as a user would. Run it under xvfb-run.
#include "F_Archive.h"
#include "F_Main.h"
#include "dialogs.h"
#include "scene/dxerror.h"
#include "thumbnailer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr int kModels = 1000;
constexpr int kSegments = 16;
constexpr double kPi = 3.14159265358979323846;

// One torus mesh of `rings` x 16 vertices, as synthetic3do.h writes its meshes; 4 rings make a
// model of about 20 KB, 15 rings one of about 70 KB.
std::string ModelText(int rings, std::mt19937& rng)
{
    std::string text;
    char line[256];
    const auto put = [&](const char* format, auto... args)
    {
        std::snprintf(line, sizeof line, format, args...);
        text += line;
        text += "\r\n";
    };
    std::uniform_real_distribution<double> unit(-1, 1);
    std::uniform_real_distribution<double> uv(0, 64);
    const int vertices = rings * kSegments;
    const int faces = vertices * 3 / 2;
    put("# MODEL 'browser.3do' created by browser_bench");
    put("");
    put("SECTION: HEADER");
    put("3DO 2.1");
    put("");
    put("SECTION: MODELRESOURCE");
    put("MATERIALS 1");
    put("%6d:%18s", 0, "dflt.mat");
    put("");
    put("SECTION: GEOMETRYDEF");
    put("RADIUS %12.6f", 0.3);
    put("INSERT OFFSET %12.6f %12.6f %12.6f", 0.0, 0.0, 0.0);
    put("GEOSETS 1");
    put("GEOSET 0");
    put("MESHES 1");
    put("MESH 0");
    put("NAME     torus");
    put("RADIUS %12.6f", 0.25);
    put("GEOMETRYMODE 4");
    put("LIGHTINGMODE 3");
    put("TEXTUREMODE 0");
    put("");
    put("VERTICES %d", vertices);
    put("# num:     x:         y:         z:         i: ");
    for (int i = 0; i < vertices; ++i)
    {
        const double a = 2 * kPi * (i / kSegments) / rings;
        const double b = 2 * kPi * (i % kSegments) / kSegments;
        const double r = 0.18 + 0.07 * std::cos(b);
        put("%6d:%13.6f%13.6f%13.6f%13.6f", i, r * std::cos(a), r * std::sin(a), 0.07 * std::sin(b),
            0.0);
    }
    put("");
    put("TEXTURE VERTICES %d", 64);
    for (int i = 0; i < 64; ++i)
        put("%6d:%13.6f%13.6f", i, uv(rng), uv(rng));
    put("");
    put("VERTEX NORMALS");
    for (int i = 0; i < vertices; ++i)
        put("%6d:%13.6f%13.6f%13.6f", i, unit(rng), unit(rng), unit(rng));
    put("");
    put("FACES %d", faces);
    put("#  num:  material:   type:  geo:  light:   tex:  extralight:  verts:");
    const auto at = [&](int ring, int segment)
    { return (ring % rings) * kSegments + segment % kSegments; };
    for (int i = 0; i < faces; ++i)
    {
        const int cell = (i * 2 / 3) % vertices, ring = cell / kSegments,
                  segment = cell % kSegments;
        put("%6d:%4d  0x0000  4  3  0  %6.4f  3%5d,%2d%5d,%2d%5d,%2d", i, 0, 0.0, at(ring, segment),
            i % 64, at(ring, segment + 1), (i + 1) % 64, at(ring + 1, segment + 1), (i + 2) % 64);
    }
    put("");
    put("FACE NORMALS");
    for (int i = 0; i < faces; ++i)
        put("%6d:%13.6f%13.6f%13.6f", i, unit(rng), unit(rng), unit(rng));
    put("");
    put("SECTION: HIERARCHYDEF");
    put("HIERARCHY NODES 1");
    put("%6d:  0x0000 0x00001 %6d %7d %7d %8d %13d %10.6f %10.6f %10.6f %10.6f %10.6f %10.6f "
        "%10.6f %10.6f %10.6f  node%05d",
        0, 0, -1, -1, -1, 0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0);
    return text;
}

void PutU32(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The archive, made in the temporary directory for the run: 1,000 models under 3do\, ring
// counts spread evenly over 4 to 15.
std::string Archive(std::uint64_t& modelBytes)
{
    const std::string fileName =
        (std::filesystem::temp_directory_path() / "quillmark_bench_browser_1000.gob").string();
    std::mt19937 rng(20240601);
    std::vector<std::string> models;
    for (int i = 0; i < kModels; ++i)
        models.push_back(ModelText(4 + i % 12, rng));
    modelBytes = 0;
    for (const std::string& m : models)
        modelBytes += m.size();
    std::string out = "GOB ";
    PutU32(out, 20);
    PutU32(out, 12);
    PutU32(out, kModels);
    std::uint32_t offset = 16 + 136 * kModels;
    for (int i = 0; i < kModels; ++i)
    {
        PutU32(out, offset);
        PutU32(out, static_cast<std::uint32_t>(models[i].size()));
        char name[128] = {};
        std::snprintf(name, sizeof name, "3do\\model%04d.3do", i);
        out.append(name, sizeof name);
        offset += static_cast<std::uint32_t>(models[i].size());
    }
    for (const std::string& m : models)
        out += m;
    if (std::FILE* f = std::fopen(fileName.c_str(), "wb"))
    {
        std::fwrite(out.data(), 1, out.size(), f);
        std::fclose(f);
    }
    return fileName;
}

struct TRun
{
    double FirstScreen = -1, All = -1, LongestGap = 0;
    int Screenful = 0, Paints = 0, Threads = 0, Failed = 0;
};

class TPaintClock : public QObject
{
public:
    QElapsedTimer* Clock = nullptr;
    qint64 Last = -1;
    qint64 Longest = 0;
    int Paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
        {
            const qint64 now = Clock->nsecsElapsed();
            if (Last >= 0)
                Longest = std::max(Longest, now - Last);
            Last = now;
            ++Paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

TRun OpenBrowser(const QString& archive)
{
    TRun run;
    CreateForms();
    MainForm->show();
    QApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    TArchiveForm* form = MainForm->OpenArchiveFile(archive);
    TArchiveListModel* model = form->Model();
    QTreeView* list = form->EntryList;
    TPaintClock paints;
    paints.Clock = &clock;
    list->viewport()->installEventFilter(&paints);

    // The rows on screen when the window opens.
    QApplication::processEvents();
    std::vector<std::size_t> screen;
    for (int row = 0; row < model->rowCount(); ++row)
    {
        const QRect r = list->visualRect(model->index(row, 0));
        if (r.top() >= list->viewport()->height())
            break;
        screen.push_back(model->EntryAt(row));
    }
    run.Screenful = static_cast<int>(screen.size());
    run.Threads = form->Thumbnailer()->ThreadCount();
    const std::vector<std::size_t> all = model->Models();
    const auto done = [&](const std::vector<std::size_t>& entries)
    {
        return std::all_of(entries.begin(), entries.end(),
                           [&](std::size_t e) { return model->HasThumbnail(e); });
    };

    QEventLoop loop;
    // Each thumbnail that comes is a change of the model's data.
    QObject::connect(model, &TArchiveListModel::dataChanged,
                     [&]
                     {
                         const double ms = clock.nsecsElapsed() / 1e6;
                         if (run.FirstScreen < 0 && done(screen))
                             run.FirstScreen = ms;
                         if (run.All < 0 && done(all))
                         {
                             run.All = ms;
                             loop.quit();
                         }
                     });
    // Sixty frames a second; once the first screenful is there, a row down every third.
    QTimer frame;
    int tick = 0;
    QObject::connect(&frame, &QTimer::timeout,
                     [&]
                     {
                         if (run.FirstScreen >= 0 && ++tick % 3 == 0)
                         {
                             QScrollBar* bar = list->verticalScrollBar();
                             bar->setValue(bar->value() < bar->maximum() ? bar->value() + 1 : 0);
                         }
                         if (clock.elapsed() > 60000)
                             loop.quit();
                         list->viewport()->update();
                     });
    frame.start(16);
    loop.exec();
    run.LongestGap = paints.Longest / 1e6;
    for (const std::size_t e : all)
        run.Failed += !model->Error(e).isEmpty();
    if (run.Failed)
        std::fprintf(stderr, "%s\n", model->Error(all[0]).toStdString().c_str());
    run.Paints = paints.Paints;
    DestroyForms();
    return run;
}

void BrowserThumbnails(benchmark::State& state, const QString& archive, std::uint64_t bytes)
{
    TRun run;
    for (auto _ : state)
    {
        run = OpenBrowser(archive);
        state.SetIterationTime(run.All / 1e3);
    }
    if (run.All < 0)
        state.SkipWithError("not all thumbnails within 60 s");
    if (run.Failed)
        state.SkipWithError("models that failed to draw");
    state.counters["first_screen_ms"] = run.FirstScreen;
    state.counters["all_ms"] = run.All;
    state.counters["longest_paint_gap_ms"] = run.LongestGap;
    state.counters["screenful"] = run.Screenful;
    state.counters["paints"] = run.Paints;
    state.counters["threads"] = run.Threads;
    state.counters["models"] = kModels;
    state.counters["model_kb"] = static_cast<double>(bytes) / kModels / 1024;
}
} // namespace

int main(int argc, char** argv)
{
    MaskFloatingPointExceptions();
    TApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::uint64_t bytes = 0;
    const QString archive = QString::fromStdString(Archive(bytes));
    benchmark::RegisterBenchmark("BrowserThumbnails/1000", BrowserThumbnails, archive, bytes)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove(archive.toStdString());
    return 0;
}
