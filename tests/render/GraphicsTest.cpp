// The graphics system rendering whole frames headless, judged on the
// pixels read back from the device.
#include <d3dx9.h>
#include <gtest/gtest.h>
#include <stb_image.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "RenderPackets.h"
#include "Singletons.h"
#include "TestSupport.h"
#include "cApplication.h"
#include "cGraphicsManager.h"
#include "cInput.h"
#include "cModelAttr.h"
#include "cModelLoader.h"
#include "cModelViewer.h"
#include "cObjectManager.h"
#include "cOrientationAttr.h"
#include "cPositionAttr.h"
#include "cWindow.h"
#include "win32/DropFiles.h"

// Every allocation of the program, for the test of the frame path. Not in
// the sanitizer build, whose runtime owns operator new: the drivers'
// allocations would pass between the two.
namespace {
std::atomic<uint64_t> g_allocations{0};
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCountingAllocations = false;
#else
constexpr bool kCountingAllocations = true;
#endif
}  // namespace
#if !defined(__SANITIZE_ADDRESS__)
void* operator new(size_t size) {
    ++g_allocations;
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
namespace fs = std::filesystem;

constexpr uint32_t kClear = 0x000032;  // the clear colour, as read back (no alpha)

struct Picture {
    std::vector<uint8_t> bgrx;
    uint32_t At(int x, int y) const {
        const uint8_t* p = bgrx.data() + (size_t(y) * 1024 + x) * 4;
        return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    // Pixels that are not the clear colour.
    int Covered() const {
        int n = 0;
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 1024; ++x)
                n += At(x, y) != kClear;
        return n;
    }
    int Count(uint32_t colour) const {
        int n = 0;
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 1024; ++x)
                n += At(x, y) == colour;
        return n;
    }
};

// The viewer's start-up, camera and model object, as the viewer makes them.
class GraphicsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(VorelTest::DeviceWindow(), nullptr);
        fs::current_path(m_folder);
        CreateSingletons();
        ASSERT_TRUE(cApplication::Instance()->Init());
        m_graphics = cGraphicsManager::Instance();
        cObjectManager::Instance()->GetGroup(1)->CreateObject("TestCamera");
        m_object = cObjectManager::Instance()->GetGroup(2)->CreateObject("TestObject");
    }
    void TearDown() override { DestroySingletons(); }

    cModel* Load(const fs::path& path, cObject* object = nullptr) {
        object = object != nullptr ? object : m_object;
        const std::string name = path.filename().string();
        static_cast<cModelAttr*>(object->GetAttribute("Model"))->m_meshFile =
            cModelLoader::Key(path.string());
        cModel* model = m_graphics->LoadModel(path.string(), name);
        model->m_speed = 0;
        return model;
    }
    Picture Render() {
        m_graphics->RenderFrame();
        return Read();
    }
    Picture Read() {
        LPDIRECT3DSURFACE9 surface = nullptr;
        Picture picture;
        LPDIRECT3DDEVICE9 device = m_graphics->GetRenderer()->m_D3DDevice;
        if (FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface))) {
            ADD_FAILURE() << "no back buffer";
            picture.bgrx.resize(1024 * 768 * 4);
            return picture;
        }
        D3DLOCKED_RECT locked{};
        if (SUCCEEDED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            const auto* bytes = static_cast<const uint8_t*>(locked.pBits);
            picture.bgrx.assign(bytes, bytes + 1024 * 768 * 4);
            surface->UnlockRect();
        }
        surface->Release();
        EXPECT_EQ(picture.bgrx.size(), 1024u * 768 * 4) << "the back buffer reads back";
        picture.bgrx.resize(1024 * 768 * 4);
        return picture;
    }
    static fs::path Sample(const char* name) { return fs::path(VOREL_SOURCE_DIR) / "Assets/Models" / name; }

    VorelTest::KeepCurrentDirectory m_keep;
    fs::path m_folder = VOREL_SOURCE_DIR;  // where the viewer starts
    cGraphicsManager* m_graphics = nullptr;
    cObject* m_object = nullptr;
};

TEST_F(GraphicsTest, AnEmptySceneIsTheClearColour) {
    const Picture picture = Render();
    ASSERT_FALSE(picture.bgrx.empty());
    EXPECT_EQ(picture.Covered(), 0);
    EXPECT_EQ(m_graphics->GetCurrentModel(), nullptr);
}

