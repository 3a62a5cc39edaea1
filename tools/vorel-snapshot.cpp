// vorel-snapshot: a model rendered headless, as the viewer draws it, into
// PNG pictures of its back buffer.
#include <d3dx9.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Batch.h"
#include "CommandLine.h"
#include "Pictures.h"
#include "Video.h"
#include "cGraphicsManager.h"
#include "cModelViewer.h"
#include "cObjectGroup.h"
#include "cObjectManager.h"
#include "resource.h"

using namespace Vorel;
namespace fs = std::filesystem;

namespace {

// OUT with its one %d (width and zero flag allowed) replaced by `index`;
// nothing when the pattern has none or another conversion.
std::optional<std::string> Numbered(const std::string& pattern, int index) {
    std::string out;
    bool used = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            out += pattern[i];
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        size_t j = i + 1;
        const bool zeros = j < pattern.size() && pattern[j] == '0';
        if (zeros) ++j;
        int width = 0;
        while (j < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[j])) && width < 100)
            width = width * 10 + (pattern[j++] - '0');
        if (used || j >= pattern.size() || pattern[j] != 'd') return std::nullopt;
        std::string number = std::to_string(index);
        while (static_cast<int>(number.size()) < width)
            number.insert(0, 1, zeros ? '0' : ' ');
        out += number;
        used = true;
        i = j;
    }
    return used ? std::optional(out) : std::nullopt;
}

// The pixels (`channels` 3 or 4) as PNG.
bool Save(const std::string& path, int width, int height, int channels,
          const std::vector<unsigned char>& pixels) {
    return stbi_write_png(path.c_str(), width, height, channels, pixels.data(), width * channels) != 0;
}

