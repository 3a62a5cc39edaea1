// The graphics system and the viewer rendering whole frames headless,
// judged on the pixels read back from the device.
#include <d3dx9.h>
#include <gtest/gtest.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "RenderPackets.h"
#include "Singletons.h"
#include "TestSupport.h"
#include "cApplication.h"
#include "cGraphicsManager.h"
#include "cGuides.h"
#include "cInput.h"
#include "cMeshContainer.h"
#include "cModelAttr.h"
#include "cModelLoader.h"
#include "cModelViewer.h"
#include "cObjectManager.h"
#include "cOrientationAttr.h"
#include "cPanels.h"
#include "cPositionAttr.h"
#include "cRotationAttr.h"
#include "cTimeline.h"
#include "cWindow.h"
#include "resource.h"
#include "win32/Menu.h"

// Every allocation of the program is counted, and this thread's can be made
// to fail. Not in the sanitizer build, whose runtime owns operator new: the
// drivers' allocations would pass between the two.
namespace {
std::atomic<uint64_t> g_allocations{0};
thread_local bool t_outOfMemory = false;
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kOwnAllocations = false;
#else
constexpr bool kOwnAllocations = true;
#endif
}  // namespace
#if !defined(__SANITIZE_ADDRESS__)
void* operator new(size_t size) {
    ++g_allocations;
    if (t_outOfMemory) throw std::bad_alloc();
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}
// GCC sees free() and not the malloc() of the operator new above.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop
#endif

namespace {

using namespace Vorel;
using namespace VorelTest;
namespace fs = std::filesystem;

constexpr uint32_t kClear = 0x000032;  // the clear colour, as read back (no alpha)

struct Picture {
    std::vector<uint8_t> bgrx;
    uint32_t At(int x, int y) const {
        const uint8_t* p = bgrx.data() + (size_t(y) * 1024 + x) * 4;
        return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    // Pixels of the box for which `test` holds.
    int Count(const std::function<bool(uint32_t)>& test, int x0 = 0, int y0 = 0, int x1 = 1024,
              int y1 = 768) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += test(At(x, y));
        return n;
    }
    int Count(uint32_t colour, int x0 = 0, int y0 = 0, int x1 = 1024, int y1 = 768) const {
        return Count([colour](uint32_t c) { return c == colour; }, x0, y0, x1, y1);
    }
    // Pixels that are not the clear colour.
    int Covered(int x0 = 0, int y0 = 0, int x1 = 1024, int y1 = 768) const {
        return Count([](uint32_t c) { return c != kClear; }, x0, y0, x1, y1);
    }
};

fs::path Sample(const char* name) {
    return fs::path(VOREL_SOURCE_DIR) / "Assets/Models" / name;
}

// The viewer's start-up, camera and model object, as the viewer makes them.
class GraphicsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(DeviceWindow(), nullptr);
        fs::current_path(m_folder);
        CreateSingletons();
        ASSERT_TRUE(cApplication::Instance()->Init());
        m_graphics = cGraphicsManager::Instance();
        m_graphics->GetViewTools()->m_views.timeline = false;  // the models' pictures alone
        m_camera = Group(1)->CreateObject("TestCamera");
        m_object = Group(2)->CreateObject("TestObject");
    }
    void TearDown() override { DestroySingletons(); }

    static cObjectGroup* Group(int32_t id) { return cObjectManager::Instance()->GetGroup(id); }
    cModel* Load(const fs::path& path, cObject* object = nullptr) {
        object = object != nullptr ? object : m_object;
        static_cast<cModelAttr*>(object->GetAttribute("Model"))->m_meshFile =
            cModelLoader::Key(path.string());
        cModel* model = m_graphics->LoadModel(path.string(), path.filename().string());
        model->m_speed = 0;
        return model;
    }
    Picture Render() {
        m_graphics->RenderFrame();
        return Read();
    }
    Picture Read() {
        Picture picture;
        picture.bgrx.resize(1024 * 768 * 4);
        LPDIRECT3DSURFACE9 surface = nullptr;
        D3DLOCKED_RECT locked{};
        if (SUCCEEDED(m_graphics->GetRenderer()->m_D3DDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO,
                                                                            &surface)) &&
            SUCCEEDED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            std::memcpy(picture.bgrx.data(), locked.pBits, picture.bgrx.size());
            surface->UnlockRect();
        } else {
            ADD_FAILURE() << "the back buffer reads back";
        }
        if (surface != nullptr) surface->Release();
        return picture;
    }
    D3DXVECTOR3& CameraPosition(cObject* camera) {
        return static_cast<cPositionAttr*>(camera->GetAttribute("Position"))->m_position;
    }

    KeepCurrentDirectory m_keep;
    fs::path m_folder = VOREL_SOURCE_DIR;  // where the viewer starts
    cGraphicsManager* m_graphics = nullptr;
    cObject* m_camera = nullptr;
    cObject* m_object = nullptr;
};

TEST_F(GraphicsTest, AModelIsLitTexturedAndFilledAsAsked) {
    EXPECT_EQ(Render().Covered(), 0) << "an empty scene is the clear colour";
    cModel* model = Load(Sample("Lumen.x"));
    model->m_showSkeleton = false;
    const Picture solid = Render();
    EXPECT_NE(solid.At(512, 384), kClear) << "the camera frames the model";
    std::set<uint32_t> colours;
    for (int y = 0; y < 768; y += 3)
        for (int x = 0; x < 1024; x += 3)
            if (solid.At(x, y) != kClear) colours.insert(solid.At(x, y));
    EXPECT_GT(colours.size(), 50u) << "shaded and textured, not flat";
    EXPECT_EQ(colours.count(0), 0u) << "never black: the ambient light reaches every pixel";

    m_graphics->SetFillMode(D3DFILL_WIREFRAME);
    const int wireframe = Render().Covered();
    m_graphics->SetFillMode(D3DFILL_POINT);
    const int points = Render().Covered();
    EXPECT_LT(wireframe, solid.Covered());
    EXPECT_LT(points, wireframe);
    EXPECT_GT(points, 0);

    // The skeleton's white lines over the model.
    m_graphics->SetFillMode(D3DFILL_SOLID);
    m_graphics->ToggleSkeleton();
    EXPECT_GT(Render().Count(0xFFFFFF), solid.Count(0xFFFFFF) + 50);
}

// The textured subset between two coloured ones takes nothing of the
// first's colours and leaves nothing to the third; both containers of the
// frame are drawn.
TEST_F(GraphicsTest, MaterialsInARowAndEveryContainerOfAFrame) {
    ScratchFolder scratch;
    const uint8_t blue[4 * 3] = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 255};
    ASSERT_NE(stbi_write_png((scratch.Path() / "blue.png").c_str(), 2, 2, 3, blue, 6), 0);
    fs::copy_file(fs::path(VOREL_SOURCE_DIR) / "tests/fixtures/mesh/materials-in-a-row.x",
                  scratch.Path() / "row.x");
    cModel* model = Load(scratch.Path() / "row.x");
    ASSERT_EQ(model->m_containers.size(), 2u) << "both containers of the frame, each once";
    model->m_showSkeleton = false;
    const Picture picture = Render();
    // Lit by the ambient light alone (the light comes from above): 0.6 of
    // each colour.
    const auto count = [&](uint32_t colour) {
        return picture.Count([&](uint32_t c) {
            for (int shift : {0, 8, 16})
                if (std::abs(int((c >> shift) & 0xFF) - int((colour >> shift) & 0xFF)) > 3) return false;
            return true;
        });
    };
    EXPECT_GT(count(0x990000), 1000) << "red";
    EXPECT_GT(count(0x000099), 1000) << "textured";
    EXPECT_GT(count(0x009900), 1000) << "green, not textured";
    EXPECT_GT(count(0x999900), 1000) << "the frame's second container";
}

// A container whose skinned copy could not be made is drawn as it is
// posed for the tools: its own mesh, under its frame.
TEST_F(GraphicsTest, ASkinnedContainerWithoutItsCopyIsDrawnAsItIsPosed) {
    cModel* model = Load(Sample("Lumen.x"));
    model->m_showSkeleton = false;
    cMeshContainer* container = model->m_containers[0].container;
    container->m_skinnedMesh->Release();
    container->m_skinnedMesh = nullptr;
    EXPECT_FALSE(container->IsSkinned());
    std::vector<D3DXVECTOR3> posed;
    cModel::ModelSpaceVertices(model->m_containers[0], &posed);
    EXPECT_EQ(posed.size(), container->MeshData.pMesh->GetNumVertices());
    EXPECT_GT(Render().Covered(), 5000);
}

TEST_F(GraphicsTest, ASingularWorldDrawsNothing) {
    Load(Sample("Lumen.x"))->m_showSkeleton = false;
    static_cast<cModelAttr*>(m_object->GetAttribute("Model"))->m_scale = 0;
    CapturedDebugOutput output;
    EXPECT_EQ(Render().Covered(), 0);
    EXPECT_EQ(Render().Covered(), 0);
    EXPECT_NE(output.Text().find("singular world matrix"), std::string::npos);
    EXPECT_EQ(output.Text().find("singular"), output.Text().rfind("singular")) << "said once";
}

TEST_F(GraphicsTest, TextsAreMeasuredFromTheirCornerAndDrawnNewestFirst) {
    Graphics::cFontManager* fonts = m_graphics->GetFontManager();
    ASSERT_NE(fonts->GetFont("Arial"), nullptr);
    EXPECT_EQ(fonts->GetFont("arial"), nullptr) << "face names match exactly";
    const D3DXCOLOR white(255, 255, 255, 255);
    m_graphics->QueueText(1024, 768, "FPS: 62", "Arial", white, DT_RIGHT | DT_BOTTOM);
    m_graphics->QueueText(5, 5, "Keys\nmore keys", "Arial", white, DT_LEFT | DT_TOP);
    const auto& queue = fonts->GetTextQueue();
    ASSERT_EQ(queue.size(), 2u);
    const RECT fps = queue[0]->m_rect, keys = queue[1]->m_rect;
    EXPECT_TRUE(fps.bottom == 768 && fps.top == 768 - 18 && fps.left < 1024 - 40) << "the corner stays";
    EXPECT_TRUE(keys.top == 5 && keys.bottom == 5 + 2 * 18) << "two lines";

    // Two texts on one spot: the older one is drawn last, over the newer.
    m_graphics->QueueText(400, 400, "MMMM", "Arial", D3DXCOLOR(255, 0, 0, 255), 0);
    m_graphics->QueueText(400, 400, "MMMM", "Arial", D3DXCOLOR(0, 255, 0, 255), 0);
    const Picture picture = Render();
    EXPECT_TRUE(queue.empty());
    EXPECT_GT(picture.Count(0xFF0000), 30);
    EXPECT_EQ(picture.Count(0x00FF00), 0);
    EXPECT_GT(picture.Count([](uint32_t c) { return c == 0xFFFFFF; }, 960, 750), 30)
        << "the frame rate ends in the bottom-right corner";

    // A face without a font: skipped, said once.
    CapturedDebugOutput output;
    m_graphics->QueueText(0, 0, "lost", "Courier", white, 0);
    m_graphics->QueueText(0, 0, "lost", "Courier", white, 0);
    EXPECT_EQ(Render().Covered(), 0);
    EXPECT_NE(output.Text().find("no font"), std::string::npos);
    EXPECT_EQ(output.Text().find("no font"), output.Text().rfind("no font"));
}