TEST_F(GraphicsTest, AModelIsLitTexturedAndFilledAsAsked) {
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

TEST_F(GraphicsTest, TheAnimationMovesTheModel) {
    cModel* model = Load(Sample("Lumen.x"));
    ASSERT_FALSE(model->m_animationSets.empty());
    model->m_time = 0;
    const Picture first = Render();
    model->m_time = static_cast<float>(model->m_animationSets[0]->m_length) / 3;
    const Picture later = Render();
    int differ = 0;
    for (size_t i = 0; i < first.bgrx.size(); i += 4)
        differ += first.bgrx[i] != later.bgrx[i];
    EXPECT_GT(differ, 2000);
}

TEST_F(GraphicsTest, RigidPartsStandWhereTheirFramesPutThemInTheirColours) {
    cModel* model = Load(Sample("Blocks.x"));
    model->m_showSkeleton = false;
    const Picture picture = Render();
    int left = 1024, right = 0, top = 768, bottom = 0, reddish = 0;
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x) {
            const uint32_t c = picture.At(x, y);
            if (c == kClear) continue;
            left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
            bottom = std::max(bottom, y);
            const int r = c >> 16, g = (c >> 8) & 0xFF, b = c & 0xFF;
            reddish += r > 2 * g && r > 2 * b;
        }
    // The body, the head above it and an arm to each side.
    EXPECT_GT(right - left, 300);
    EXPECT_GT(bottom - top, 450);
    EXPECT_GT(reddish, 10000) << "untextured parts in their material's colour";
}

TEST_F(GraphicsTest, ASingularWorldDrawsNothing) {
    cModel* model = Load(Sample("Lumen.x"));
    model->m_showSkeleton = false;
    static_cast<cModelAttr*>(m_object->GetAttribute("Model"))->m_scale = 0;
    VorelTest::CapturedDebugOutput output;
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
    m_graphics->QueueText(1019, 5, "Model", "Arial", white, DT_RIGHT);
    const auto& queue = fonts->GetTextQueue();
    ASSERT_EQ(queue.size(), 3u);
    const RECT fps = queue[0]->m_rect, keys = queue[1]->m_rect, name = queue[2]->m_rect;
    EXPECT_EQ(fps.right, 1024);
    EXPECT_EQ(fps.bottom, 768);
    EXPECT_EQ(fps.top, 768 - 18);
    EXPECT_GT(1024 - fps.left, 40);
    EXPECT_EQ(keys.left, 5);
    EXPECT_EQ(keys.top, 5);
    EXPECT_EQ(keys.bottom, 5 + 2 * 18) << "two lines";
    EXPECT_EQ(name.right, 1019);
    EXPECT_LT(name.left, 1019);

    // Two texts on one spot: the older one is drawn last, over the newer.
    m_graphics->QueueText(400, 400, "MMMM", "Arial", D3DXCOLOR(255, 0, 0, 255), 0);
    m_graphics->QueueText(400, 400, "MMMM", "Arial", D3DXCOLOR(0, 255, 0, 255), 0);
    const Picture picture = Render();
    EXPECT_TRUE(queue.empty());
    EXPECT_GT(picture.Count(0xFF0000), 30);
    EXPECT_EQ(picture.Count(0x00FF00), 0);
    int corner = 0;
    for (int y = 750; y < 768; ++y)
        for (int x = 960; x < 1024; ++x)
            corner += picture.At(x, y) == 0xFFFFFF;
    EXPECT_GT(corner, 30) << "the frame rate ends in the bottom-right corner";

    // A face without a font: skipped, said once.
    VorelTest::CapturedDebugOutput output;
    m_graphics->QueueText(0, 0, "lost", "Courier", white, 0);
    m_graphics->QueueText(0, 0, "lost", "Courier", white, 0);
    EXPECT_EQ(Render().Covered(), 0);
    EXPECT_NE(output.Text().find("no font"), std::string::npos);
    EXPECT_EQ(output.Text().find("no font"), output.Text().rfind("no font"));
}

TEST(ColourConversion, ChannelsSaturateAndRound) {
    EXPECT_EQ(Graphics::ToD3DColor(D3DXCOLOR(255, 255, 255, 255)), 0xFFFFFFFFu);
    EXPECT_EQ(Graphics::ToD3DColor(D3DXCOLOR(0.5f, -3, 1, 1)), 0xFF8000FFu);
    EXPECT_EQ(Graphics::ToD3DColor(D3DXCOLOR(0, 0, 0.2f, 0)), 0x00000033u);
}

