// vorel-snapshot: a model rendered headless, as the viewer draws it, into
// PNG pictures of the 1024 x 768 back buffer.
#include <d3dx9.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Singletons.h"
#include "cApplication.h"
#include "cGraphicsManager.h"
#include "cModelAttr.h"
#include "cModelLoader.h"
#include "cModelViewer.h"
#include "cObjectManager.h"
#include "cOrientationAttr.h"
#include "cPositionAttr.h"
#include "cWindow.h"
#include "resource.h"
#include "win32/AssetFolder.h"

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

// The back buffer as PNG; with `size` below its width, scaled down to fit
// size x size, each pixel the average of the ones it covers.
bool Save(LPDIRECT3DDEVICE9 device, const std::string& path, int size) {
    LPDIRECT3DSURFACE9 surface = nullptr;
    if (FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface))) return false;
    D3DSURFACE_DESC description{};
    surface->GetDesc(&description);
    const int width = static_cast<int>(description.Width), height = static_cast<int>(description.Height);
    if (size <= 0 || size >= std::max(width, height)) {
        const HRESULT hr = D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_PNG, surface, nullptr, nullptr);
        surface->Release();
        return SUCCEEDED(hr);
    }
    const double scale = static_cast<double>(size) / std::max(width, height);
    const int w = std::max(1, static_cast<int>(width * scale)),
              h = std::max(1, static_cast<int>(height * scale));
    std::vector<unsigned char> rgb(size_t(w) * h * 3);
    D3DLOCKED_RECT locked{};
    if (FAILED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        surface->Release();
        return false;
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int x0 = x * width / w, x1 = (x + 1) * width / w, y0 = y * height / h,
                      y1 = (y + 1) * height / h;
            unsigned sum[3] = {0, 0, 0};
            for (int sy = y0; sy < y1; ++sy) {
                const auto* row = static_cast<const unsigned char*>(locked.pBits) + size_t(sy) * locked.Pitch;
                for (int sx = x0; sx < x1; ++sx)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += row[sx * 4 + 2 - c];  // BGRA
            }
            const unsigned count = static_cast<unsigned>((x1 - x0) * (y1 - y0));
            for (int c = 0; c < 3; ++c)
                rgb[(size_t(y) * w + x) * 3 + c] = static_cast<unsigned char>((sum[c] + count / 2) / count);
        }
    surface->UnlockRect();
    surface->Release();
    return stbi_write_png(path.c_str(), w, h, 3, rgb.data(), w * 3) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app(
        "Renders MODEL.x as the viewer shows it, posed at TICKS of set N, and writes the\n"
        "1024 x 768 picture as PNG.",
        "vorel-snapshot");
    std::string model, out;
    unsigned set = 0;
    double ticks = 0;
    int fill = D3DFILL_SOLID;
    bool skeleton = true;
    int frames = 0;
    int size = 0;
    bool overlay = false;
    cViewTools::Views views;
    std::string select, weights, panel, view, up = "y";
    size_t background = 0;
    bool orthographic = false, frame = false;
    app.add_option("MODEL.x", model, "the model")->required();
    app.add_option("OUT.png", out, "the picture; with --frames a pattern with one %d (walk-%03d.png)")
        ->required();
    app.add_option("--set", set, "the animation set (default 0)")->type_name("N");
    app.add_option("--time", ticks, "the time in the set's ticks (default 0)")
        ->type_name("TICKS")
        ->check(VorelTools::kFinite);
    app.add_option("--fill", fill, "the fill mode (default solid)")
        ->type_name("points|wireframe|solid")
        ->transform(CLI::CheckedTransformer(std::map<std::string, int>{{"points", D3DFILL_POINT},
                                                                       {"wireframe", D3DFILL_WIREFRAME},
                                                                       {"solid", D3DFILL_SOLID}})
                        .description(""));
    app.add_option("--skeleton", skeleton, "the skeleton drawn over the model (default on)")
        ->type_name("on|off")
        ->transform(CLI::CheckedTransformer(std::map<std::string, bool>{{"on", true}, {"off", false}})
                        .description(""));
    app.add_option("--frames", frames, "COUNT pictures spread evenly over the set's length")
        ->type_name("COUNT")
        ->check(CLI::Range(1, 100000));
    app.add_option("--size", size, "scaled down to fit PIXELS x PIXELS (a thumbnail)")
        ->type_name("PIXELS")
        ->check(CLI::Range(1, 4096));
    app.add_flag("--overlay", overlay,
                 "the key help and the model's name, set and speed over it, as the viewer shows them");
    app.add_flag("--timeline", views.timeline, "the timeline along the bottom, as the viewer shows it");
    app.add_flag("--names", views.names, "each frame's name at its joint");
    app.add_option("--select", select, "the frame named FRAME selected: its joint and bone highlighted")
        ->type_name("FRAME");
    app.add_option("--weights", weights, "the skin coloured by the weights of the bone FRAME, with a legend")
        ->type_name("FRAME");
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
    app.add_option("--panel", panel, "a panel over the picture: the file's information or the frame tree")
        ->type_name("info|frames")
        ->check(CLI::IsMember({"info", "frames"}));
    if (const auto code = VorelTools::ParseCommandLine(app, argc, argv)) return *code;
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
    if (frames > 0 && !Numbered(out, 0)) {
        std::fprintf(stderr, "vorel-snapshot: with --frames, OUT needs one %%d: %s\n", out.c_str());
        return 2;
    }

    std::error_code ec;
    if (!fs::is_regular_file(model, ec)) {
        std::fprintf(stderr, "vorel-snapshot: %s: no such model file\n", model.c_str());
        return 1;
    }
    const std::string modelPath = fs::absolute(model, ec).string();
    const std::string outPath = fs::absolute(out, ec).string();
    const std::string assets = Platform::FindOwnAssetFolder();
    if (!assets.empty()) fs::current_path(assets, ec);
    if (assets.empty() || ec) {
        std::fprintf(stderr, "vorel-snapshot: cannot find the viewer's Assets folder\n");
        return 1;
    }
    setenv("SDL_VIDEODRIVER", "offscreen", 1);

    static char module;
    cWindow* window = cWindow::Instance();
    if (!window->Init(reinterpret_cast<HINSTANCE>(&module), "Vorel - Penwick - Lumen1")) return 1;
    window->Show(SW_SHOWNORMAL);
    CreateSingletons();
    if (!cApplication::Instance()->Init()) {
        std::fprintf(stderr, "vorel-snapshot: the graphics could not start\n");
        return 1;
    }
    // The viewer's scene: its camera, and the model's object named after
    // the file, placed by the graphics system as a load places it.
    cObjectManager::Instance()->GetGroup(1)->CreateObject("TestCamera");
    cObject* object = cObjectManager::Instance()->GetGroup(2)->CreateObject("TestObject");
    const std::string name = fs::path(modelPath).filename().string();
    if (object != nullptr)
        if (auto* attribute = dynamic_cast<cModelAttr*>(object->GetAttribute("Model")))
            attribute->m_meshFile = cModelLoader::Key(modelPath);
    cGraphicsManager* graphics = cGraphicsManager::Instance();
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
        graphics->SetFillMode(fill);
        loaded->m_currentSet = set;
        loaded->m_showSkeleton = skeleton;
        loaded->m_speed = 0;  // the wall clock does not move it
        graphics->SetBackground(cModelViewer::kBackgrounds[background]);
        if (up == "z") cModelViewer::TurnModelObjects(true);
        if (!view.empty() || orthographic || frame || up == "z") {
            // The viewer's own camera: that side's view (or the front), at
            // the distance a load puts it or framing the model.
            const std::map<std::string, UINT> commands{{"front", ID_VIEW_FRONT}, {"back", ID_VIEW_BACK},
                                                       {"left", ID_VIEW_LEFT},   {"right", ID_VIEW_RIGHT},
                                                       {"top", ID_VIEW_TOP},     {"bottom", ID_VIEW_BOTTOM}};
            const UINT command = view.empty() ? ID_VIEW_FRONT : commands.at(view);
            const auto vertical = command == ID_VIEW_TOP      ? cModelViewer::Vertical::kTop
                                  : command == ID_VIEW_BOTTOM ? cModelViewer::Vertical::kBottom
                                                              : cModelViewer::Vertical::kNone;
            const D3DXVECTOR3 c = up == "z" ? D3DXVECTOR3(loaded->m_sphereCenter.x, loaded->m_sphereCenter.z,
                                                          -loaded->m_sphereCenter.y)
                                            : loaded->m_sphereCenter;
            const float distance =
                frame ? cModelViewer::FramingDistance(loaded->m_sphereRadius, 1024.0f / 768.0f)
                      : 3 * loaded->m_sphereRadius;
            cObject* camera = cObjectManager::Instance()->GetGroup(1)->GetObjects().rbegin()->second;
            auto* position = dynamic_cast<cPositionAttr*>(camera->GetAttribute("Position"));
            auto* orientation = dynamic_cast<cOrientationAttr*>(camera->GetAttribute("Orientation"));
            if (position != nullptr && orientation != nullptr)
                cModelViewer::Orbit(cModelViewer::ViewAngle(command), distance, 0,
                                    frame ? c : D3DXVECTOR3(0, c.y, 0), vertical, &position->m_position,
                                    &orientation->m_view);
            graphics->SetOrthographic(orthographic ? cModelViewer::OrthographicHeight(distance) : 0);
        }
        cViewTools* viewTools = graphics->GetViewTools();
        viewTools->m_views = views;
        if (!select.empty()) {
            cFrame* frame = loaded->FindFrame(select.c_str());
            const auto at = std::find(loaded->m_frames.begin(), loaded->m_frames.end(), frame);
            if (frame == nullptr) {
                std::fprintf(stderr, "vorel-snapshot: %s has no frame named %s\n", model.c_str(),
                             select.c_str());
                status = 1;
            }
            viewTools->Select(static_cast<int32_t>(at - loaded->m_frames.begin()));
        }
        const float length = loaded->m_animationSets.empty()
                                 ? 0.0f
                                 : static_cast<float>(loaded->m_animationSets[set]->m_length);
        const int count = frames > 0 ? frames : 1;
        for (int i = 0; i < count && status == 0; ++i) {
            loaded->m_time = frames > 0 ? length * static_cast<float>(i) / static_cast<float>(count)
                                        : static_cast<float>(ticks);
            if (overlay) {
                // The text at the speed a model opens with; the picture
                // itself stands still.
                loaded->m_speed = 1;
                cModelViewer::QueueOverlay(loaded);
                loaded->m_speed = 0;
            }
            graphics->RenderFrame();
            const std::string path = frames > 0 ? *Numbered(outPath, i) : outPath;
            if (!Save(graphics->GetRenderer()->m_D3DDevice, path, size)) {
                std::fprintf(stderr, "vorel-snapshot: cannot write %s\n", path.c_str());
                status = 1;
            }
        }
    }
    DestroySingletons();
    cWindow::Destroy();
    return status;
}