TEST_F(GraphicsTest, ModelPacketsShareOneClock) {
    DrivenClock clock(1000);
    cModel* first = Load(Sample("Lumen.x"));
    cModel* other = Load(Sample("Blocks.x"), Group(2)->CreateObject("TestObject"));
    first->m_speed = other->m_speed = 1;
    Render();  // the first packet takes the stamp
    const float before = first->m_time, otherBefore = other->m_time;
    clock.AdvanceMs(100);
    Render();
    EXPECT_GT(first->m_time - before, 90.0f * first->m_animationSets[0]->m_ticksPerSecond / 1000);
    EXPECT_LT(other->m_time - otherBefore, 5.0f) << "the later packet of a frame gets almost nothing";
}

TEST(DepthRange, FollowsTheModelOnlyWhenItLeavesTheFixedPlanes) {
    const D3DXVECTOR3 eye(0, 0, 0);
    EXPECT_EQ(cGraphicsManager::DepthRange(eye, {0, 0, 30}, 10), std::make_pair(1.0f, 5000.0f));
    const auto [tinyNear, tinyFar] = cGraphicsManager::DepthRange(eye, {0, 0, 0.3f}, 0.1f);
    EXPECT_LE(tinyNear, 0.2f);
    EXPECT_GT(tinyNear, 0);
    EXPECT_GE(tinyFar, 0.4f);
    EXPECT_EQ(cGraphicsManager::DepthRange(eye, {0, 0, 0}, 0), std::make_pair(1.0f, 5000.0f));
}

// A model made 2000 times larger and turned a quarter about x (its sphere's
// centre goes from above its origin to behind it) is drawn between depth
// planes that hold every vertex where its whole world transform puts it.
TEST_F(GraphicsTest, AHugeTurnedModelLiesBetweenTheDepthPlanes) {
    cModel* model = Load(Sample("Lumen.x"));
    auto* attribute = static_cast<cModelAttr*>(m_object->GetAttribute("Model"));
    attribute->m_scale = 2000;
    float(&r)[3][3] = static_cast<cRotationAttr*>(m_object->GetAttribute("Rotation"))->m_rotation;
    r[1][1] = r[2][2] = 0, r[1][2] = 1, r[2][1] = -1;
    CameraPosition(m_camera) = D3DXVECTOR3(0, 0, -6000 * model->m_sphereRadius);
    Render();
    const D3DXMATRIX& projection = m_graphics->GetRenderer()->m_projectionMatrix;
    const float zNear = -projection._43 / projection._33,
                zFar = zNear * projection._33 / (projection._33 - 1);
    D3DXMATRIX scale, rotation(r[0][0], r[0][1], r[0][2], 0, r[1][0], r[1][1], r[1][2], 0, r[2][0], r[2][1],
                               r[2][2], 0, 0, 0, 0, 1);
    D3DXMatrixScaling(&scale, 2000, 2000, 2000);
    const D3DXMATRIX toView = scale * rotation * m_graphics->GetCamera()->m_viewMatrix;
    std::vector<D3DXVECTOR3> vertices;
    cModel::ModelSpaceVertices(model->m_containers[0], &vertices);
    float nearest = INFINITY, farthest = 0;
    for (const D3DXVECTOR3& v : vertices) {
        D3DXVECTOR3 p;
        D3DXVec3TransformCoord(&p, &v, &toView);
        nearest = std::min(nearest, p.z), farthest = std::max(farthest, p.z);
    }
    EXPECT_GT(zNear, 1.0f) << "planes of its own";
    EXPECT_LE(zNear, nearest);
    EXPECT_GE(zFar, farthest);
}

TEST_F(GraphicsTest, TheFramePathAllocatesNothing) {
    if (!kOwnAllocations) GTEST_SKIP() << "counted in the build without sanitizers";
    Load(Sample("Lumen.x"));
    Render();
    Render();  // GPU copies, buffers and the skeleton's lines are made by now
    const uint64_t before = g_allocations;
    for (int i = 0; i < 3; ++i)
        m_graphics->RenderFrame();
    EXPECT_EQ(g_allocations - before, 0u);

    // Every view tool on, once its rows and colours are made.
    cViewTools* viewTools = m_graphics->GetViewTools();
    viewTools->m_views = {.timeline = true,
                          .names = true,
                          .weights = true,
                          .framesPanel = true,
                          .infoPanel = true,
                          .normals = true,
                          .bounds = true,
                          .grid = true,
                          .backFaces = Graphics::BackFaces::kTint};
    m_graphics->SetFillMode(Graphics::kFillSolidWireframe);
    viewTools->Select(2);
    Render();
    Render();
    const uint64_t inspecting = g_allocations;
    for (int i = 0; i < 3; ++i)
        m_graphics->RenderFrame();
    EXPECT_EQ(g_allocations - inspecting, 0u) << "with every view on";
}

// Without memory, the device's calls say so and throw nothing.
TEST_F(GraphicsTest, TheDeviceReportsAnAllocationThatFails) {
    if (!kOwnAllocations) GTEST_SKIP() << "allocations fail in the build without sanitizers";
    Graphics::cGraphicsRenderer* renderer = m_graphics->GetRenderer();
    LPDIRECT3DDEVICE9 device = renderer->m_D3DDevice;
    cModel* model = Load(Sample("Blocks.x"));  // a mesh not drawn yet
    LPD3DXEFFECT effect = renderer->GetEffectsManager()->GetEffect("Phong");
    IDirect3DSurface9 *surface = nullptr, *failed = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface), D3D_OK);
    D3DPRESENT_PARAMETERS parameters = renderer->m_D3DPP;
    IDirect3DDevice9* made = device;
    D3DLOCKED_RECT locked{};
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    ASSERT_EQ(effect->BeginPass(0), D3D_OK);
    t_outOfMemory = true;
    const HRESULT created = renderer->m_D3DObject->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                                                0, &parameters, &made);
    const HRESULT backBuffer = device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &failed);
    const HRESULT lock = surface->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    const HRESULT draw = model->m_containers[0].container->MeshData.pMesh->DrawSubset(0);
    t_outOfMemory = false;
    effect->EndPass();
    effect->End();
    surface->Release();
    EXPECT_EQ(created, E_OUTOFMEMORY);
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(backBuffer, E_OUTOFMEMORY);
    EXPECT_EQ(failed, nullptr);
    EXPECT_EQ(lock, E_OUTOFMEMORY);
    EXPECT_EQ(draw, E_OUTOFMEMORY);
}

// Lines from the caller's memory, in their vertices' colours through world,
// view and projection; what the device does not draw is refused.
TEST_F(GraphicsTest, DrawPrimitiveUpDrawsColouredLines) {
    LPDIRECT3DDEVICE9 device = m_graphics->GetRenderer()->m_D3DDevice;
    struct Vertex {
        float x, y, z;
        D3DCOLOR colour;
    } lines[] = {{-1, 0.5f, 0.5f, 0xFFFF0000},
                 {1, 0.5f, 0.5f, 0xFFFF0000},  // across, a quarter down
                 {0.5f, -1, 0.5f, 0xFF00FF00},
                 {0.5f, 1, 0.5f, 0xFF00FF00}};  // from top to bottom
    D3DXMATRIX identity, half;
    D3DXMatrixIdentity(&identity);
    D3DXMatrixScaling(&half, 0.5f, 1, 1);
    EXPECT_EQ(device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_LINELIST, 2, lines, sizeof(Vertex)), D3DERR_INVALIDCALL)
        << "outside a scene";
    device->SetTransform(D3DTS_WORLD, &half);  // x halved: across the middle half, down at x = 0.25
    device->SetTransform(D3DTS_VIEW, &identity);
    device->SetTransform(D3DTS_PROJECTION, &identity);
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000032, 1.0f, 0);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_LINELIST, 2, lines, sizeof(Vertex)), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_LINESTRIP, 1, lines, 12), D3DERR_INVALIDCALL) << "a short stride";
    EXPECT_EQ(device->DrawPrimitiveUP(static_cast<D3DPRIMITIVETYPE>(4), 1, lines, sizeof(Vertex)),
              D3DERR_INVALIDCALL);
    device->SetFVF(D3DFVF_XYZ);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_LINELIST, 1, lines, sizeof(Vertex)), D3DERR_INVALIDCALL);
    device->EndScene();
    const Picture picture = Read();
    EXPECT_EQ(picture.Count(0xFF0000, 256, 190, 768, 194), 512 - 1) << "one row but the crossing";
    EXPECT_EQ(picture.Count(0x00FF00, 638, 0, 642, 768), 768);
    EXPECT_EQ(picture.Covered(), 512 + 768 - 1);
}

// Assets that are missing or broken: start-up, a model and a frame go on,
// and what is wrong is said naming the file (a message box, which without a
// display to show it on goes to standard error, or a trace line).
TEST(BrokenAssets, EachIsSaidNamingTheFile) {
    const fs::path source(VOREL_SOURCE_DIR);
    const auto replace = [](const fs::path& file, const std::string& from, const std::string& to) {
        std::string text = ReadFile(file);
        text.replace(text.find(from), from.size(), to);
        WriteFile(file, text);
    };
    const struct {
        const char* what;
        std::function<void(const fs::path&)> damage;
        const char* said;
    } cases[] = {
        {"no Assets folder", [](const fs::path& at) { fs::remove_all(at / "Assets"); },
         "Assets/XML/Effects.xml: cannot read the effect list"},
        {"an effect list without effects",
         [](const fs::path& at) { WriteFile(at / "Assets/XML/Effects.xml", "<Effects>\n</Effects>\n"); },
         "Assets/XML/Effects.xml: no \"Effects\" element with an \"Effect\" in it"},
        {"the technique's name given to a parameter",
         [&](const fs::path& at) {
             replace(at / "Assets/XML/Effects.xml", "<Technique name=\"LightTechnique\" var=\"Light\" />",
                     "<Handle name=\"LightTechnique\" var=\"EyePos\" />");
         },
         "_effect->SetTechnique(m_effectsManager->GetHandle(\"Phong\", \"LightTechnique\")) "
         "hr=D3DERR_INVALIDCALL"},
        {"a shader that does not compile",
         [&](const fs::path& at) { replace(at / "Assets/Shaders/Phong.fx", "main()", "main("); },
         "Assets/Shaders/Phong.fx(36): error"},
        {"an object file that is not XML",
         [](const fs::path& at) { WriteFile(at / "Assets/XML/Objects/TestObject.xml", "\x89PNG\r\n"); },
         "Assets/XML/Objects/TestObject.xml: object file not read"},
        {"a texture that is not an image",
         [](const fs::path& at) { WriteFile(at / "lumen.png", "not a picture\n"); },
         "lumen.png: cannot be read as a texture"}};
    ASSERT_NE(DeviceWindow(), nullptr);
    KeepCurrentDirectory keep;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder scratch;
        fs::copy(source / "Assets", scratch.Path() / "Assets", fs::copy_options::recursive);
        fs::copy_file(source / "Assets/Models/Lumen.x", scratch.Path() / "Lumen.x");
        fs::copy_file(source / "Assets/Models/lumen.png", scratch.Path() / "lumen.png");
        c.damage(scratch.Path());
        fs::current_path(scratch.Path());
        CapturedDebugOutput output;
        ::testing::internal::CaptureStderr();
        CreateSingletons();
        const bool started = cApplication::Instance()->Init();
        if (started) {
            cObjectManager::Instance()->GetGroup(1)->CreateObject("TestCamera");
            cObjectManager::Instance()->GetGroup(2)->CreateObject("TestObject");
            cGraphicsManager::Instance()->LoadModel((scratch.Path() / "Lumen.x").string(), "Lumen.x");
            cGraphicsManager::Instance()->RenderFrame();
        }
        DestroySingletons();
        const std::string said = output.Text() + ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(started) << said;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
    }
}