TEST_F(GraphicsTest, AnimationCommandsActOnTheCurrentModel) {
    m_graphics->NextAnimationSet();  // no model: nothing happens
    cModel* model = Load(Sample("Lumen.x"));
    model->m_time = 50;
    const uint32_t sets = model->m_setCount;
    for (uint32_t i = 0; i < sets; ++i)
        m_graphics->NextAnimationSet();
    EXPECT_EQ(model->m_currentSet, 0u) << "round to the first";
    EXPECT_EQ(model->m_time, 0.0f);
    model->m_speed = 0.05f;
    m_graphics->AdjustSpeed(-0.1f);
    EXPECT_EQ(model->m_speed, 0.0f);
    m_graphics->TogglePause();
    EXPECT_EQ(model->m_speed, 0.0f) << "nothing remembered yet";
    model->m_speed = 1.5f;
    m_graphics->TogglePause();
    EXPECT_EQ(model->m_speed, 0.0f);
    m_graphics->TogglePause();
    EXPECT_EQ(model->m_speed, 1.5f);
    const bool shown = model->m_showSkeleton;
    m_graphics->ToggleSkeleton();
    EXPECT_NE(model->m_showSkeleton, shown);
    // The load placed the camera in front of the model.
    const auto& cameras = m_graphics->GetCameraFactory()->GetComponents();
    for (const auto& [id, camera] : cameras) {
        if (camera->m_isArchetype) continue;
        EXPECT_EQ(camera->m_positionAttr->m_position,
                  D3DXVECTOR3(0, model->m_sphereCenter.y, -3 * model->m_sphereRadius));
    }
}

TEST_F(GraphicsTest, ModelPacketsShareOneClock) {
    VorelTest::DrivenClock clock(1000);
    cObject* second = cObjectManager::Instance()->GetGroup(2)->CreateObject("TestObject");
    cModel* first = Load(Sample("Lumen.x"));
    cModel* other = Load(Sample("Blocks.x"), second);
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
    const auto [skyNear, skyFar] = cGraphicsManager::DepthRange(eye, {0, 0, 9000}, 3000);
    EXPECT_LE(skyNear, 6000);
    EXPECT_GE(skyFar, 12000);
    EXPECT_LE(skyFar / skyNear, 5000.0f);
    const auto [tinyNear, tinyFar] = cGraphicsManager::DepthRange(eye, {0, 0, 0.3f}, 0.1f);
    EXPECT_LE(tinyNear, 0.2f);
    EXPECT_GT(tinyNear, 0);
    EXPECT_GE(tinyFar, 0.4f);
    EXPECT_EQ(cGraphicsManager::DepthRange(eye, {0, 0, 0}, 0), std::make_pair(1.0f, 5000.0f));
}

TEST_F(GraphicsTest, AHugeModelIsSeenWholeThroughTheFarPlane) {
    Load(Sample("Lumen.x"))->m_showSkeleton = false;
    const int natural = Render().Covered();
    static_cast<cModelAttr*>(m_object->GetAttribute("Model"))->m_scale = 2000;
    for (const auto& [id, camera] : m_graphics->GetCameraFactory()->GetComponents())
        camera->m_positionAttr->m_position = camera->m_positionAttr->m_position * 2000;
    EXPECT_NEAR(Render().Covered(), natural, natural / 10);
}

TEST_F(GraphicsTest, TheFramePathAllocatesNothing) {
    if (!kCountingAllocations) GTEST_SKIP() << "counted in the build without sanitizers";
    Load(Sample("Lumen.x"));
    Render();
    Render();  // GPU copies, buffers and the skeleton's lines are made by now
    const uint64_t before = g_allocations;
    for (int i = 0; i < 3; ++i)
        m_graphics->RenderFrame();
    EXPECT_EQ(g_allocations - before, 0u);
}