// A contact sheet: every model of the inputs drawn as its thumbnail (from
// its best side, framed, back faces shown, no skeleton) in a `size`-pixel
// cell with its file name, `columns` across, `perPage` cells a page; a file
// that does not load gets a cell that says so. One device draws them all,
// and each model is let go once drawn. Pages after the first are OUT-2.png
// and on.
int Sheet(const std::vector<std::string>& inputs, const std::string& out, int size, int columns, int perPage,
          size_t background) {
    VorelTools::Unread unread;
    std::vector<VorelTools::BatchFile> files = VorelTools::CollectModels(inputs, &unread);
    for (const auto& [path, why] : unread)
        std::fprintf(stderr, "vorel-snapshot: %s: %s\n", path.c_str(), why.c_str());
    if (files.empty()) {
        std::fprintf(stderr, "vorel-snapshot: no .x files to put on a sheet\n");
        return 1;
    }
    std::error_code ec;
    for (VorelTools::BatchFile& file : files)
        file.path = fs::absolute(file.path, ec).string();
    const std::string outPath = fs::absolute(out, ec).string();
    if (!VorelTools::StartGraphics("vorel-snapshot", size, size)) return 1;
    cGraphicsManager* graphics = cGraphicsManager::Instance();
    cModelViewer* viewer = cModelViewer::Instance();
    viewer->Init();
    graphics->GetViewTools()->m_views = {};
    graphics->GetViewTools()->m_views.backFaces = Graphics::BackFaces::kShow;
    for (size_t i = 0; i < background; ++i)
        viewer->Command(ID_VIEW_BACKGROUND);
    const D3DXCOLOR white(1, 1, 1, 1), grey(0.7f, 0.7f, 0.7f, 1);
    const size_t pages = (files.size() + perPage - 1) / perPage;
    int status = unread.empty() ? 0 : 1;
    std::vector<unsigned char> cell;
    for (size_t page = 0; page < pages; ++page) {
        const size_t first = page * perPage, count = std::min(files.size() - first, size_t(perPage));
        const int across = static_cast<int>(std::min(count, size_t(columns)));
        const int down = static_cast<int>((count + columns - 1) / columns);
        const int sheetWidth = across * size;
        std::vector<unsigned char> sheet(size_t(sheetWidth) * down * size * 3, 0);
        for (size_t k = 0; k < count; ++k) {
            const VorelTools::BatchFile& file = files[first + k];
            const std::string name = fs::path(file.path).filename().string();
            cModel* model = graphics->LoadModel(file.path, name);
            if (model->m_frameRoot != nullptr) {
                viewer->LoadModel(file.path, name);
                model->m_showSkeleton = false;
                model->m_speed = 0;
                model->Update(0);
                viewer->Command(cModelViewer::BestView(*model, false));
                viewer->Command(ID_VIEW_FRAME);
                viewer->PlaceCamera();
            } else {
                std::fprintf(stderr, "vorel-snapshot: %s: cannot be read\n", file.path.c_str());
                graphics->QueueText(4, size / 2 - 8, "cannot be read", "Arial", grey, 0);
                status = 1;
            }
            // The name, cut to what the cell holds.
            const size_t fits = static_cast<size_t>(std::max(4, size / 8));
            const std::string label = file.relative.size() > fits
                                          ? "..." + file.relative.substr(file.relative.size() - fits + 3)
                                          : file.relative;
            graphics->QueueText(4, size - 20, label, "Arial", white, 0);
            graphics->RenderFrame();
            int w = 0, h = 0;
            if (VorelTools::ReadBack(graphics->GetRenderer()->m_D3DDevice, &w, &h, &cell) && w == size &&
                h == size) {
                const int x0 = static_cast<int>(k % columns) * size,
                          y0 = static_cast<int>(k / columns) * size;
                for (int y = 0; y < size; ++y)
                    std::copy_n(&cell[size_t(y) * size * 3], size_t(size) * 3,
                                &sheet[(size_t(y0 + y) * sheetWidth + x0) * 3]);
            }
            // Drawn: the model is let go.
            cObjectGroup* group = cObjectManager::Instance()->GetGroup(2);
            group->RemoveAllObjects();
            group->ProcessRemovals();
            graphics->ReleaseUnshownModels();
        }
        std::string path = outPath;
        if (page > 0)
            path = (fs::path(outPath).parent_path() /
                    (fs::path(outPath).stem().string() + "-" + std::to_string(page + 1) + ".png"))
                       .string();
        if (stbi_write_png(path.c_str(), sheetWidth, down * size, 3, sheet.data(), sheetWidth * 3) == 0) {
            std::fprintf(stderr, "vorel-snapshot: cannot write %s\n", path.c_str());
            status = 1;
        }
    }
    VorelTools::StopGraphics();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app(
        "Renders MODEL.x as the viewer shows it, posed at TICKS of set N, and writes the\n"
        "picture (1024 x 768 unless asked) as PNG, or its animation as a video.",
        "vorel-snapshot");
    unsigned set = 0;
    double ticks = 0;
    int fill = D3DFILL_SOLID;
    bool skeleton = true;
    int frames = 0;
    int size = 0;
    int width = 0, height = 0;
    bool overlay = false, thumbnail = false, transparent = false;
    cViewTools::Views views;
    std::string select, weights, panel, view, up = "y";
    size_t background = 0;
    bool orthographic = false, frame = false;
    std::vector<std::string> paths;
    std::string sheet;
    int columns = 6, perPage = 48;
    app.add_option("MODEL.x OUT.png | INPUT...", paths,
                   "the model and the picture (with --frames a pattern with one %d: walk-%03d.png); with "
                   "--sheet, the files and folders of the sheet")
        ->required();
    auto* sheetOption =
        app.add_option(
               "--sheet", sheet,
               "a contact sheet of every model of the inputs: thumbnails (--size pixels, default 256) "
               "with their file names, in natural order")
            ->type_name("OUT.png");
    app.add_option("--columns", columns, "the sheet's cells across (default 6)")
        ->check(CLI::Range(1, 64))
        ->needs(sheetOption);
    app.add_option("--per-page", perPage,
                   "the sheet's cells a page (default 48); more pages are OUT-2.png and on")
        ->check(CLI::Range(1, 10000))
        ->needs(sheetOption);
    app.add_option("--set", set, "the animation set (default 0)")->type_name("N");
    app.add_option("--time", ticks, "the time in the set's ticks (default 0)")
        ->type_name("TICKS")
        ->check(VorelTools::kFinite);
    app.add_option("--fill", fill, "the fill mode (default solid)")
        ->type_name("points|wireframe|solid|solid-wireframe")
        ->transform(CLI::CheckedTransformer(
                        std::map<std::string, int>{{"points", D3DFILL_POINT},
                                                   {"wireframe", D3DFILL_WIREFRAME},
                                                   {"solid", D3DFILL_SOLID},
                                                   {"solid-wireframe", Graphics::kFillSolidWireframe}})
                        .description(""));
    app.add_option("--skeleton", skeleton, "the skeleton drawn over the model (default on)")
        ->type_name("on|off")
        ->transform(CLI::CheckedTransformer(std::map<std::string, bool>{{"on", true}, {"off", false}})
                        .description(""));
    app.add_option("--frames", frames, "COUNT pictures spread evenly over one loop of the set from --time")
        ->type_name("COUNT")
        ->check(CLI::Range(1, 100000));
    bool video = false;
    int fps = 30;
    double duration = 0;
    auto* videoFlag = app.add_flag(
        "--video", video,
        "the animation as a video, by OUT's extension: .mp4 (H.264), .webm (VP9) or .gif; one whole loop "
        "of the set from --time unless --duration");
    app.add_option("--fps", fps, "the video's frames a second (default 30)")
        ->check(CLI::Range(1, 240))
        ->needs(videoFlag);
    app.add_option("--duration", duration, "the video's length from --time (default one loop of the set)")
        ->type_name("SECONDS")
        ->check(CLI::Range(0.001, 3600.0))
        ->needs(videoFlag);
    double orbit = 0;
    bool still = false;
    app.add_option("--orbit", orbit,
                   "with --frames or --video, the camera turned DEGREES around the model over them (a "
                   "turntable)")
        ->type_name("DEGREES")
        ->check(VorelTools::kFinite);
    app.add_flag("--still", still,
                 "with --frames or --video, every picture posed at --time: the model does not move");
    app.add_option("--size", size, "scaled down to fit PIXELS x PIXELS")
        ->type_name("PIXELS")
        ->check(CLI::Range(1, 4096));
    app.add_flag("--thumbnail", thumbnail,
                 "a picture that always shows the model: square, framed from the side that shows the most "
                 "of it, back faces drawn, no skeleton");
    app.add_option("--width", width, "the picture's width (default 1024, 768 for a thumbnail)")
        ->type_name("PIXELS")
        ->check(CLI::Range(1, 8192));
    app.add_option("--height", height, "the picture's height (default 768)")
        ->type_name("PIXELS")
        ->check(CLI::Range(1, 8192));
    app.add_flag("--overlay", overlay,
                 "the key help and the model's name, set and speed over it, as the viewer shows them");
    app.add_flag("--timeline", views.timeline, "the timeline along the bottom, as the viewer shows it");
    app.add_flag("--names", views.names, "each frame's name at its joint");
    app.add_option("--select", select, "the frame named FRAME selected: its joint and bone highlighted")
        ->type_name("FRAME");
    app.add_option("--weights", weights, "the skin coloured by the weights of the bone FRAME, with a legend")
        ->type_name("FRAME");
    app.add_flag("--normals", views.normals, "each vertex's normal as a short line");
    app.add_flag("--bbox", views.bounds, "the posed model's bounding box, with its size in the file's units");
    app.add_flag("--grid", views.grid, "a ground grid and the axes, scaled to the model");
    app.add_option("--backfaces", views.backFaces,
                   "faces turned away: culled (default), drawn, or drawn in red")
        ->type_name("cull|show|tint")
        ->transform(CLI::CheckedTransformer(
                        std::map<std::string, Graphics::BackFaces>{{"cull", Graphics::BackFaces::kCull},
                                                                   {"show", Graphics::BackFaces::kShow},
                                                                   {"tint", Graphics::BackFaces::kTint}})
                        .description(""));
    app.add_option("--view", view, "the camera's side, at the distance a load puts it (default: as loaded)")
        ->type_name("front|back|left|right|top|bottom")
        ->check(CLI::IsMember({"front", "back", "left", "right", "top", "bottom"}));
    app.add_flag("--ortho", orthographic, "an orthographic view, as wide as the perspective's at the model");
    app.add_flag("--frame", frame, "the camera close enough to see the whole model, orbiting its centre");
    app.add_option("--up", up, "the model's up axis: its own y (default), or z turned up")
        ->type_name("y|z")
        ->check(CLI::IsMember({"y", "z"}));
    app.add_option("--background", background, "the colour behind the model (default blue)")
        ->type_name("blue|black|grey|white")
        ->transform(CLI::CheckedTransformer(
                        std::map<std::string, size_t>{{"blue", 0}, {"black", 1}, {"grey", 2}, {"white", 3}})
                        .description(""));
    app.add_flag("--transparent", transparent, "the background left transparent (a PNG with alpha)");
    app.add_option("--panel", panel, "a panel over the picture: the file's information or the frame tree")
        ->type_name("info|frames")
        ->check(CLI::IsMember({"info", "frames"}));
    if (const auto code = VorelTools::ParseCommandLine(app, argc, argv)) return *code;
    if (!sheet.empty()) return Sheet(paths, sheet, size > 0 ? size : 256, columns, perPage, background);
    if (paths.size() != 2) {
        std::fprintf(stderr, "vorel-snapshot: give MODEL.x and OUT.png, or --sheet OUT.png and the inputs\n");
        return 2;
    }
    const std::string model = paths[0], out = paths[1];
    views.infoPanel = panel == "info";
    views.framesPanel = panel == "frames";
    if (!weights.empty()) {
        if (!select.empty() && select != weights) {
            std::fprintf(stderr, "vorel-snapshot: --select %s and --weights %s name two frames\n",
                         select.c_str(), weights.c_str());
            return 2;
        }
        select = weights;
        views.weights = true;
    }
    const std::optional<VorelTools::VideoFormat> format = VorelTools::VideoFormatOf(out);
    if (video && frames > 0) {
        std::fprintf(stderr, "vorel-snapshot: --video and --frames: one or the other\n");
        return 2;
    }
    if (video && !format) {
        std::fprintf(stderr, "vorel-snapshot: with --video, OUT ends in .mp4, .webm or .gif: %s\n",
                     out.c_str());
        return 2;
    }
    if (video && transparent && *format == VorelTools::VideoFormat::kMp4) {
        std::fprintf(stderr, "vorel-snapshot: an MP4 cannot be transparent: write .webm or .gif\n");
        return 2;
    }
    if (frames > 0 && !Numbered(out, 0)) {
        std::fprintf(stderr, "vorel-snapshot: with --frames, OUT needs one %%d: %s\n", out.c_str());
        return 2;
    }
    if (thumbnail) {
        // Seen whatever way its faces turn, whole, without the skeleton's lines.
        skeleton = false;
        frame = true;
        if (views.backFaces == Graphics::BackFaces::kCull) views.backFaces = Graphics::BackFaces::kShow;
    }
    if (width == 0) width = thumbnail ? 768 : 1024;
    if (height == 0) height = 768;

    std::error_code ec;
    if (!fs::is_regular_file(model, ec)) {
        std::fprintf(stderr, "vorel-snapshot: %s: no such model file\n", model.c_str());
        return 1;
    }
    const std::string modelPath = fs::absolute(model, ec).string();
    const std::string outPath = fs::absolute(out, ec).string();
    if (!VorelTools::StartGraphics("vorel-snapshot", width, height)) return 1;
    cGraphicsManager* graphics = cGraphicsManager::Instance();
    // The viewer's own scene and camera: what a load and the View menu do
    // there is done here.
    cModelViewer* viewer = cModelViewer::Instance();
    viewer->Init();
    const std::string name = fs::path(modelPath).filename().string();
    cModel* loaded = graphics->LoadModel(modelPath, name);
    int status = 0;
    if (loaded->m_frameRoot == nullptr) {
        std::fprintf(stderr, "vorel-snapshot: %s: no model could be loaded\n", model.c_str());
        status = 1;
    } else if (set > 0 && set >= loaded->m_animationSets.size()) {
        std::fprintf(stderr, "vorel-snapshot: %s has %zu animation sets: no set %u\n", model.c_str(),
                     loaded->m_animationSets.size(), set);
        status = 1;
    }
    if (status == 0) {
        viewer->LoadModel(modelPath, name);
        graphics->SetFillMode(fill);
        loaded->m_currentSet = set;
        loaded->m_showSkeleton = skeleton;
        loaded->m_speed = 0;  // the wall clock does not move it
        loaded->m_time = static_cast<float>(ticks);
        cViewTools* viewTools = graphics->GetViewTools();
        viewTools->m_views = views;
        for (size_t i = 0; i < background; ++i)
            viewer->Command(ID_VIEW_BACKGROUND);
        if (up == "z") viewer->Command(ID_VIEW_Z_UP);
        const std::map<std::string, UINT> commands{{"front", ID_VIEW_FRONT}, {"back", ID_VIEW_BACK},
                                                   {"left", ID_VIEW_LEFT},   {"right", ID_VIEW_RIGHT},
                                                   {"top", ID_VIEW_TOP},     {"bottom", ID_VIEW_BOTTOM}};
        if (thumbnail && view.empty()) {
            loaded->Update(loaded->m_time);
            viewer->Command(cModelViewer::BestView(*loaded, up == "z"));
        }
        if (!view.empty()) viewer->Command(commands.at(view));
        if (orthographic) viewer->Command(ID_VIEW_ORTHOGRAPHIC);
        if (frame) viewer->Command(ID_VIEW_FRAME);
        viewer->PlaceCamera();
        if (!select.empty()) {
            cFrame* picked = loaded->FindFrame(select.c_str());
            const auto at = std::find(loaded->m_frames.begin(), loaded->m_frames.end(), picked);
            if (picked == nullptr) {
                std::fprintf(stderr, "vorel-snapshot: %s has no frame named %s\n", model.c_str(),
                             select.c_str());
                status = 1;
            }
            viewTools->Select(static_cast<int32_t>(at - loaded->m_frames.begin()));
        }
        // The pictures' times: spread evenly over the set's loop, or a
        // video's frames at its rate, from --time; all at --time when still.
        const cAnimationSet* played =
            set < loaded->m_animationSets.size() ? loaded->m_animationSets[set].get() : nullptr;
        const float length = played != nullptr ? static_cast<float>(played->m_length) : 0.0f;
        const float ticksPerSecond =
            played != nullptr ? played->m_ticksPerSecond : cAnimationSet::kDefaultTicksPerSecond;
        int count = frames > 0 ? frames : 1;
        float step = frames > 0 ? length / static_cast<float>(count) : 0.0f;
        if (video && duration > 0) {
            count = static_cast<int>(std::max(1.0, std::round(duration * fps)));
            step = ticksPerSecond / static_cast<float>(fps);
        } else if (video && length > 0) {
            // One whole loop.
            count = std::max(1, static_cast<int>(std::lround(length / ticksPerSecond * fps)));
            step = length / static_cast<float>(count);
        } else if (video && status == 0) {
            std::fprintf(stderr, "vorel-snapshot: %s: %s: give --duration SECONDS\n", model.c_str(),
                         played == nullptr
                             ? "there is no animation set to play"
                             : ("set " + std::to_string(set) + " has no length to play").c_str());
            status = 1;
        }
        if (still) step = 0;

        // Picture i, posed and seen from its place on the turntable: RGB,
        // or RGBA when transparent, scaled down to --size.
        std::vector<unsigned char> pixels, overWhite;
        int w = 0, h = 0;
        float turned = 0;
        const auto render = [&](std::vector<unsigned char>* into) {
            if (overlay) {
                // The text at the speed a model opens with; the picture
                // itself stands still.
                loaded->m_speed = 1;
                cModelViewer::QueueOverlay(loaded);
                loaded->m_speed = 0;
            }
            graphics->RenderFrame();
            return VorelTools::ReadBack(graphics->GetRenderer()->m_D3DDevice, &w, &h, into);
        };
        const auto picture = [&](int i) -> std::optional<std::vector<unsigned char>> {
            loaded->m_time = static_cast<float>(ticks) + step * static_cast<float>(i);
            if (orbit != 0) {
                // An equal share of the turn for each picture.
                const float angle = static_cast<float>(orbit / count * i * D3DX_PI / 180);
                viewer->Turn(angle - turned);
                turned = angle;
                viewer->PlaceCamera();
            }
            if (!transparent)
                return render(&pixels) ? std::optional(VorelTools::Shrink(pixels, w, h, 3, size))
                                       : std::nullopt;
            graphics->SetBackground(cModelViewer::kBackgrounds[1]);  // black
            const bool black = render(&pixels);
            graphics->SetBackground(cModelViewer::kBackgrounds[3]);  // white
            if (!black || !render(&overWhite)) return std::nullopt;
            return VorelTools::Shrink(VorelTools::Unmix(pixels, overWhite), w, h, 4, size);
        };
        const int channels = transparent ? 4 : 3;
        const auto [shrunkWidth, shrunkHeight] = VorelTools::ShrunkSize(width, height, size);
        if (video && status == 0) {
            // A GIF's palette is made from its frames first.
            VorelTools::GifPalette palette;
            const bool gif = *format == VorelTools::VideoFormat::kGif;
            for (int i = 0; gif && i < count && status == 0; ++i) {
                const auto shown = picture(i);
                if (shown)
                    palette.Count(shown->data(), shown->size() / channels, channels);
                else
                    status = 1;
            }
            palette.Make(transparent ? 255 : 256);
            std::string why;
            auto writer = status == 0 ? VorelTools::VideoWriter::Open(outPath, shrunkWidth, shrunkHeight,
                                                                      channels, fps, &palette, &why)
                                      : nullptr;
            for (int i = 0; writer != nullptr && i < count; ++i) {
                const auto shown = picture(i);
                if (!shown || !writer->Add(shown->data(), &why)) {
                    writer.reset();
                    if (why.empty()) why = "cannot draw frame " + std::to_string(i);
                }
            }
            if (writer == nullptr || !writer->Finish(&why)) {
                std::fprintf(stderr, "vorel-snapshot: %s\n",
                             why.empty() ? "cannot draw the video" : why.c_str());
                status = 1;
            }
        }
        for (int i = 0; !video && i < count && status == 0; ++i) {
            const std::string path = frames > 0 ? *Numbered(outPath, i) : outPath;
            const auto shown = picture(i);
            if (!shown || !Save(path, shrunkWidth, shrunkHeight, channels, *shown)) {
                std::fprintf(stderr, "vorel-snapshot: cannot write %s\n", path.c_str());
                status = 1;
            }
        }
    }
    VorelTools::StopGraphics();
    return status;
}