TEST(GraphicsStartUp, WithoutAWindowThereIsNoDeviceAndStartUpFails) {
    HWND window = DeviceWindow();
    ShowWindow(window, SW_HIDE);
    ASSERT_EQ(GetActiveWindow(), nullptr);
    CapturedDebugOutput output;
    CreateSingletons();
    EXPECT_FALSE(cApplication::Instance()->Init());
    EXPECT_NE(output.Text().find("cannot create the Direct3D device"), std::string::npos) << output.Text();
    cGraphicsManager::Instance()->RenderFrame();  // no device: nothing, and no crash
    DestroySingletons();
    ShowWindow(window, SW_SHOW);
}

// The device lost for good under a running viewer (its window gone; a
// minimised window loses it for a while): frames that cannot draw leave no
// texts behind, which would otherwise pile up and be drawn all at once.
TEST(LostDevice, AFrameThatCannotDrawLeavesNoTextsBehind) {
    HWND window = NewDeviceWindow("VorelLostDevice");
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);  // the active window: the device's
    KeepCurrentDirectory keep;
    fs::current_path(VOREL_SOURCE_DIR);
    CreateSingletons();
    ASSERT_TRUE(cApplication::Instance()->Init());
    ASSERT_TRUE(cModelViewer::Instance()->Init());
    cModelViewer::Instance()->LoadModel(Sample("Lumen.x").string(), "Lumen.x");
    const auto& queue = cGraphicsManager::Instance()->GetFontManager()->GetTextQueue();
    cApplication::Instance()->Update();
    EXPECT_TRUE(queue.empty()) << "drawn";
    DestroyWindow(window);
    ASSERT_EQ(cGraphicsManager::Instance()->GetRenderer()->m_D3DDevice->TestCooperativeLevel(),
              D3DERR_DEVICELOST);
    for (int frame = 0; frame < 10; ++frame) {
        cModelViewer::QueueOverlay(cGraphicsManager::Instance()->GetCurrentModel());
        EXPECT_EQ(queue.size(), 2u) << "one frame's texts at most";
        cGraphicsManager::Instance()->RenderFrame();
        EXPECT_TRUE(queue.empty()) << "frame " << frame;
    }
    DestroySingletons();
    UnregisterClassA("VorelLostDevice", nullptr);
}

// The techniques are taken first, then every element from the first Handle
// on as a parameter; a name keeps its first handle, and a name the effect
// does not have gives none.
TEST(EffectList, QuirksOfTheListHold) {
    ASSERT_NE(DeviceWindow(), nullptr);
    KeepCurrentDirectory keep;
    ScratchFolder scratch;
    fs::copy(fs::path(VOREL_SOURCE_DIR) / "Assets", scratch.Path() / "Assets", fs::copy_options::recursive);
    fs::copy_file(fs::path(VOREL_SOURCE_DIR) / "tests/fixtures/effects/Effects.xml",
                  scratch.Path() / "Assets/XML/Effects.xml", fs::copy_options::overwrite_existing);
    fs::current_path(scratch.Path());
    CreateSingletons();
    ASSERT_TRUE(cApplication::Instance()->Init());
    Graphics::cEffectsManager* effects = cGraphicsManager::Instance()->GetRenderer()->GetEffectsManager();
    LPD3DXEFFECT phong = effects->GetEffect("Phong");
    ASSERT_NE(phong, nullptr);
    EXPECT_EQ(effects->GetHandle("Phong", "Same"), phong->GetTechniqueByName("Light"))
        << "the technique stays";
    EXPECT_EQ(effects->GetHandle("Phong", "Late"), phong->GetTechniqueByName("Light"));
    EXPECT_EQ(effects->GetHandle("Phong", "Colour"), phong->GetParameterByName(nullptr, "LightColor"));
    EXPECT_EQ(effects->GetHandle("Phong", "Nothing"), nullptr);
    EXPECT_EQ(effects->GetHandle("Phong", "Unknown"), nullptr);
    EXPECT_EQ(effects->GetHandle("Other", "Same"), nullptr);
    DestroySingletons();
}

TEST_F(GraphicsTest, EveryRealModelRenders) {
    const auto files = RealModelFiles();
    if (files.empty()) GTEST_SKIP() << "no real model files: ../shared/models is not there";
    for (const fs::path& file : files) {
        cModel* model = Load(file);
        if (model->m_frameRoot == nullptr) continue;
        EXPECT_GT(Render().Covered(), 0) << file;
    }
}

// A PNG file's pixels as RGBA, with its size and the channels it holds.
struct Png {
    int width = 0, height = 0, channels = 0;
    std::vector<uint8_t> rgba;
    const uint8_t* At(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
    // Pixels unlike the top-left one.
    size_t Covered() const {
        size_t n = 0;
        for (size_t p = 0; p < rgba.size(); p += 4)
            n += std::memcmp(&rgba[p], rgba.data(), 3) != 0;
        return n;
    }
};

Png ReadPng(const fs::path& path) {
    Png png;
    stbi_uc* pixels = stbi_load(path.c_str(), &png.width, &png.height, &png.channels, 4);
    if (pixels != nullptr) png.rgba.assign(pixels, pixels + size_t(png.width) * png.height * 4);
    stbi_image_free(pixels);
    return png;
}

// vorel-snapshot, run as a user runs it: from another folder.
TEST(SnapshotTool, WritesPosedPicturesAndSaysWhatFails) {
    KeepCurrentDirectory keep;
    ScratchFolder scratch;
    fs::current_path(scratch.Path());
    const std::string snapshot = "vorel-snapshot " + Sample("Lumen.x").string();
    ASSERT_EQ(RunTool(snapshot + " a.png"), 0);
    ASSERT_EQ(RunTool(snapshot + " b.png --time 500 --fill wireframe --skeleton off"), 0);
    const Png a = ReadPng("a.png"), b = ReadPng("b.png");
    ASSERT_EQ(a.width * a.height, 1024 * 768);
    ASSERT_EQ(b.width * b.height, 1024 * 768);
    EXPECT_NE(a.rgba, b.rgba);
    EXPECT_EQ(a.At(0, 0)[0], 0);
    EXPECT_EQ(a.At(0, 0)[2], 0x32) << "the clear colour in the corner";
    EXPECT_NE(a.At(512, 384)[2], 0x32) << "the model in the middle";

    ASSERT_EQ(RunTool(snapshot + " walk-%02d.png --frames 3"), 0);
    EXPECT_TRUE(fs::exists("walk-00.png") && fs::exists("walk-02.png") && !fs::exists("walk-03.png"));
    EXPECT_NE(ReadPng("walk-00.png").rgba, ReadPng("walk-01.png").rgba);
    ASSERT_EQ(RunTool(snapshot + " still-%d.png --frames 2 --still --time 300"), 0);
    EXPECT_EQ(ReadPng("still-0.png").rgba, ReadPng("still-1.png").rgba) << "posed alike";
    ASSERT_EQ(RunTool(snapshot + " turn-%d.png --frames 2 --still --orbit 90 --skeleton off"), 0);
    EXPECT_NE(ReadPng("turn-0.png").rgba, ReadPng("turn-1.png").rgba) << "seen from a quarter turn on";

    EXPECT_EQ(RunTool("vorel-snapshot no-such.x out.png"), 1);
    EXPECT_EQ(RunTool(snapshot + " no/such/folder/out.png"), 1);
    EXPECT_EQ(RunTool(snapshot + " out.png --set 99"), 1);
    EXPECT_EQ(RunTool(snapshot + " out-%s.png --frames 2"), 2) << "only a number is put in a pattern";
    EXPECT_FALSE(fs::exists("out.png"));
}

// Thumbnails show models a plain picture misses; pictures take any size
// and can leave the background transparent.
TEST(SnapshotTool, ThumbnailsShowTheModelAndPicturesTakeAnySize) {
    KeepCurrentDirectory keep;
    ScratchFolder scratch;
    fs::current_path(scratch.Path());
    for (const char* fixture : {"facing-away.x", "edge-on.x"}) {
        SCOPED_TRACE(fixture);
        const std::string model = (fs::path(VOREL_SOURCE_DIR) / "tests/fixtures/mesh" / fixture).string();
        ASSERT_EQ(RunTool("vorel-snapshot " + model + " plain.png --size 128"), 0);
        EXPECT_EQ(ReadPng("plain.png").Covered(), 0u) << "nothing seen from the front";
        ASSERT_EQ(RunTool("vorel-snapshot " + model + " thumb.png --thumbnail --size 128"), 0);
        const Png thumb = ReadPng("thumb.png");
        EXPECT_EQ(thumb.width * thumb.height, 128 * 128);
        EXPECT_GT(thumb.Covered(), 128u * 128 / 5);
    }

    const std::string lumen = "vorel-snapshot " + Sample("Lumen.x").string();
    ASSERT_EQ(RunTool(lumen + " clear.png --transparent --width 300 --height 500 --fill solid-wireframe"), 0);
    const Png clear = ReadPng("clear.png");
    EXPECT_EQ(clear.width, 300);
    ASSERT_EQ(clear.height, 500);
    EXPECT_EQ(clear.channels, 4);
    EXPECT_EQ(clear.At(0, 0)[3], 0) << "the corner shows through";
    EXPECT_EQ(clear.At(150, 250)[3], 255) << "the model does not";
    EXPECT_EQ(RunTool(lumen + " big.png --width 100000"), 2);

    // A contact sheet: a cell for each file in natural order, pages of two.
    fs::create_directory("in");
    fs::copy_file(Sample("Blocks.x"), "in/m10.x");
    fs::copy_file(Sample("Lumen.x"), "in/m9.x");
    WriteFile("in/m1.x", "not a model");
    EXPECT_EQ(RunTool("vorel-snapshot --sheet sheet.png in --size 64 --columns 2 --per-page 2"), 1) << "m1.x";
    const Png first = ReadPng("sheet.png"), second = ReadPng("sheet-2.png");
    ASSERT_EQ(first.width * first.height, 128 * 64);
    ASSERT_EQ(second.width * second.height, 64 * 64);
    const auto cell = [](const Png& png, int x0) {
        size_t model = 0;  // in the top rows, above any text
        for (int y = 0; y < 20; ++y)
            for (int x = x0; x < x0 + 64; ++x)
                model += png.At(x, y)[2] != 0x32;
        return model;
    };
    EXPECT_EQ(cell(first, 0), 0u) << "m1.x: cannot be read";
    EXPECT_GT(cell(first, 64), 20u) << "m9.x";
    EXPECT_GT(cell(second, 0), 20u) << "m10.x";
    EXPECT_EQ(RunTool(lumen + " odd.png --backfaces sideways"), 2);
}

// ------------------------------------------------------------ the viewer ---

class ViewerTest : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        m_viewer = cModelViewer::Instance();
        ASSERT_TRUE(m_viewer->Init());
        m_input = cInput::Instance();
    }
    // One frame with `keys` held down (pressed in this frame).
    void Frame(std::initializer_list<uint32_t> keys) {
        for (uint32_t k : keys)
            m_input->KeyDown(k);
        m_viewer->HandleInput();
        for (uint32_t k : keys)
            m_input->KeyUp(k);
        m_input->EndFrame();
    }
    cObject* Camera() const { return Group(1)->GetObjects().rbegin()->second; }

    cModelViewer* m_viewer = nullptr;
    cInput* m_input = nullptr;
};