TEST_F(GraphicsTest, WithoutThePhongEffectModelsAreNotDrawnAndItIsSaidOnce) {
    DestroySingletons();
    // The viewer's object files, and no effect list.
    VorelTest::ScratchFolder scratch;
    fs::create_directories(scratch.Path() / "Assets/XML");
    fs::copy(fs::path(VOREL_SOURCE_DIR) / "Assets/XML/Objects", scratch.Path() / "Assets/XML/Objects");
    m_folder = scratch.Path();
    VorelTest::CapturedDebugOutput output;
    SetUp();
    EXPECT_NE(output.Text().find("Assets/XML/Effects.xml: cannot read the effect list"), std::string::npos)
        << output.Text();
    EXPECT_NE(Load(Sample("Lumen.x"))->m_frameRoot, nullptr);
    EXPECT_EQ(Render().Covered(), 0);
    EXPECT_EQ(Render().Covered(), 0);
    const std::string said = "\"Phong\" effect";
    EXPECT_NE(output.Text().find(said), std::string::npos);
    EXPECT_EQ(output.Text().find(said), output.Text().rfind(said));
}

// Assets that are missing or broken: start-up, a model and a frame go on,
// and what is wrong is said naming the file (a message box, which without a
// display to show it on goes to standard error, or a trace line).
TEST(BrokenAssets, EachIsSaidNamingTheFile) {
    const fs::path source(VOREL_SOURCE_DIR);
    const struct {
        const char* what;
        std::function<void(const fs::path&)> damage;
        const char* said;
    } cases[] = {
        {"no Assets folder", [](const fs::path& at) { fs::remove_all(at / "Assets"); },
         "Assets/XML/Effects.xml: cannot read the effect list"},
        {"an effect list without effects",
         [](const fs::path& at) {
             std::ofstream(at / "Assets/XML/Effects.xml") << "<Effects>\n</Effects>\n";
         },
         "Assets/XML/Effects.xml: no \"Effects\" element with an \"Effect\" in it"},
        {"a shader that does not compile",
         [](const fs::path& at) {
             std::ifstream in(at / "Assets/Shaders/Phong.fx");
             std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
             text.replace(text.find("main()"), 6, "main(");
             std::ofstream(at / "Assets/Shaders/Phong.fx") << text;
         },
         "Assets/Shaders/Phong.fx"},
        {"an object file that is not XML",
         [](const fs::path& at) { std::ofstream(at / "Assets/XML/Objects/TestObject.xml") << "\x89PNG\r\n"; },
         "Assets/XML/Objects/TestObject.xml: object file not read"},
        {"a texture that is not an image",
         [](const fs::path& at) { std::ofstream(at / "lumen.png") << "not a picture\n"; },
         "lumen.png: cannot be read as a texture"},
    };
    ASSERT_NE(VorelTest::DeviceWindow(), nullptr);
    VorelTest::KeepCurrentDirectory keep;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        VorelTest::ScratchFolder scratch;
        fs::copy(source / "Assets", scratch.Path() / "Assets", fs::copy_options::recursive);
        fs::copy_file(source / "Assets/Models/Lumen.x", scratch.Path() / "Lumen.x");
        fs::copy_file(source / "Assets/Models/lumen.png", scratch.Path() / "lumen.png");
        c.damage(scratch.Path());
        fs::current_path(scratch.Path());
        VorelTest::CapturedDebugOutput output;
        ::testing::internal::CaptureStderr();
        CreateSingletons();
        const bool started = cApplication::Instance()->Init();
        if (started) {
            cObjectManager::Instance()->GetGroup(1)->CreateObject("TestCamera");
            cObjectManager::Instance()->GetGroup(2)->CreateObject("TestObject");
            EXPECT_NE(
                cGraphicsManager::Instance()->LoadModel((scratch.Path() / "Lumen.x").string(), "Lumen.x"),
                nullptr);
            cGraphicsManager::Instance()->RenderFrame();
        }
        DestroySingletons();
        const std::string said = output.Text() + ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(started) << said;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
    }
}

TEST(GraphicsStartUp, WithoutAWindowThereIsNoDeviceAndStartUpFails) {
    HWND window = VorelTest::DeviceWindow();
    ShowWindow(window, SW_HIDE);
    ASSERT_EQ(GetActiveWindow(), nullptr);
    VorelTest::CapturedDebugOutput output;
    CreateSingletons();
    EXPECT_FALSE(cApplication::Instance()->Init());
    EXPECT_NE(output.Text().find("cannot create the Direct3D device"), std::string::npos) << output.Text();
    cGraphicsManager::Instance()->RenderFrame();  // no device: nothing, and no crash
    DestroySingletons();
    ShowWindow(window, SW_SHOW);
}