TEST_F(ViewerTest, KeysMoveTheCameraWhichLooksAtTheAxis) {
    m_viewer->LoadModel(Sample("Lumen.x").string(), "Lumen.x");
    const cModel* model = m_graphics->GetCurrentModel();
    const float distance = 3 * model->m_sphereRadius;
    EXPECT_FLOAT_EQ(m_viewer->GetDistance(), distance);
    Frame({'A', 'R', 'R'});
    EXPECT_FLOAT_EQ(m_viewer->GetAngle(), -1.5707964f - 0.05f);
    EXPECT_FLOAT_EQ(m_viewer->GetHeight(), 1) << "a held key acts once a frame";
    const D3DXVECTOR3& position = CameraPosition(Camera());
    const auto* orientation = static_cast<cOrientationAttr*>(Camera()->GetAttribute("Orientation"));
    EXPECT_FLOAT_EQ(position.x, static_cast<float>(distance * std::cos(double(m_viewer->GetAngle()))));
    EXPECT_FLOAT_EQ(position.y, 1 + model->m_sphereCenter.y);
    EXPECT_FLOAT_EQ(orientation->m_view.x, -position.x);
    EXPECT_EQ(orientation->m_view.y, 0.0f);

    for (int i = 0; i < 100; ++i)
        Frame({'W'});
    EXPECT_EQ(m_viewer->GetDistance(), 2.0f) << "never nearer than 2";
    Frame({'W', 'S'});
    EXPECT_EQ(m_viewer->GetDistance(), 3.0f);
    Frame({'S', 'D', 'F', VK_TAB});
    EXPECT_FLOAT_EQ(m_viewer->GetDistance(), distance) << "Tab acts last";
    EXPECT_FLOAT_EQ(m_viewer->GetAngle(), -1.5707964f);
    EXPECT_EQ(m_viewer->GetHeight(), 0.0f);
}

TEST_F(ViewerTest, KeysSteerTheAnimationAndTheFill) {
    Frame({VK_SPACE, VK_PAUSE, VK_ADD});  // no model: nothing happens
    m_viewer->LoadModel(Sample("Lumen.x").string(), "Lumen.x");
    cModel* model = m_graphics->GetCurrentModel();
    ASSERT_GE(model->m_setCount, 2u);
    Frame({'2'});
    EXPECT_EQ(m_graphics->GetFillMode(), D3DFILL_WIREFRAME);
    Frame({'1'});
    EXPECT_EQ(m_graphics->GetFillMode(), D3DFILL_POINT);
    Frame({'3'});
    EXPECT_EQ(m_graphics->GetFillMode(), D3DFILL_SOLID);
    model->m_time = 50;
    for (uint32_t i = 0; i < model->m_setCount; ++i)
        Frame({VK_SPACE});
    EXPECT_EQ(model->m_currentSet, 0u) << "round to the first set";
    EXPECT_EQ(model->m_time, 0.0f);
    Frame({VK_PAUSE});
    EXPECT_EQ(model->m_speed, 0.0f);
    Frame({VK_PAUSE});
    EXPECT_EQ(model->m_speed, 1.0f);
    Frame({VK_OEM_MINUS, VK_SUBTRACT});
    EXPECT_FLOAT_EQ(model->m_speed, 0.9f) << "both minus keys: one step";
    Frame({VK_OEM_PLUS, VK_ADD});
    Frame({VK_ADD});
    EXPECT_EQ(cModelViewer::ModelInformation(*model),
              "Lumen.x\n0: " + model->m_animationSets[0]->m_name + "\nSpeed Adjust: 1.1");
    model->m_speed = 0.05f;
    Frame({VK_SUBTRACT});
    EXPECT_EQ(model->m_speed, 0.0f) << "never below 0";
    Frame({VK_PAUSE});
    EXPECT_EQ(model->m_speed, 1.0f) << "the speed the last pause kept";
    const bool shown = model->m_showSkeleton;
    Frame({'4'});
    EXPECT_NE(model->m_showSkeleton, shown);
    // A set number past the sets read shows no name.
    model->m_currentSet = 99;
    EXPECT_EQ(cModelViewer::ModelInformation(*model), "Lumen.x\n99: \nSpeed Adjust: 1");
}

// The overlay: the key help as it is written, always; the model block only
// for a model with animation sets.
TEST_F(ViewerTest, AnotherModelReplacesTheFirstAndTheOverlaySaysWhatIsShown) {
    const auto& queue = m_graphics->GetFontManager()->GetTextQueue();
    cModelViewer::QueueOverlay(nullptr);
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_EQ(queue[0]->m_text, ReadFile(fs::path(VOREL_SOURCE_DIR) / "tests/fixtures/key-help.txt"));
    m_graphics->GetFontManager()->ClearTextQueue();
    m_viewer->Update();
    const Picture empty = Read();
    EXPECT_GT(empty.Covered(), 1000) << "the key help";
    EXPECT_EQ(empty.Covered(900, 0, 1024, 60), 0) << "no model block without a model";

    m_viewer->LoadModel(Sample("Blocks.x").string(), "Blocks.x");
    m_viewer->Update();
    EXPECT_EQ(Read().Covered(900, 0, 1024, 60), 0) << "no model block for a model without sets";
    m_viewer->LoadModel(Sample("Lumen.x").string(), "Lumen.x");
    m_viewer->Update();
    EXPECT_EQ(Group(2)->GetObjects().size(), 1u) << "the earlier objects are gone";
    EXPECT_GT(Read().Covered(900, 0, 1024, 60), 100) << "the model block";
    EXPECT_EQ(m_graphics->GetCurrentModel()->m_name, "Lumen.x");
}

TEST_F(ViewerTest, AFileThatDoesNotLoadLeavesTheModelOnScreenAndSaysWhy) {
    m_viewer->LoadModel(Sample("Lumen.x").string(), "Lumen.x");
    m_viewer->Update();
    cObject* shown = Group(2)->GetObjects().rbegin()->second;
    ScratchFolder scratch;
    const fs::path broken = scratch.Path() / "broken.x";
    WriteFile(broken, "xof 0303txt 0032\nFrame {");
    CapturedDebugOutput output;
    m_viewer->LoadModel(broken.string(), "broken.x");
    m_viewer->Update();
    EXPECT_NE(output.Text().find(broken.string() + ": cannot be opened as a model"), std::string::npos)
        << output.Text();
    EXPECT_EQ(m_graphics->GetCurrentModel()->m_name, "Lumen.x");
    EXPECT_EQ(Group(2)->GetObjects().rbegin()->second, shown);
    EXPECT_NE(Read().At(512, 384), kClear) << "still drawn";
}

// Archetypes are the objects' patterns: their components never draw and
// never place the view. Of two cameras, the one of the higher id does.
TEST_F(ViewerTest, ArchetypesNeverDrawAndTheLaterCameraPlacesTheView) {
    m_viewer->LoadModel(Sample("Lumen.x").string(), "Lumen.x");
    m_graphics->GetCurrentModel()->m_speed = 0;
    cObject* viewers = Camera();  // the viewer's, after the fixture's
    const Picture shown = Render();
    ASSERT_GT(shown.Covered(400, 200, 624, 568), 5000);
    cObject* cameraPattern = Group(1)->GetArchetypes().at("TestCamera");
    CameraPosition(cameraPattern) = D3DXVECTOR3(0, 0, 9000);  // looking away from the model
    cObject* modelPattern = Group(2)->GetArchetypes().at("TestObject");
    static_cast<cModelAttr*>(modelPattern->GetAttribute("Model"))->m_meshFile =
        cModelLoader::Key(Sample("Lumen.x").string());
    static_cast<cModelAttr*>(modelPattern->GetAttribute("Model"))->m_scale = 50;
    EXPECT_EQ(Render().bgrx, shown.bgrx);

    cObject* later = Group(1)->CreateObject("TestCamera");
    ASSERT_GT(later->m_id, viewers->m_id);
    const auto view = [](cObject* camera) -> D3DXVECTOR3& {
        return static_cast<cOrientationAttr*>(camera->GetAttribute("Orientation"))->m_view;
    };
    CameraPosition(later) = CameraPosition(viewers) + D3DXVECTOR3(0, 0, 9000);
    EXPECT_EQ(Render().Covered(400, 200, 624, 568), 0) << "the later camera looks past the model";
    CameraPosition(later) = CameraPosition(viewers);
    view(later) = view(viewers);
    CameraPosition(viewers) = D3DXVECTOR3(0, 0, 9000);
    EXPECT_EQ(Render().bgrx, shown.bgrx) << "the earlier one does not count";
}

// An exporter writes the open file again: the viewer loads the new version
// once it has been still for a while, keeping the view, the fill mode, the
// speed and the set.
TEST_F(ViewerTest, WritingTheOpenFileAgainLoadsTheNewVersionAndKeepsTheView) {
    DrivenClock clock(1000);
    ScratchFolder scratch;
    const fs::path path = scratch.Path() / "model.x";
    std::string renamed = ReadFile(Sample("Lumen.x"));
    WriteFile(path, renamed);
    renamed.replace(renamed.find("AnimationSet Nod {"), 18, "AnimationSet NodAgain {");
    m_viewer->LoadModel(path.string(), "model.x");
    for (uint32_t key : {uint32_t(VK_SPACE), uint32_t(VK_PAUSE), uint32_t('2'), uint32_t('D')})
        Frame({key});
    const float angle = m_viewer->GetAngle();
    CapturedDebugOutput output;
    WriteFile(path, renamed);
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(1));  // a later version
    for (int frame = 0; frame < 10; ++frame) {
        clock.AdvanceMs(100);
        m_viewer->Update();
    }
    EXPECT_NE(output.Text().find("changed on disk and loaded again"), std::string::npos) << output.Text();
    const cModel* model = m_graphics->GetCurrentModel();
    EXPECT_EQ(cModelViewer::ModelInformation(*model), "model.x\n1: NodAgain\nSpeed Adjust: 0");
    EXPECT_EQ(m_graphics->GetFillMode(), D3DFILL_WIREFRAME);
    EXPECT_EQ(m_viewer->GetAngle(), angle);
}

// The Animation menu lists the model's sets, the current one checked;
// choosing one plays it, and Pause and the speeds act as their keys do;
// without sets its commands are grayed.
TEST_F(ViewerTest, TheAnimationMenuListsTheSetsAndActs) {
    ASSERT_TRUE(cWindow::Instance()->Init(nullptr, "Vorel"));
    const HWND window = cWindow::MainWindow();
    HMENU menu = GetSubMenu(GetMenu(window), 2);
    ASSERT_NE(menu, nullptr);
    const int commands = GetMenuItemCount(menu);  // and a separator among them, before the sets
    m_viewer->LoadModel(Sample("Lumen.x").string(), "Lumen.x");
    m_viewer->UpdateMenu();
    ASSERT_EQ(GetMenuItemCount(menu), commands + 1 + 3) << "the commands, a separator, the sets";
    EXPECT_EQ(menu->items.back().label, "2: " + m_graphics->GetCurrentModel()->m_animationSets[2]->m_name);
    EXPECT_EQ(CheckMenuItem(menu, ID_ANIMATION_SET, MF_CHECKED), DWORD(MF_CHECKED));
    cWindow::Instance()->WindowProc(window, WM_COMMAND, ID_ANIMATION_SET + 2, 0);
    Frame({VK_SPACE});
    m_viewer->UpdateMenu();
    EXPECT_EQ(m_graphics->GetCurrentModel()->m_currentSet, 0u) << "the third set, then on round to the first";
    EXPECT_EQ(CheckMenuItem(menu, ID_ANIMATION_SET + 2, MF_UNCHECKED), DWORD(MF_UNCHECKED));
    cWindow::Instance()->WindowProc(window, WM_COMMAND, ID_ANIMATION_PAUSE, 0);
    m_viewer->UpdateMenu();
    EXPECT_EQ(CheckMenuItem(menu, ID_ANIMATION_PAUSE, MF_CHECKED), DWORD(MF_CHECKED));
    const uint64_t before = g_allocations;
    m_viewer->UpdateMenu();
    EXPECT_TRUE(!kOwnAllocations || g_allocations == before)
        << "a frame's look at the menu allocates nothing";
    cWindow::Instance()->WindowProc(window, WM_COMMAND, ID_ANIMATION_FASTER, 0);
    EXPECT_FLOAT_EQ(m_graphics->GetCurrentModel()->m_speed, 0.1f);

    m_viewer->LoadModel(Sample("Blocks.x").string(), "Blocks.x");
    m_viewer->UpdateMenu();
    EXPECT_EQ(GetMenuItemCount(menu), commands);
    EXPECT_EQ(EnableMenuItem(menu, ID_ANIMATION_END, MF_GRAYED), MF_GRAYED);
    DestroyWindow(window);
    cWindow::Destroy();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

// Right and Left step a thirtieth of a second of the set's time (on while
// held), Ctrl with them goes from key to key, Home and End to the ends;
// each pauses, and Pause plays on from there. A pose stepped to is the one
// vorel-info prints for that time.
TEST_F(ViewerTest, KeysStepThroughTheSetAndThePoseIsTheToolsOwn) {
    m_viewer->LoadModel(Sample("Lumen.x").string(), "Lumen.x");  // "Sway": 2000 ticks, 1000 a second
    cModel* model = m_graphics->GetCurrentModel();
    model->m_time = 500;
    Frame({VK_RIGHT});
    EXPECT_FLOAT_EQ(model->m_time, 500 + 1000.0f / 30);
    EXPECT_EQ(model->m_speed, 0.0f) << "paused";
    Frame({VK_CONTROL, VK_RIGHT});
    EXPECT_EQ(model->m_time, 750.0f) << "the next key";
    Frame({VK_CONTROL, VK_LEFT});
    Frame({VK_CONTROL, VK_LEFT});
    EXPECT_EQ(model->m_time, 250.0f);
    Frame({VK_END});
    EXPECT_EQ(model->m_time, std::nextafter(2000.0f, 0.0f)) << "the last pose, before the set loops";
    Frame({VK_HOME});
    Frame({VK_LEFT});
    EXPECT_EQ(model->m_time, 0.0f);
    m_input->KeyDown(VK_RIGHT);
    for (int frame = 0; frame < 30; ++frame, m_input->EndFrame())
        m_viewer->HandleInput();
    m_input->KeyUp(VK_RIGHT);
    EXPECT_FLOAT_EQ(model->m_time, 6 * 1000.0f / 30) << "once, then every other frame after 18";
    Frame({VK_PAUSE});
    EXPECT_EQ(model->m_speed, 1.0f) << "plays on";

    // The pose stepped to, and one scrubbed to, as vorel-info prints it.
    const auto expectToolsPose = [&] {
        model->Update(model->m_time);
        std::vector<D3DXVECTOR3> posed;
        cModel::ModelSpaceVertices(model->m_containers[0], &posed);
        char ticks[32];
        std::snprintf(ticks, sizeof ticks, "%.9g", model->m_time);
        std::string printed;
        ASSERT_EQ(
            RunTool("vorel-info --pose " + std::string(ticks) + " " + Sample("Lumen.x").string(), &printed),
            0);
        std::istringstream lines(printed.substr(printed.find('\n') + 1));
        for (const D3DXVECTOR3& p : posed) {
            float x = 0, y = 0, z = 0;
            lines >> x >> y >> z;
            EXPECT_TRUE(x == p.x && y == p.y && z == p.z)
                << x << " " << y << " " << z << " printed at " << ticks;
        }
    };
    expectToolsPose();
    const cViewTools::Rect bar = cViewTools::TimelineBar(1024, 768);
    m_viewer->MouseDown(bar.left + 333, bar.top + 3);
    m_viewer->MouseUp(bar.left + 333, bar.top + 3);
    EXPECT_NEAR(model->m_time, 2000.0f * 333 / (bar.right - bar.left - 1), 0.01f) << "scrubbed";
    expectToolsPose();
}

TEST_F(ViewerTest, TheMouseMovesTheCameraAsTheKeysDo) {
    m_viewer->LoadModel(Sample("Lumen.x").string(), "Lumen.x");
    const float distance = m_viewer->GetDistance();
    cWindow* window = cWindow::Instance();
    window->WindowProc(nullptr, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(100, 100));  // no button went down here
    EXPECT_FLOAT_EQ(m_viewer->GetAngle(), -1.5707964f);
    window->WindowProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
    window->WindowProc(nullptr, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150, 80));
    EXPECT_LT(m_viewer->GetAngle(), -1.5707964f) << "dragged right: around the model";
    EXPECT_LT(m_viewer->GetHeight(), 0.0f) << "dragged up";
    window->WindowProc(nullptr, WM_LBUTTONUP, 0, MAKELPARAM(150, 80));
    const float angle = m_viewer->GetAngle();
    window->WindowProc(nullptr, WM_MOUSEMOVE, 0, MAKELPARAM(300, 300));
    EXPECT_EQ(m_viewer->GetAngle(), angle) << "no drag without the button";
    window->WindowProc(nullptr, WM_MOUSEWHEEL, WPARAM(WHEEL_DELTA) << 16, 0);
    EXPECT_LT(m_viewer->GetDistance(), distance);
    for (int i = 0; i < 200; ++i)
        window->WindowProc(nullptr, WM_MOUSEWHEEL, WPARAM(WHEEL_DELTA) << 16, 0);
    EXPECT_EQ(m_viewer->GetDistance(), 2.0f);
    window->WindowProc(nullptr, WM_MOUSEWHEEL, WPARAM(WORD(-WHEEL_DELTA)) << 16, 0);
    EXPECT_GT(m_viewer->GetDistance(), 2.0f);
    Frame({VK_TAB});
    EXPECT_FLOAT_EQ(m_viewer->GetDistance(), distance);
    cWindow::Destroy();
}

// The frame of that name, as an index of the model's frames.
int32_t FrameIndex(const cModel& model, const char* name) {
    const auto at = std::find(model.m_frames.begin(), model.m_frames.end(), model.FindFrame(name));
    return at == model.m_frames.end() ? -1 : static_cast<int32_t>(at - model.m_frames.begin());
}

// Where the joint of that frame was drawn in the last frame.
std::pair<int, int> JointOnScreen(cGraphicsManager* graphics, const cModel& model, const char* name) {
    const Graphics::cGraphicsRenderer* r = graphics->GetRenderer();
    float x = -1, y = -1;
    EXPECT_TRUE(cViewTools::Project(model.Joints()[static_cast<size_t>(FrameIndex(model, name))],
                                    r->m_viewMatrix * r->m_projectionMatrix, 1024, 768, &x, &y));
    return {static_cast<int>(x), static_cast<int>(y)};
}