TEST(EffectCompiler, ErrorsComeBackWithTheirLineAndQuirksOfTheListHold) {
    ASSERT_NE(VorelTest::DeviceWindow(), nullptr);
    VorelTest::KeepCurrentDirectory keep;
    VorelTest::ScratchFolder scratch;
    fs::create_directories(scratch.Path() / "Assets/XML");
    fs::create_directories(scratch.Path() / "Assets/Shaders");
    fs::copy_file(fs::path(VOREL_SOURCE_DIR) / "Assets/Shaders/Phong.fx",
                  scratch.Path() / "Assets/Shaders/Phong.fx");
    std::ofstream(scratch.Path() / "Assets/Shaders/Broken.fx")
        << "technique T\n    pass P V F\nstage V\nvoid main() { gl_Position = vec4(0.0); }\nend\n"
           "stage F\nout vec4 c;\nvoid main() { c = undeclared; }\nend\n";
    std::ofstream(scratch.Path() / "Assets/XML/Effects.xml")
        << "<Effects>\n"
           " <Effect name=\"Phong\" file=\"Phong.fx\">\n"
           "  <Technique name=\"Same\" var=\"Light\" />\n"
           "  <Handle name=\"Same\" var=\"EyePos\" />\n"
           "  <Technique name=\"Late\" var=\"Light\" />\n"
           "  <Other name=\"Colour\" var=\"LightColor\" />\n"
           "  <Handle name=\"Nothing\" var=\"NoSuchParameter\" />\n"
           " </Effect>\n"
           " <Effect name=\"Broken\" file=\"Broken.fx\" />\n"
           "</Effects>\n";
    fs::current_path(scratch.Path());
    CreateSingletons();
    VorelTest::CapturedDebugOutput output;
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
    EXPECT_EQ(effects->GetEffect("Broken"), nullptr);
    EXPECT_NE(output.Text().find("D3DXCreateEffectFromFile"), std::string::npos)
        << "the failed call is traced";
    // The compiler's message names the file and line 8.
    LPD3DXEFFECT broken = nullptr;
    LPD3DXBUFFER errors = nullptr;
    EXPECT_TRUE(FAILED(D3DXCreateEffectFromFileA(cGraphicsManager::Instance()->GetRenderer()->m_D3DDevice,
                                                 "Assets/Shaders/Broken.fx", nullptr, nullptr, 0, nullptr,
                                                 &broken, &errors)));
    EXPECT_EQ(broken, nullptr);
    ASSERT_NE(errors, nullptr);
    const std::string message = static_cast<const char*>(errors->GetBufferPointer());
    errors->Release();
    EXPECT_NE(message.find("Assets/Shaders/Broken.fx(8): error"), std::string::npos) << message;

    // Values set between commits reach the next draw; bad handles fail.
    EXPECT_EQ(phong->SetFloat(nullptr, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(phong->SetMatrix(phong->GetParameterByName(nullptr, "EyePos"), nullptr), D3DERR_INVALIDCALL);
    UINT passes = 0;
    EXPECT_EQ(phong->BeginPass(0), D3DERR_INVALIDCALL) << "not begun";
    ASSERT_EQ(phong->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(passes, 1u);
    EXPECT_EQ(phong->BeginPass(1), D3DERR_INVALIDCALL);
    EXPECT_EQ(phong->BeginPass(0), D3D_OK);
    EXPECT_EQ(phong->CommitChanges(), D3D_OK);
    EXPECT_EQ(phong->End(), D3DERR_INVALIDCALL) << "a pass is open";
    EXPECT_EQ(phong->EndPass(), D3D_OK);
    EXPECT_EQ(phong->End(), D3D_OK);
    DestroySingletons();
}

// Every real model renders, and shows something.
TEST_F(GraphicsTest, EveryRealModelRenders) {
    const auto files = VorelTest::RealModelFiles();
    if (files.empty()) GTEST_SKIP() << "no ../shared/models here";
    for (const fs::path& file : files) {
        cModel* model = Load(file);
        if (model->m_frameRoot == nullptr) continue;
        EXPECT_GT(Render().Covered(), 0) << file;
    }
}

// vorel-snapshot, run as a user runs it: from another folder.
int Snapshot(const std::string& arguments) {
    const std::string command =
        std::string(VOREL_BINARY_DIR) + "/vorel-snapshot " + arguments + " 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<uint8_t> ReadPng(const fs::path& path) {
    int w = 0, h = 0, channels = 0;
    stbi_uc* pixels = stbi_load(path.c_str(), &w, &h, &channels, 3);
    if (pixels == nullptr || w != 1024 || h != 768) return {};
    std::vector<uint8_t> rgb(pixels, pixels + 1024 * 768 * 3);
    stbi_image_free(pixels);
    return rgb;
}

TEST(SnapshotTool, WritesPosedPicturesAndSaysWhatFails) {
    VorelTest::KeepCurrentDirectory keep;
    VorelTest::ScratchFolder scratch;
    fs::current_path(scratch.Path());
    const std::string lumen = std::string(VOREL_SOURCE_DIR) + "/Assets/Models/Lumen.x";
    ASSERT_EQ(Snapshot(lumen + " a.png"), 0);
    ASSERT_EQ(Snapshot(lumen + " b.png --time 500 --fill wireframe --skeleton off"), 0);
    const auto a = ReadPng("a.png"), b = ReadPng("b.png");
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    EXPECT_NE(a, b);
    EXPECT_EQ(a[0], 0);
    EXPECT_EQ(a[2], 0x32) << "the clear colour in the corner";
    EXPECT_NE(a[(384 * 1024 + 512) * 3 + 2], 0x32) << "the model in the middle";

    ASSERT_EQ(Snapshot(lumen + " walk-%02d.png --frames 3"), 0);
    EXPECT_TRUE(fs::exists("walk-00.png") && fs::exists("walk-02.png") && !fs::exists("walk-03.png"));
    EXPECT_NE(ReadPng("walk-00.png"), ReadPng("walk-01.png"));

    EXPECT_EQ(Snapshot("no-such.x out.png"), 1);
    EXPECT_EQ(Snapshot(lumen + " no/such/folder/out.png"), 1);
    EXPECT_EQ(Snapshot(lumen + " out.png --set 99"), 1);
    EXPECT_EQ(Snapshot(lumen + " out-%s.png --frames 2"), 2) << "only a number is put in a pattern";
    EXPECT_EQ(Snapshot(lumen + " out.png --fill lines"), 2);
    EXPECT_FALSE(fs::exists("out.png"));
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
    cObject* Camera() const { return cObjectManager::Instance()->GetGroup(1)->GetObjects().rbegin()->second; }

    cModelViewer* m_viewer = nullptr;
    cInput* m_input = nullptr;
};

TEST_F(ViewerTest, KeysMoveTheCameraWhichLooksAtTheAxis) {
    const std::string path = Sample("Lumen.x").string();
    m_viewer->LoadModel(path, "Lumen.x");
    const cModel* model = m_graphics->GetCurrentModel();
    const float distance = 3 * model->m_sphereRadius;
    EXPECT_FLOAT_EQ(m_viewer->GetDistance(), distance);
    Frame({'A', 'R', 'R'});
    EXPECT_FLOAT_EQ(m_viewer->GetAngle(), -1.5707964f - 0.05f);
    EXPECT_FLOAT_EQ(m_viewer->GetHeight(), 1) << "a held key acts once a frame";
    const auto* position = static_cast<cPositionAttr*>(Camera()->GetAttribute("Position"));
    const auto* orientation = static_cast<cOrientationAttr*>(Camera()->GetAttribute("Orientation"));
    const double angle = m_viewer->GetAngle();
    EXPECT_FLOAT_EQ(position->m_position.x, static_cast<float>(distance * std::cos(angle)));
    EXPECT_FLOAT_EQ(position->m_position.y, 1 + model->m_sphereCenter.y);
    EXPECT_FLOAT_EQ(orientation->m_view.x, -position->m_position.x);
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
    m_viewer->LoadModel(Sample("Lumen.x").string(), "Lumen.x");
    cModel* model = m_graphics->GetCurrentModel();
    ASSERT_GE(model->m_setCount, 2u);
    Frame({'2'});
    EXPECT_EQ(m_graphics->GetFillMode(), D3DFILL_WIREFRAME);
    Frame({'1'});
    EXPECT_EQ(m_graphics->GetFillMode(), D3DFILL_POINT);
    Frame({'3'});
    EXPECT_EQ(m_graphics->GetFillMode(), D3DFILL_SOLID);
    for (uint32_t i = 0; i < model->m_setCount; ++i)
        Frame({VK_SPACE});
    EXPECT_EQ(model->m_currentSet, 0u) << "round to the first set";
    Frame({VK_OEM_MINUS, VK_SUBTRACT});
    EXPECT_FLOAT_EQ(model->m_speed, 0.9f) << "both minus keys: one step";
    Frame({VK_OEM_PLUS, VK_ADD});
    Frame({VK_ADD});
    EXPECT_EQ(cModelViewer::ModelInformation(*model),
              "Lumen.x\n0: " + model->m_animationSets[0]->m_name + "\nSpeed Adjust: 1.1");
    Frame({VK_PAUSE});
    EXPECT_EQ(model->m_speed, 0.0f);
    Frame({VK_PAUSE});
    EXPECT_FLOAT_EQ(model->m_speed, 1.1f);
    const bool shown = model->m_showSkeleton;
    Frame({'4'});
    EXPECT_NE(model->m_showSkeleton, shown);
    // A key held over frames triggers once.
    m_input->KeyDown(VK_SPACE);
    m_viewer->HandleInput();
    m_viewer->HandleInput();
    m_input->KeyUp(VK_SPACE);
    EXPECT_EQ(model->m_currentSet, 1u);
    // A set number past the sets read shows no name.
    model->m_currentSet = 99;
    EXPECT_EQ(cModelViewer::ModelInformation(*model), "Lumen.x\n99: \nSpeed Adjust: 1.1");
}

TEST_F(ViewerTest, AnotherModelReplacesTheFirstAndTheOverlayIsDrawn) {
    const Picture empty = [&] {
        m_viewer->Update();
        return Read();
    }();
    EXPECT_GT(empty.Covered(), 1000) << "the key help";
    int topRight = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 900; x < 1024; ++x)
            topRight += empty.At(x, y) != kClear;
    EXPECT_EQ(topRight, 0) << "no model block without a model";

    m_viewer->LoadModel(Sample("Blocks.x").string(), "Blocks.x");
    m_viewer->Update();
    m_viewer->LoadModel(Sample("Lumen.x").string(), "Lumen.x");
    m_viewer->Update();
    // The fixture's own model object and the viewer's newest one.
    EXPECT_EQ(cObjectManager::Instance()->GetGroup(2)->GetObjects().size(), 1u)
        << "the earlier objects are gone";
    const Picture lumen = Read();
    topRight = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 900; x < 1024; ++x)
            topRight += lumen.At(x, y) != kClear;
    EXPECT_GT(topRight, 100) << "the model block";
    EXPECT_EQ(m_graphics->GetCurrentModel()->m_name, "Lumen.x");
}

TEST_F(ViewerTest, AFileThatDoesNotLoadLeavesTheModelOnScreenAndSaysWhy) {
    m_viewer->LoadModel(Sample("Lumen.x").string(), "Lumen.x");
    m_viewer->Update();
    cObject* shown = cObjectManager::Instance()->GetGroup(2)->GetObjects().rbegin()->second;
    VorelTest::ScratchFolder scratch;
    const fs::path broken = scratch.Path() / "broken.x";
    std::ofstream(broken) << "xof 0303txt 0032\nFrame {";
    VorelTest::CapturedDebugOutput output;
    m_viewer->LoadModel(broken.string(), "broken.x");
    m_viewer->Update();
    EXPECT_NE(output.Text().find(broken.string() + ": cannot be opened as a model"), std::string::npos)
        << output.Text();
    EXPECT_EQ(m_graphics->GetCurrentModel()->m_name, "Lumen.x");
    EXPECT_EQ(cObjectManager::Instance()->GetGroup(2)->GetObjects().rbegin()->second, shown);
    EXPECT_NE(Read().At(512, 384), kClear) << "still drawn";
}

TEST_F(ViewerTest, ADroppedFileOpensAsFromTheMenu) {
    HDROP drop = Platform::NewDrop();
    Platform::AddDroppedFile(drop, Sample("Blocks.x").c_str());
    Platform::AddDroppedFile(drop, Sample("Lumen.x").c_str());
    cWindow::Instance()->WindowProc(nullptr, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    ASSERT_NE(m_graphics->GetCurrentModel(), nullptr);
    EXPECT_EQ(m_graphics->GetCurrentModel()->m_name, "Blocks.x") << "the first file of the drop";
    cWindow::Destroy();
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

}  // namespace