// A press and a drag on the timeline put the pose at that time, paused, and
// never turn the camera; a click on a joint selects its frame, a click on
// empty space clears it, a drag turns the camera and keeps it.
TEST_F(ViewerTest, TheMouseScrubsTheTimelineAndPicksJoints) {
    m_viewer->LoadModel(Sample("Figure.x").string(), "Figure.x");
    cModel* model = m_graphics->GetCurrentModel();
    cViewTools* viewTools = m_graphics->GetViewTools();
    Render();
    const cViewTools::Rect bar = cViewTools::TimelineBar(1024, 768);
    const float angle = m_viewer->GetAngle();
    m_viewer->MouseDown(bar.left + (bar.right - bar.left) / 4, bar.top + 4);
    EXPECT_NEAR(model->m_time, 1200, 4800.0 / (bar.right - bar.left)) << "a quarter of 4800 ticks";
    EXPECT_EQ(model->m_speed, 0.0f) << "paused";
    m_viewer->MouseMove(bar.right + 40, bar.top - 200, true);
    EXPECT_EQ(model->m_time, cTimeline::End(*model)) << "held at the end";
    m_viewer->MouseUp(bar.right + 40, bar.top - 200);
    EXPECT_EQ(m_viewer->GetAngle(), angle) << "the timeline's, not the camera's";
    EXPECT_EQ(viewTools->Selected(), -1);
    m_graphics->TogglePause();
    EXPECT_EQ(model->m_speed, 1.0f) << "Pause plays on";

    m_graphics->SeekAnimation(0);
    Render();
    const auto [x, y] = JointOnScreen(m_graphics, *model, "Head");
    m_viewer->MouseDown(x + 3, y - 2);
    m_viewer->MouseUp(x + 3, y + 1);
    EXPECT_EQ(viewTools->Selected(), FrameIndex(*model, "Head"));
    m_viewer->MouseDown(x, y);
    m_viewer->MouseMove(x + 40, y, true);
    m_viewer->MouseUp(x + 40, y);
    EXPECT_LT(m_viewer->GetAngle(), angle) << "a drag turns the camera";
    EXPECT_EQ(viewTools->Selected(), FrameIndex(*model, "Head")) << "and keeps the selection";
    m_viewer->MouseDown(900, 300);
    m_viewer->MouseUp(900, 300);
    EXPECT_EQ(viewTools->Selected(), -1) << "empty space";

    // The frames panel: Figure, its mesh Body, Pelvis, ... A row selects its
    // frame, an arrow folds it, the wheel scrolls the panel, not the camera.
    viewTools->m_views.framesPanel = true;
    Render();
    const cViewTools::Rect box = viewTools->Panels().FramesRect();
    const int rows = viewTools->LineHeight() + 2, first = box.top + 6 + rows + rows / 2;
    const auto press = [&](int px, int py) {
        m_viewer->MouseDown(px, py);
        m_viewer->MouseUp(px, py);
    };
    press(box.left + 100, first + 2 * rows);
    EXPECT_EQ(viewTools->Selected(), FrameIndex(*model, "Pelvis"));
    const float distance = m_viewer->GetDistance();
    m_viewer->MouseMove(box.left + 100, first, false);
    m_viewer->Wheel(-1);
    EXPECT_EQ(m_viewer->GetDistance(), distance) << "the panel's wheel";
    press(box.left + 12, first);  // Figure's arrow: all but Figure hidden
    Render();
    press(box.left + 100, first + rows);
    EXPECT_EQ(viewTools->Selected(), FrameIndex(*model, "Pelvis")) << "no row there now";
    press(box.left + 100, first);
    EXPECT_EQ(viewTools->Selected(), FrameIndex(*model, "Figure"));
}

// The skin in the colours of the selected bone's weights: hot along it,
// cold far from it; a frame that is no bone colours nothing. Names are
// drawn beside their joints.
TEST_F(GraphicsTest, WeightsAndNamesAreDrawnWhereTheBonesAre) {
    cModel* model = Load(Sample("Figure.x"));
    model->m_showSkeleton = false;
    cViewTools* viewTools = m_graphics->GetViewTools();
    const Picture plain = Render();
    const auto [hx, hy] = JointOnScreen(m_graphics, *model, "Hand_L");
    const auto [fx, fy] = JointOnScreen(m_graphics, *model, "Forearm_L");
    const auto [sx, sy] = JointOnScreen(m_graphics, *model, "Spine2");
    // Lit, so darker than the ramp.
    const auto red = [](uint32_t c) { return (c >> 16 & 0xFF) > 120 && (c >> 16 & 0xFF) > 3 * (c & 0xFF); };
    const auto blue = [](uint32_t c) { return (c & 0xFF) > 100 && (c & 0xFF) > 2 * (c >> 16 & 0xFF); };

    viewTools->m_views.weights = true;
    viewTools->Select(FrameIndex(*model, "Forearm_L"));
    const Picture weights = Render();
    EXPECT_TRUE(red(weights.At((hx + fx) / 2, (hy + fy) / 2)))
        << std::hex << weights.At((hx + fx) / 2, (hy + fy) / 2);
    EXPECT_TRUE(blue(weights.At(sx, sy))) << std::hex << weights.At(sx, sy);
    EXPECT_GT(weights.Count(red, 140, 700, 180, 740), 50) << "the legend's hot end";
    viewTools->Select(FrameIndex(*model, "Figure"));
    EXPECT_EQ(Render().At(sx, sy), plain.At(sx, sy)) << "the root frame is no bone";

    viewTools->m_views = {.names = true};
    const Picture names = Render();
    const auto white = [](uint32_t c) { return c == 0xFFFFFF; };
    EXPECT_EQ(plain.Count(white, sx + 4, sy - 8, sx + 60, sy + 8), 0);
    EXPECT_GT(names.Count(white, sx + 4, sy - 8, sx + 60, sy + 8), 15) << "Spine2 to the right of its joint";
}

// Files of odd shape with every view on: each shows something sensible
// (a timeline only with a set, the panels, names where there are names)
// and nothing fails.
TEST_F(GraphicsTest, EveryViewCopesWithOddFiles) {
    const auto model = [](const std::string& frames, const std::string& bone, const std::string& sets) {
        return "xof 0303txt 0032\nFrame Root { FrameTransformMatrix { 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }\n" +
               frames +
               "Mesh Body { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; XSkinMeshHeader { 1; 1; 1; }\n"
               "SkinWeights { \"" +
               bone + "\"; 3; 0,1,2; 1,1,1; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; } } }\n" + sets;
    };
    const std::string bone = "Frame B { FrameTransformMatrix { 1,0,0,0,0,1,0,0,0,0,1,0,0,2,0,1;; } }\n";
    const auto set = [](const std::string& keys) {
        return "AnimationSet S { Animation { { B } AnimationKey { 2; " + keys + "; } } }\n";
    };
    std::string many = "10000; ";
    for (int i = 0; i < 10000; ++i)
        many += std::to_string(i) + "; 3; " + std::to_string(i % 7) + ",0,0;;" + (i < 9999 ? "," : ";");
    const struct {
        const char* what;
        std::string file;
        bool timeline;
    } odd[] = {
        {"no sets", model(bone, "B", ""), false},
        {"a set of length 0", model(bone, "B", set("1; 0; 3; 1,0,0;;;")), true},
        {"keys at one time", model(bone, "B", set("3; 5; 3; 0,0,0;;, 5; 3; 1,0,0;;, 5; 3; 2,0,0;;;")), true},
        {"ten thousand keys", model(bone, "B", set(many)), true},
        {"a bone name not UTF-8", model(bone, "\xC3\x28\xFF", ""), false},
        {"empty and duplicate names", model("Frame { } Frame { }\n" + bone + bone, "B", ""), false},
        {"a bone that names no frame", model(bone, "Ghost", set("1; 9; 3; 1,0,0;;;")), true},
        {"a frame of scale 0",
         model("Frame B { FrameTransformMatrix { 0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1;; } }\n", "B", ""), false},
    };
    ScratchFolder scratch;
    cViewTools* viewTools = m_graphics->GetViewTools();
    for (const auto& [what, text, timeline] : odd) {
        SCOPED_TRACE(what);
        const fs::path file = scratch.Path() / (std::string(what) + ".x");
        ASSERT_TRUE(WriteFile(file, text));
        cModel* loaded = Load(file);
        ASSERT_NE(loaded->m_frameRoot, nullptr);
        viewTools->m_views = {
            .timeline = true, .names = true, .weights = true, .framesPanel = true, .infoPanel = true};
        viewTools->Select(FrameIndex(*loaded, "B"));
        const Picture picture = Render();
        const auto band = [](uint32_t c) { return c == 0x1C2028; };
        EXPECT_EQ(picture.Count(band, 420, 705, 600, 715) > 1000, timeline) << "the timeline's band";
        EXPECT_GT(picture.Count(band, 0, 0, 1024, 700), 40000) << "both panels";
        for (const D3DXVECTOR3& joint : loaded->Joints())
            EXPECT_TRUE(std::isfinite(joint.x + joint.y + joint.z));
        for (const auto& row : viewTools->Panels().FileRows())
            EXPECT_FALSE(row.empty());
        viewTools->Press(cViewTools::TimelineBar(1024, 768).right - 1,
                         cViewTools::TimelineBar(1024, 768).top);
        viewTools->Release();
        EXPECT_EQ(loaded->m_time, timeline ? cTimeline::End(*loaded) : 0.0f) << "a press at the end";
    }
    // More frames than rows: the wheel scrolls the panel three rows a notch.
    std::string siblings;
    for (int i = 0; i < 100; ++i)
        siblings += "Frame F" + std::to_string(i) + " { }\n";
    ASSERT_TRUE(WriteFile(scratch.Path() / "siblings.x", model(siblings, "F0", "")));
    cModel* hundred = Load(scratch.Path() / "siblings.x");
    Render();
    const cViewTools::Rect box = viewTools->Panels().FramesRect();
    const int first = box.top + 6 + (viewTools->LineHeight() + 2) * 3 / 2;
    EXPECT_TRUE(viewTools->Wheel(box.left + 50, first, -2));
    Render();
    EXPECT_TRUE(viewTools->Press(box.left + 100, first));
    EXPECT_EQ(viewTools->Selected(), FrameIndex(*hundred, "F4")) << "Root, its mesh, F0, ... six rows on";
}

// The back buffer takes the window's new size: the projection's aspect is
// the new one, the key help, the model block and the frame rate keep their
// corners, and a reset inside a scene or to a size that cannot be made
// changes nothing.
TEST_F(ViewerTest, TheBackBufferFollowsTheWindowsSize) {
    m_viewer->LoadModel(Sample("Figure.x").string(), "Figure.x");
    LPDIRECT3DDEVICE9 device = m_graphics->GetRenderer()->m_D3DDevice;
    const auto size = [&] {
        LPDIRECT3DSURFACE9 surface = nullptr;
        D3DSURFACE_DESC description{};
        if (SUCCEEDED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface)))
            surface->GetDesc(&description);
        if (surface != nullptr) surface->Release();
        return std::pair{description.Width, description.Height};
    };
    for (const auto& [width, height] : {std::pair{640u, 480u}, std::pair{1600u, 500u}, std::pair{1u, 1u}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        ASSERT_TRUE(m_graphics->Resize(width, height));
        EXPECT_EQ(size(), std::pair(width, height));
        cApplication::Instance()->Update();  // a whole frame: the frame rate, the overlay, the picture
        const D3DXMATRIX& projection = m_graphics->GetRenderer()->m_projectionMatrix;
        EXPECT_FLOAT_EQ(projection._22 / projection._11, float(width) / float(height));
        if (width < 100) continue;
        std::vector<uint8_t> pixels(size_t(width) * height * 4);
        LPDIRECT3DSURFACE9 surface = nullptr;
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface), D3D_OK);
        ASSERT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        std::memcpy(pixels.data(), locked.pBits, pixels.size());
        surface->UnlockRect();
        surface->Release();
        const auto white = [&](int x0, int y0, int x1, int y1) {
            int n = 0;
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    n += pixels[(size_t(y) * width + x) * 4] == 255 &&
                         pixels[(size_t(y) * width + x) * 4 + 2] == 255;
            return n;
        };
        const int w = static_cast<int>(width), h = static_cast<int>(height);
        EXPECT_GT(white(0, 0, 60, 20), 20) << "Controls: at the top-left";
        EXPECT_GT(white(w - 60, 0, w, 20), 20) << "Figure.x at the top-right";
        EXPECT_GT(white(w - 60, h - 20, w, h), 20) << "FPS at the bottom-right";
    }
    D3DPRESENT_PARAMETERS parameters = m_graphics->GetRenderer()->m_D3DPP;
    parameters.BackBufferWidth = 1u << 20;
    EXPECT_EQ(device->Reset(&parameters), D3DERR_INVALIDCALL);
    device->BeginScene();
    parameters.BackBufferWidth = 800;
    EXPECT_EQ(device->Reset(&parameters), D3DERR_INVALIDCALL) << "inside a scene";
    device->EndScene();
    EXPECT_EQ(size(), std::pair(1u, 1u)) << "unchanged";
    ASSERT_TRUE(m_graphics->Resize(1024, 768));
    DWORD lighting = TRUE;
    device->GetRenderState(D3DRS_LIGHTING, &lighting);
    EXPECT_EQ(lighting, DWORD(FALSE)) << "the viewer's render state set again after the reset";
    EXPECT_EQ(Render().Covered(0, 0, 1024, 768) > 10000, true) << "the model still there";
}

// The keypad's views: front, right and top, with Ctrl the opposite side.
// From above or below the camera looks along the vertical axis with the
// model's back at the top of the picture, and turning or raising it goes
// back to the orbit; every view shows the model.
TEST_F(ViewerTest, TheKeypadViewsShowTheModelFromEachSide) {
    m_viewer->LoadModel(Sample("Figure.x").string(), "Figure.x");
    const cModel* model = m_graphics->GetCurrentModel();
    const float distance = m_viewer->GetDistance();
    const auto eye = [&] { return CameraPosition(Camera()); };
    const struct {
        uint32_t key;
        bool control;
        D3DXVECTOR3 from;  // where the eye is, from the model's centre height on the axis
    } views[] = {
        {VK_NUMPAD1, false, {0, 0, -1}}, {VK_NUMPAD1, true, {0, 0, 1}},  {VK_NUMPAD3, false, {-1, 0, 0}},
        {VK_NUMPAD3, true, {1, 0, 0}},   {VK_NUMPAD7, false, {0, 1, 0}}, {VK_NUMPAD7, true, {0, -1, 0}},
    };
    for (const auto& [key, control, from] : views) {
        SCOPED_TRACE(std::to_string(key) + (control ? " with Ctrl" : ""));
        if (control)
            Frame({VK_CONTROL, key});
        else
            Frame({key});
        const D3DXVECTOR3 offset = (eye() - D3DXVECTOR3(0, model->m_sphereCenter.y, 0)) * (1 / distance);
        EXPECT_NEAR(offset.x, from.x, 1e-5f);
        EXPECT_NEAR(offset.y, from.y, 1e-5f);
        EXPECT_NEAR(offset.z, from.z, 1e-5f);
        EXPECT_GT(Render().Covered(), 20000) << "the model in view";
        const D3DXMATRIX& view = m_graphics->GetCamera()->m_viewMatrix;
        for (int i = 0; i < 16; ++i)
            EXPECT_TRUE(std::isfinite(view.m[i / 4][i % 4]));
    }
    EXPECT_EQ(m_viewer->GetVertical(), cModelViewer::Vertical::kBottom);
    EXPECT_NEAR(m_graphics->GetCamera()->m_up.z, 1.0f, 1e-6f) << "the model's back up the picture";
    Frame({'A'});
    EXPECT_EQ(m_viewer->GetVertical(), cModelViewer::Vertical::kNone) << "turning goes back to the orbit";
    EXPECT_NEAR(eye().y, model->m_sphereCenter.y, 1e-5f);

    // Keypad 5: orthographic, as wide at the model as the perspective; keypad
    // .: the whole model in view, orbited about its centre; Tab: as loaded.
    Frame({VK_NUMPAD5});
    Render();
    EXPECT_TRUE(m_viewer->IsOrthographic());
    const D3DXMATRIX& projection = m_graphics->GetRenderer()->m_projectionMatrix;
    EXPECT_EQ(projection._34, 0.0f) << "no perspective divide";
    EXPECT_FLOAT_EQ(projection._22, 2 / cModelViewer::OrthographicHeight(m_viewer->GetDistance()));
    Frame({VK_DECIMAL});
    const Picture framed = Render();
    EXPECT_EQ(m_viewer->GetOrbitCentre(), model->m_sphereCenter);
    EXPECT_GT(framed.Covered(), 20000);
    EXPECT_EQ(framed.Covered(0, 0, 1024, 2) + framed.Covered(0, 766, 1024, 768), 0) << "all of it inside";
    Frame({VK_TAB});
    EXPECT_EQ(m_viewer->GetOrbitCentre(), D3DXVECTOR3(0, 0, 0));
    EXPECT_FLOAT_EQ(m_viewer->GetDistance(), distance);
}

// K goes through the backgrounds and back to the dark blue; U turns the
// model so that its z is up, before the object's own rotation, and back.
TEST_F(ViewerTest, BackgroundsAndTheUpAxis) {
    m_viewer->LoadModel(Sample("Figure.x").string(), "Figure.x");
    for (const uint32_t expected : {0x000000u, 0x808080u, 0xFFFFFFu, 0x000032u}) {
        Frame({'K'});
        EXPECT_EQ(Render().At(5, 400), expected);
    }
    auto* rotation =
        static_cast<cRotationAttr*>(Group(2)->GetObjects().begin()->second->GetAttribute("Rotation"));
    rotation->m_rotation[0][0] = rotation->m_rotation[1][1] = -1;  // the object's own half turn about z
    const cModel* model = m_graphics->GetCurrentModel();
    Frame({'U'});
    EXPECT_TRUE(m_viewer->IsZUp());
    const float turned[3][3] = {{-1, 0, 0}, {0, 0, -1}, {0, -1, 0}};  // the turn, then the half turn
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(rotation->m_rotation[r][c], turned[r][c]) << r << c;
    EXPECT_FLOAT_EQ(CameraPosition(Camera()).y, model->m_sphereCenter.z) << "at the turned centre's height";
    EXPECT_GT(Render().Covered(), 5000);
    Frame({'U'});
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(rotation->m_rotation[r][c], r != c ? 0.0f : r < 2 ? -1.0f : 1.0f) << r << c;
}

TEST_F(ViewerTest, TheDisplayOptionsDrawWhatTheySay) {
    m_viewer->LoadModel(Sample("Lumen.x").string(), "Lumen.x");
    cModel* model = m_graphics->GetCurrentModel();
    model->m_speed = 0;
    model->m_showSkeleton = false;
    Frame({});
    const Picture plain = Render();
    const auto dark = [](uint32_t c) { return (c >> 16) < 24 && ((c >> 8) & 255) < 24 && (c & 255) < 24; };
    const auto colour = [](uint32_t wanted) { return [wanted](uint32_t c) { return c == wanted; }; };

    Frame({'5'});
    EXPECT_EQ(m_graphics->GetFillMode(), Graphics::kFillSolidWireframe);
    const Picture wired = Render();
    EXPECT_GT(wired.Count(dark), plain.Count(dark) + 500) << "black edges over the surface";
    EXPECT_LT(std::abs(wired.Covered() - plain.Covered()), plain.Covered() / 50) << "over it, not beside it";
    Frame({'3'});

    Frame({'V'});
    const Picture normals = Render();
    EXPECT_GT(normals.Count(colour(0x40E0E0)), 200);
    EXPECT_GT(normals.Covered(), plain.Covered()) << "the lines stand out of the surface";
    EXPECT_EQ(model->m_normalLines.size() % 2, 0u);
    Frame({'V'});

    Frame({'B'});
    const Picture box = Render();
    EXPECT_GT(box.Count(colour(0xFFC040)), 1000);
    // The posed vertices' extremes, as the box has them.
    D3DXVECTOR3 low(1e9f, 1e9f, 1e9f), high(-1e9f, -1e9f, -1e9f);
    model->Update(model->m_time);
    std::vector<D3DXVECTOR3> vertices;
    cModel::ModelSpaceVertices(model->m_containers[0], &vertices);
    for (const D3DXVECTOR3& p : vertices)
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)},
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    EXPECT_FLOAT_EQ(model->m_boxMin.y, low.y);
    EXPECT_FLOAT_EQ(model->m_boxMax.x, high.x);
    char size[64];
    cGuides::SizeText({0, 0, 0}, {0.7f, 4.007f, 1234567}, size, sizeof size);
    EXPECT_STREQ(size, "0.7 x 4.007 x 1.235e+06");
    Frame({'B'});

    Frame({'G'});
    const Picture grid = Render();
    EXPECT_GT(grid.Count(colour(0x5A6070)), 2000);
    EXPECT_GT(grid.Count(colour(0xE04848)), 20) << "the x axis";
    float step = 0;
    int half = 0;
    ASSERT_TRUE(cGuides::GridFor(model->m_sphereRadius, &step, &half));
    EXPECT_EQ(step, 1.0f);
    for (const float radius : {1e-6f, 0.5f, 99.0f, 2e6f})
        EXPECT_TRUE(cGuides::GridFor(radius, &step, &half) && half * step >= radius) << "reaches past it";
    Frame({'G'});
    EXPECT_EQ(Render().bgrx, plain.bgrx) << "every option off again";
}

// F12 saves the picture as shown into the pictures folder, never over an
// earlier one; Shift+F12 the model alone; a folder that cannot be made is
// said in the picture.
TEST_F(ViewerTest, F12SavesThePictureIntoThePicturesFolder) {
    ScratchFolder home;
    ScopedVariable homeVariable("HOME", home.Path().string()),
        config("XDG_CONFIG_HOME", (home.Path() / "config").string());
    fs::create_directory(home.Path() / "config");
    WriteFile(home.Path() / "config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    m_viewer->LoadModel(Sample("Lumen.x").string(), "Lumen.x");
    cModel* model = m_graphics->GetCurrentModel();
    model->m_speed = 0;
    model->m_time = 12.75f;
    const std::string stem =
        (home.Path() / "Bilder" / ("Lumen - " + model->m_animationSets[0]->m_name)).string();
    const auto keyHelp = [](const std::string& file) {
        const Png png = ReadPng(file);
        int bright = png.width == 1024 ? 0 : -1;
        for (int y = 0; y < 200 && bright >= 0; ++y)
            for (int x = 0; x < 300; ++x)
                bright += png.At(x, y)[0] > 200 && png.At(x, y)[2] > 200;
        return bright;
    };
    Frame({VK_F12});
    m_viewer->DrawOverlay();
    EXPECT_GT(keyHelp(stem + " - 12.png"), 500) << "as shown, the key help and all";
    EXPECT_EQ(m_viewer->Notice(), "Picture saved: " + stem + " - 12.png");
    Frame({VK_SHIFT, VK_F12});
    m_viewer->DrawOverlay();
    EXPECT_EQ(keyHelp(stem + " - 12 (2).png"), 0) << "the model alone, beside the first";

    WriteFile(home.Path() / "file", "x");
    WriteFile(home.Path() / "config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/file/pictures\"\n");
    Frame({VK_F12});
    m_viewer->DrawOverlay();
    EXPECT_EQ(m_viewer->Notice(), "Cannot save the picture: the folder " +
                                      (home.Path() / "file/pictures").string() +
                                      " is not there and cannot be made");
    EXPECT_GT(Render().Covered(0, 768 - 100, 700, 768 - 80), 200) << "the notice over the picture";

    model->m_name = "a/b.x";
    model->m_animationSets[0]->m_name = "run\tfast";
    model->m_time = std::nanf("");
    EXPECT_EQ(cModelViewer::PictureName(*model), "a_b - run_fast - 0");
}

// Page Down and Page Up go through the .x files of the model's folder in
// natural order, keeping the view, going on past a file that does not
// load; the store keeps only the model shown.
TEST_F(ViewerTest, PageDownAndUpStepThroughTheFolder) {
    for (const auto& [a, b] : {std::pair{"w2.x", "w10.x"}, std::pair{"a.x", "B.x"}, std::pair{"x9", "x010"},
                               std::pair{"2", "10"}, std::pair{"Ab", "ab"}, std::pair{"w01", "w1"}})
        EXPECT_TRUE(cModelViewer::NaturalLess(a, b) && !cModelViewer::NaturalLess(b, a)) << a << " " << b;
    EXPECT_FALSE(cModelViewer::NaturalLess("same", "same"));

    ScratchFolder folder;
    for (const char* name : {"w10.x", "w2.x", "W1.X"})
        fs::copy_file(Sample("Blocks.x"), folder.Path() / name);
    WriteFile(folder.Path() / "broken.x", "not a model");
    WriteFile(folder.Path() / "notes.txt", "x");
    fs::create_directory(folder.Path() / "sub.x");
    EXPECT_EQ(cModelViewer::ModelsInFolder(folder.Path().string()),
              (std::vector<std::string>{"broken.x", "W1.X", "w2.x", "w10.x"}));

    m_viewer->LoadModel(folder.Path().string(), "");
    ASSERT_NE(m_graphics->GetCurrentModel(), nullptr);
    EXPECT_EQ(m_graphics->GetCurrentModel()->m_name, "W1.X") << "a folder opens its first model";
    Frame({'D'});
    Frame({'2'});
    m_graphics->GetCurrentModel()->m_speed = 2.5f;
    const float angle = m_viewer->GetAngle();
    const auto shown = [&] {
        m_viewer->Update();
        return m_graphics->GetCurrentModel()->m_name;
    };
    Frame({VK_NEXT});
    EXPECT_EQ(shown(), "w2.x");
    EXPECT_EQ(m_viewer->GetAngle(), angle);
    EXPECT_EQ(m_graphics->GetFillMode(), D3DFILL_WIREFRAME);
    EXPECT_EQ(m_graphics->GetCurrentModel()->m_speed, 2.5f);
    Frame({VK_NEXT});
    EXPECT_EQ(shown(), "w10.x");
    Frame({VK_NEXT});
    EXPECT_EQ(shown(), "w10.x") << "broken.x does not load";
    EXPECT_NE(m_viewer->Notice().find("broken.x: cannot be opened as a model"), std::string::npos);
    Frame({VK_NEXT});
    EXPECT_EQ(shown(), "W1.X") << "past it";
    Frame({VK_PRIOR});
    Frame({VK_PRIOR});
    EXPECT_EQ(shown(), "w10.x");
    EXPECT_EQ(m_graphics->GetModelStore()->Count(), 1u);

    // Thousands of files in turn keep one model.
    ScratchFolder many;
    for (int i = 0; i < 200; ++i)
        fs::copy_file(Sample("Blocks.x"), many.Path() / ("m" + std::to_string(i) + ".x"));
    m_viewer->LoadModel((many.Path() / "m0.x").string(), "m0.x");
    for (int i = 1; i < 200; ++i)
        Frame({VK_NEXT}), m_viewer->Update();
    EXPECT_EQ(m_graphics->GetCurrentModel()->m_name, "m199.x");
    EXPECT_EQ(m_graphics->GetModelStore()->Count(), 1u);

    ScratchFolder empty;
    m_viewer->LoadModel(empty.Path().string(), "");
    EXPECT_EQ(m_graphics->GetCurrentModel()->m_name, "m199.x") << "an empty folder changes nothing";
}

// Models of no size, of millions of units far away or of a millionth of a
// unit, and names that are not UTF-8: every view, option and step gives a
// finite camera and a picture; the framed ones show the model.
TEST_F(ViewerTest, OddModelsAndNamesAreShownSensibly) {
    ScratchFolder folder;
    const auto triangle = [](double size, double offset) {
        const auto v = [&](double x, double y) {
            return std::to_string(offset + x * size) + ";" + std::to_string(offset + y * size) + ";" +
                   std::to_string(offset) + ";";
        };
        return "xof 0303txt 0032\nFrame F { Mesh M { 3; " + v(0, 0) + ", " + v(0, 1) + ", " + v(1, 0) +
               ";\n 1; 3;0,1,2;; } }\n";
    };
    WriteFile(folder.Path() / "point.x", triangle(0, 0));
    WriteFile(folder.Path() / "far.x", triangle(1e6, 5e6));
    WriteFile(folder.Path() / "tiny.x", triangle(1e-6, 0));
    fs::copy_file(Sample("Blocks.x"), folder.Path() / "\xff\xfe-blocks.x");
    cViewTools::Views& views = m_graphics->GetViewTools()->m_views;
    views.normals = views.bounds = views.grid = true;
    views.backFaces = Graphics::BackFaces::kShow;
    const auto finite = [](const D3DXMATRIX& m) {
        return std::all_of(&m._11, &m._11 + 16, [](float f) { return std::isfinite(f); });
    };
    for (const char* name : {"point.x", "far.x", "tiny.x", "\xff\xfe-blocks.x", "nan"}) {
        SCOPED_TRACE(name);
        const bool nan = std::string(name) == "nan";
        const std::string file = (folder.Path() / (nan ? "tiny.x" : name)).string();
        m_viewer->LoadModel(file, nan ? "tiny.x" : name);
        cModel* model = m_graphics->GetCurrentModel();
        ASSERT_EQ(model->m_name, nan ? "tiny.x" : name);
        if (nan) model->m_sphereRadius = std::nanf("");
        for (const UINT view :
             {ID_VIEW_FRONT, ID_VIEW_BACK, ID_VIEW_LEFT, ID_VIEW_RIGHT, ID_VIEW_TOP, ID_VIEW_BOTTOM}) {
            for (const UINT command :
                 {view, UINT(ID_VIEW_ORTHOGRAPHIC), UINT(ID_VIEW_FRAME), UINT(ID_VIEW_ORTHOGRAPHIC)}) {
                m_viewer->Command(command);
                Frame({});
                Render();
                ASSERT_TRUE(finite(m_graphics->GetCamera()->m_viewMatrix)) << view << " " << command;
                ASSERT_TRUE(finite(m_graphics->GetRenderer()->m_projectionMatrix)) << view << " " << command;
            }
            if (!nan && std::string(name) != "point.x") {
                EXPECT_GT(Render().Covered(0, 60, 1024, 640), 200) << "framed, seen from " << view;
            }
        }
    }
    Frame({VK_NEXT});
    m_viewer->Update();
    EXPECT_EQ(m_graphics->GetCurrentModel()->m_name, "\xff\xfe-blocks.x") << "after tiny.x";
    EXPECT_EQ(cModelViewer::PictureName(*m_graphics->GetCurrentModel()), "\xff\xfe-blocks");
    Frame({VK_NEXT});
    m_viewer->Update();
    EXPECT_EQ(m_graphics->GetCurrentModel()->m_name, "far.x") << "on from the name that is not UTF-8";
}

// A square whose front faces away from the camera: culled it is not seen,
// shown it is, tinted it is red.
TEST_F(ViewerTest, BackFacesAreCulledShownOrTinted) {
    const fs::path file = fs::path(VOREL_SOURCE_DIR) / "tests/fixtures/mesh/facing-away.x";
    m_viewer->LoadModel(file.string(), file.filename().string());
    m_graphics->GetCurrentModel()->m_showSkeleton = false;
    Frame({});
    EXPECT_EQ(Render().Covered(), 0);
    Frame({'C'});
    const Picture shown = Render();
    EXPECT_GT(shown.Covered(), 10000);
    Frame({'C'});
    const Picture tinted = Render();
    const auto red = [](uint32_t c) { return int(c >> 16) > int((c >> 8) & 255) + 60; };
    EXPECT_GT(tinted.Count(red), shown.Covered() * 9 / 10);
    EXPECT_LT(shown.Count(red), shown.Covered() / 10);
    Frame({'C'});
    EXPECT_EQ(Render().Covered(), 0) << "culled again";
}

// The side a thumbnail looks from: where the faces turned to the camera
// cover the most.
TEST_F(ViewerTest, TheBestViewIsTheSideTheFacesTurnTo) {
    const fs::path fixtures = fs::path(VOREL_SOURCE_DIR) / "tests/fixtures/mesh";
    EXPECT_EQ(cModelViewer::BestView(*Load(fixtures / "facing-away.x"), false), UINT(ID_VIEW_BACK));
    const cModel* ground = Load(fixtures / "edge-on.x");
    EXPECT_EQ(cModelViewer::BestView(*ground, false), UINT(ID_VIEW_TOP));
    EXPECT_EQ(cModelViewer::BestView(*ground, true), UINT(ID_VIEW_FRONT)) << "turned z up, it faces -z";
    EXPECT_EQ(cModelViewer::BestView(*Load(Sample("Figure.x")), false), UINT(ID_VIEW_FRONT));
    // Every model, framed from its best side with back faces shown, is in
    // the picture.
    m_graphics->GetViewTools()->m_views.backFaces = Graphics::BackFaces::kShow;
    size_t seen = 0;
    std::vector<fs::path> files = RealModelFiles();
    for (const fs::path& sample : SampleModelFiles())
        files.push_back(sample);
    for (const fs::path& file : files) {
        cModel* model = m_graphics->LoadModel(file.string(), file.filename().string());
        if (model->m_frameRoot == nullptr) continue;
        m_viewer->LoadModel(file.string(), file.filename().string());
        ++seen;
        model->m_showSkeleton = false;
        model->Update(0);
        m_viewer->Command(cModelViewer::BestView(*model, false));
        m_viewer->Command(ID_VIEW_FRAME);
        Frame({});
        EXPECT_GT(Render().Covered(), 1000) << file;
    }
    EXPECT_GE(seen, 3u);
}

}  // namespace
