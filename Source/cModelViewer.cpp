#include "cModelViewer.h"

#include <shlobj.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <tuple>
#include <utility>

#include "Directories.h"
#include "ToString.h"
#include "cGraphicsManager.h"
#include "cInput.h"
#include "cMeshContainer.h"
#include "cModelAttr.h"
#include "cModelLoader.h"
#include "cObject.h"
#include "cObjectManager.h"
#include "cOrientationAttr.h"
#include "cPositionAttr.h"
#include "cRotationAttr.h"
#include "cTimeline.h"
#include "cWindow.h"
#include "resource.h"

namespace Vorel {

const char* const cModelViewer::kKeyHelp =
    "Controls:\n"
    "\t\t\t\t\t\t\t\t[File] -> [Open] - Browse to load .x model\n"
    "\t\t\t\t\t\t\t\t[W] - Camera zoom in, [S] - Camera zoom out\n"
    "\t\t\t\t\t\t\t\t[A] - Camera rotate left, [D] - Camera rotate right\n"
    "\t\t\t\t\t\t\t\t[R] - Camera up, [F] - Camera down\n"
    "\t\t\t\t\t\t\t\t[TAB] - Camera reset\n"
    "\t\t\t\t\t\t\t\t[SPACE] - Next model animation set\n"
    "\t\t\t\t\t\t\t\t[1] - Render vertices\n"
    "\t\t\t\t\t\t\t\t[2] - Render wireframe\n"
    "\t\t\t\t\t\t\t\t[3] - Render fill\n"
    "\t\t\t\t\t\t\t\t[4] - Toggle skeleton\n"
    "\t\t\t\t\t\t\t\t[-] - Adjust speed down\n"
    "\t\t\t\t\t\t\t\t[+] - Adjust speed up\n"
    "\t\t\t\t\t\t\t\t[PAUSE] - Pause animation\n"
    "\t\t\t\t\t\t\t\t[ESC] - Exit";

const char* const cModelViewer::kAllKeys =
    "Camera\n"
    "  W / S  nearer / farther        A / D  turn left / right\n"
    "  R / F  up / down                    Tab  back to the start\n"
    "  drag  turn and raise             wheel  nearer / farther\n"
    "  Num 1 / 3 / 7  front / right / top (Ctrl: the other side)\n"
    "  Num 5  orthographic          Num .  frame the model\n"
    "\n"
    "Drawing\n"
    "  1 / 2 / 3  points / wireframe / solid        4  skeleton\n"
    "  5  solid with wireframe          V  vertex normals\n"
    "  B  bounding box and size        G  grid and axes\n"
    "  C  back faces: culled, shown, tinted\n"
    "  U  z up                            K  background\n"
    "\n"
    "Animation\n"
    "  Space  next set           Pause  pause / play\n"
    "  + / -  faster / slower\n"
    "  Right / Left  a frame on / back (held: on and on)\n"
    "  Ctrl+Right / Ctrl+Left  next / previous key\n"
    "  Home / End  start / end of the set\n"
    "\n"
    "Inspecting\n"
    "  T  timeline (click or drag on it to go to a time)\n"
    "  N  bone names          click a joint  select its frame\n"
    "  H  weights of the selected bone\n"
    "  F2  frames panel          I  information panel\n"
    "  F1  these keys             F10  the menus (arrows to move)\n"
    "\n"
    "Files and the window\n"
    "  F12  save the picture       Shift+F12  without the overlay\n"
    "  F11  full screen\n"
    "  Page Down / Page Up  next / previous model in the folder\n"
    "\n"
    "  Esc  quit";

namespace {

const D3DXCOLOR kWhite(255.0f, 255.0f, 255.0f, 255.0f);

// The Animation menu: the second of the menu bar; its items from the
// resource script (the commands, with a separator) before the sets, of which
// it lists this many at most.
constexpr int kViewMenu = 1, kAnimationMenu = 2;
constexpr UINT kAnimationCommandIds[] = {
    ID_ANIMATION_PAUSE,        ID_ANIMATION_FASTER, ID_ANIMATION_SLOWER,
    ID_ANIMATION_FORWARD,      ID_ANIMATION_BACK,   ID_ANIMATION_NEXT_KEY,
    ID_ANIMATION_PREVIOUS_KEY, ID_ANIMATION_START,  ID_ANIMATION_END};
// A step key held longer than this many frames steps on every other frame,
// as fast as the set plays.
constexpr int kRepeatAfter = 18;
constexpr uint32_t kListedSets = 64;
// A notice stands this long, this far above the picture's bottom (clear of
// the timeline).
constexpr DWORD kNoticeMilliseconds = 4000;
constexpr int32_t kNoticeAbove = 100;

template <class Attribute>
Attribute* Find(cObject* object, const char* type) {
    return object != nullptr ? dynamic_cast<Attribute*>(object->GetAttribute(type)) : nullptr;
}

}  // namespace

bool cModelViewer::Init() {
    if (cViewTools* viewTools = cGraphicsManager::Instance()->GetViewTools())
        viewTools->m_views.timeline = true;
    m_camera = cObjectManager::Instance()->GetGroup(1)->CreateObject("TestCamera");
    if (Find<cPositionAttr>(m_camera, "Position") == nullptr ||
        Find<cOrientationAttr>(m_camera, "Orientation") == nullptr)
        OutputDebugStringA(
            "Assets/XML/Objects/TestCamera.xml: no \"Position\" and \"Orientation\" attribute: the view "
            "stays where it is\n");
    return true;
}

void cModelViewer::LoadModel(const std::string& fullPath, const std::string& fileName) {
    std::error_code ec;
    if (std::filesystem::is_directory(fullPath, ec)) {
        // Its first model that loads.
        const std::vector<std::string> models = ModelsInFolder(fullPath);
        for (const std::string& name : models) {
            const std::string path = (std::filesystem::path(fullPath) / name).string();
            if (cGraphicsManager::Instance()->LoadModel(path, name)->m_frameRoot != nullptr)
                return LoadModel(path, name);
        }
        const std::string message =
            fullPath + (models.empty() ? ": the folder holds no .x files"
                                       : ": no .x file of the folder can be opened as a model");
        OutputDebugStringA((message + "\n").c_str());
        MessageBoxA(GetActiveWindow(), message.c_str(), "Vorel", MB_OK | MB_ICONERROR);
        return;
    }
    // The model first: one that does not load changes nothing on screen.
    cModel* model = cGraphicsManager::Instance()->LoadModel(fullPath, fileName);
    if (model->m_frameRoot == nullptr) {
        const std::string message =
            fullPath + ": cannot be opened as a model (it has no frames or meshes Vorel can read)";
        OutputDebugStringA((message + "\n").c_str());
        MessageBoxA(GetActiveWindow(), message.c_str(), "Vorel", MB_OK | MB_ICONERROR);
        return;
    }
    const std::string saved = GetWorkingDirectory();
    SetCurrentDirectoryA(GetStartDirectory().c_str());
    cObjectGroup* group = cObjectManager::Instance()->GetGroup(2);
    group->RemoveAllObjects();
    cObject* object = group->CreateObject("TestObject");
    SetCurrentDirectoryA(saved.c_str());
    if (m_zUp) TurnModelObjects(true);

    m_watch.Watch(fullPath);
    m_stepped.clear();
    m_modelName = fileName;
    ++m_loads;

    auto* modelAttr = Find<cModelAttr>(object, "Model");
    if (modelAttr == nullptr)
        OutputDebugStringA(
            "Assets/XML/Objects/TestObject.xml: no \"Model\" attribute: the model is not shown\n");
    else
        modelAttr->m_meshFile = cModelLoader::Key(fullPath), modelAttr->m_model = model;

    auto* position = Find<cPositionAttr>(m_camera, "Position");
    m_initialHeight = 0;
    m_initialDistance = position != nullptr ? -position->m_position.z : 3 * model->m_sphereRadius;
    m_initialAngle = -1.5707964f;
    m_height = m_initialHeight;
    m_distance = m_initialDistance;
    m_angle = m_initialAngle;
    m_target = Centre(*model);
    m_initialTargetY = m_target.y;
    m_orbitCentre = D3DXVECTOR3(0, 0, 0);
    m_vertical = Vertical::kNone;
}

void cModelViewer::ReloadModel() {
    const std::string& path = m_watch.GetPath();
    cModel* model = cGraphicsManager::Instance()->ReloadModel(path, m_modelName);
    if (model == nullptr) {
        OutputDebugStringA((path + ": changed on disk, but the new version cannot be opened as a model; the "
                                   "one on screen stays\n")
                               .c_str());
        return;
    }
    const std::string key = cModelLoader::Key(path);
    for (const auto& [id, object] : cObjectManager::Instance()->GetGroup(2)->GetObjects())
        if (auto* modelAttr = Find<cModelAttr>(object, "Model");
            modelAttr != nullptr && modelAttr->m_meshFile == key)
            modelAttr->m_model = model;
    ++m_loads;
    OutputDebugStringA((path + ": changed on disk and loaded again\n").c_str());
}

void cModelViewer::Update() {
    for (const auto& [id, group] : cObjectManager::Instance()->GetGroups())
        group->ProcessRemovals();
    // A model no object shows any more is let go: stepping through a folder
    // of thousands keeps one.
    cGraphicsManager::Instance()->ReleaseUnshownModels();
    if (m_watch.Poll(timeGetTime())) ReloadModel();
    HandleInput();
    UpdateMenu();
    DrawOverlay();
}

void cModelViewer::Command(UINT id) {
    cGraphicsManager* graphics = cGraphicsManager::Instance();
    if (id == ID_ANIMATION_PAUSE) graphics->TogglePause();
    if (id == ID_ANIMATION_FASTER) graphics->AdjustSpeed(0.1f);
    if (id == ID_ANIMATION_SLOWER) graphics->AdjustSpeed(-0.1f);
    if (const cModel* model = graphics->GetCurrentModel(); model != nullptr) {
        if (id == ID_ANIMATION_FORWARD || id == ID_ANIMATION_BACK)
            graphics->SeekAnimation(cTimeline::Step(*model, id == ID_ANIMATION_FORWARD ? 1 : -1));
        if (id == ID_ANIMATION_NEXT_KEY || id == ID_ANIMATION_PREVIOUS_KEY)
            graphics->SeekAnimation(cTimeline::Key(*model, id == ID_ANIMATION_NEXT_KEY ? 1 : -1));
        if (id == ID_ANIMATION_START) graphics->SeekAnimation(0);
        if (id == ID_ANIMATION_END) graphics->SeekAnimation(cTimeline::End(*model));
    }
    if (id >= ID_ANIMATION_SET && id < ID_ANIMATION_SET + kListedSets)
        graphics->SelectAnimationSet(id - ID_ANIMATION_SET);
    if (id == ID_VIEW_ORTHOGRAPHIC) m_orthographic = !m_orthographic;
    if (id == ID_VIEW_BACKGROUND) {
        m_background = (m_background + 1) % std::size(kBackgrounds);
        graphics->SetBackground(kBackgrounds[m_background]);
    }
    if (const cModel* model = graphics->GetCurrentModel(); id == ID_VIEW_Z_UP) {
        // The model turns; the camera keeps looking at its centre's height.
        m_zUp = !m_zUp;
        TurnModelObjects(m_zUp);
        if (model != nullptr) m_target.y = m_initialTargetY = Centre(*model).y;
    }
    if (const cModel* model = graphics->GetCurrentModel(); id == ID_VIEW_FRAME && model != nullptr) {
        // The whole sphere in view from where the camera looks, which now
        // orbits the model's centre.
        m_orbitCentre = Centre(*model);
        m_target.y = m_orbitCentre.y;
        m_height = 0;
        m_distance = FramingDistance(model->m_sphereRadius, static_cast<float>(graphics->Width()) /
                                                                static_cast<float>(graphics->Height()));
    }
    if (id >= ID_VIEW_FRONT && id <= ID_VIEW_BOTTOM) {
        // A view from a side keeps the distance; from above or below it
        // looks along the vertical axis until the camera is moved.
        m_vertical = id == ID_VIEW_TOP      ? Vertical::kTop
                     : id == ID_VIEW_BOTTOM ? Vertical::kBottom
                                            : Vertical::kNone;
        if (m_vertical == Vertical::kNone) m_angle = ViewAngle(id), m_height = 0;
    }
    cViewTools* viewTools = graphics->GetViewTools();
    cViewTools::Views none, &views = viewTools != nullptr ? viewTools->m_views : none;
    if (id == ID_VIEW_TIMELINE) views.timeline = !views.timeline;
    if (id == ID_VIEW_FRAMES) views.framesPanel = !views.framesPanel;
    if (id == ID_VIEW_INFORMATION) views.infoPanel = !views.infoPanel;
    if (id == ID_VIEW_NAMES) views.names = !views.names;
    if (id == ID_VIEW_WEIGHTS) views.weights = !views.weights;
    if (id == ID_VIEW_NORMALS) views.normals = !views.normals;
    if (id == ID_VIEW_BOUNDS) views.bounds = !views.bounds;
    if (id == ID_VIEW_GRID) views.grid = !views.grid;
    if (id == ID_VIEW_BACK_FACES)
        views.backFaces = views.backFaces == Graphics::BackFaces::kCull   ? Graphics::BackFaces::kShow
                          : views.backFaces == Graphics::BackFaces::kShow ? Graphics::BackFaces::kTint
                                                                          : Graphics::BackFaces::kCull;
    if (id == ID_VIEW_SOLID_WIREFRAME)
        graphics->SetFillMode(graphics->GetFillMode() == Graphics::kFillSolidWireframe
                                  ? D3DFILL_SOLID
                                  : Graphics::kFillSolidWireframe);
    if (cWindow::MainWindow() != nullptr && id == ID_VIEW_FULL_SCREEN)
        cWindow::Instance()->ToggleFullScreen();
    if (cWindow::MainWindow() != nullptr && id == ID_VIEW_MAXIMISE) cWindow::Instance()->ToggleMaximised();
    if (id == ID_FILE_NEXT || id == ID_FILE_PREVIOUS) StepThroughFolder(id == ID_FILE_NEXT ? 1 : -1);
    if (id == ID_FILE_SAVE_PICTURE) m_save = Save::kShown;
    if (id == ID_FILE_SAVE_PLAIN_PICTURE) m_save = Save::kPlain;
    if (id == ID_HELP_KEYS)
        MessageBoxA(cWindow::MainWindow(), kAllKeys, "Vorel: keys", MB_OK | MB_ICONINFORMATION);
    if (id == ID_HELP_ABOUT)
        MessageBoxA(cWindow::MainWindow(),
                    "Vorel " VOREL_VERSION
                    "\n\nA viewer for skinned, animated DirectX .x models: it plays their "
                    "animation sets and lets you inspect their frames, bones, weights and contents.",
                    "About Vorel", MB_OK | MB_ICONINFORMATION);
}

void cModelViewer::UpdateMenu() {
    const cViewTools* viewTools = cGraphicsManager::Instance()->GetViewTools();
    if (HMENU view = GetSubMenu(GetMenu(cWindow::MainWindow()), kViewMenu);
        view != nullptr && viewTools != nullptr) {
        const cViewTools::Views& views = viewTools->m_views;
        for (const auto& [id, on] :
             {std::pair{ID_VIEW_TIMELINE, views.timeline}, std::pair{ID_VIEW_FRAMES, views.framesPanel},
              std::pair{ID_VIEW_INFORMATION, views.infoPanel}, std::pair{ID_VIEW_NAMES, views.names},
              std::pair{ID_VIEW_WEIGHTS, views.weights}, std::pair{ID_VIEW_ORTHOGRAPHIC, m_orthographic},
              std::pair{ID_VIEW_Z_UP, m_zUp}, std::pair{ID_VIEW_NORMALS, views.normals},
              std::pair{ID_VIEW_BOUNDS, views.bounds}, std::pair{ID_VIEW_GRID, views.grid},
              std::pair{ID_VIEW_BACK_FACES, views.backFaces != Graphics::BackFaces::kCull},
              std::pair{ID_VIEW_FULL_SCREEN,
                        cWindow::MainWindow() != nullptr && cWindow::Instance()->IsFullScreen()},
              std::pair{ID_VIEW_MAXIMISE, IsZoomed(cWindow::MainWindow()) != FALSE},
              std::pair{ID_VIEW_SOLID_WIREFRAME,
                        cGraphicsManager::Instance()->GetFillMode() == Graphics::kFillSolidWireframe}})
            CheckMenuItem(view, id, on ? MF_CHECKED : MF_UNCHECKED);
        // The last line says where the camera orbits about.
        const bool framed = m_orbitCentre != D3DXVECTOR3(0, 0, 0);
        if (framed != m_menuFramed && DeleteMenu(view, ID_VIEW_ORBIT, MF_BYCOMMAND)) {
            AppendMenuA(
                view, MF_STRING | MF_GRAYED, ID_VIEW_ORBIT,
                framed ? "Orbit about the model's centre (Tab: the origin)" : "Orbit about the origin");
            m_menuFramed = framed;
        }
    }
    HMENU menu = GetSubMenu(GetMenu(cWindow::MainWindow()), kAnimationMenu);
    if (menu == nullptr) return;
    const cModel* model = cGraphicsManager::Instance()->GetCurrentModel();
    const uint32_t sets = model != nullptr ? model->m_setCount : 0;
    if (m_menuLoads != m_loads) {
        // Listed once per model: a name is the overlay's "number: name".
        if (m_menuCommands < 0) m_menuCommands = GetMenuItemCount(menu);  // as the resource script has it
        while (GetMenuItemCount(menu) > m_menuCommands)
            DeleteMenu(menu, static_cast<UINT>(m_menuCommands), MF_BYPOSITION);
        if (sets > 0) AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        for (uint32_t s = 0; s < std::min(sets, kListedSets); ++s) {
            const std::string name =
                s < model->m_animationSets.size() ? model->m_animationSets[s]->m_name : "";
            AppendMenuA(menu, MF_STRING, ID_ANIMATION_SET + s, (ToString(s) + ": " + name).c_str());
        }
        if (sets > kListedSets)
            AppendMenuA(menu, MF_GRAYED, 0, (ToString(sets - kListedSets) + " more (Space)").c_str());
        for (UINT id : kAnimationCommandIds)
            EnableMenuItem(menu, id, sets > 0 ? MF_ENABLED : MF_GRAYED);
        m_menuLoads = m_loads;
        m_menuSet = UINT32_MAX;
    }
    if (model != nullptr && model->m_currentSet != m_menuSet) {
        if (m_menuSet != UINT32_MAX) CheckMenuItem(menu, ID_ANIMATION_SET + m_menuSet, MF_UNCHECKED);
        CheckMenuItem(menu, ID_ANIMATION_SET + model->m_currentSet, MF_CHECKED);
        m_menuSet = model->m_currentSet;
    }
    CheckMenuItem(menu, ID_ANIMATION_PAUSE,
                  model != nullptr && model->m_speed == 0 ? MF_CHECKED : MF_UNCHECKED);
}

void cModelViewer::HandleInput() {
    cInput* input = cInput::Instance();
    cGraphicsManager* graphics = cGraphicsManager::Instance();
    if (input->IsKeyDown('W')) {
        m_distance -= 1;
        if (m_distance < 2.0f) m_distance = 2.0f;
    }
    if (input->IsKeyDown('S')) m_distance += 1;
    // Turning, raising or lowering leaves a view from above or below for
    // the orbit, at the angle and distance it had.
    if (input->IsKeyDown('A') || input->IsKeyDown('D') || input->IsKeyDown('R') || input->IsKeyDown('F') ||
        input->IsKeyDown(VK_TAB))
        m_vertical = Vertical::kNone;
    if (input->IsKeyDown('A')) m_angle -= 0.05f;
    if (input->IsKeyDown('D')) m_angle += 0.05f;
    if (input->IsKeyDown('R')) m_height += 1;
    if (input->IsKeyDown('F')) m_height -= 1;
    if (input->IsKeyDown(VK_TAB)) {
        m_orbitCentre = D3DXVECTOR3(0, 0, 0);
        m_target.y = m_initialTargetY;
        m_height = m_initialHeight;
        m_distance = m_initialDistance;
        m_angle = m_initialAngle;
    }
    if (input->IsKeyTriggered('1')) graphics->SetFillMode(D3DFILL_POINT);
    if (input->IsKeyTriggered('2')) graphics->SetFillMode(D3DFILL_WIREFRAME);
    if (input->IsKeyTriggered('3')) graphics->SetFillMode(D3DFILL_SOLID);
    if (input->IsKeyTriggered('5')) graphics->SetFillMode(Graphics::kFillSolidWireframe);
    if (input->IsKeyTriggered(VK_SPACE)) graphics->NextAnimationSet();
    if (input->IsKeyTriggered('4')) graphics->ToggleSkeleton();
    if (input->IsKeyTriggered(VK_PAUSE)) graphics->TogglePause();
    if (input->IsKeyTriggered(VK_OEM_MINUS) || input->IsKeyTriggered(VK_SUBTRACT))
        graphics->AdjustSpeed(-0.1f);
    if (input->IsKeyTriggered(VK_OEM_PLUS) || input->IsKeyTriggered(VK_ADD)) graphics->AdjustSpeed(0.1f);
    // Left and Right step a frame (Ctrl: to the key before or after), and
    // go on while held; Home and End go to the ends.
    const bool control = input->IsKeyDown(VK_CONTROL);
    for (const auto& [key, direction] :
         {std::pair{uint32_t(VK_RIGHT), 1}, std::pair{uint32_t(VK_LEFT), -1}}) {
        if (!input->IsKeyDown(key)) continue;
        m_held = input->IsKeyTriggered(key) ? 0 : m_held + 1;
        if (m_held == 0 || (m_held > kRepeatAfter && m_held % 2 == 0))
            Command(control ? (direction > 0 ? ID_ANIMATION_NEXT_KEY : ID_ANIMATION_PREVIOUS_KEY)
                            : (direction > 0 ? ID_ANIMATION_FORWARD : ID_ANIMATION_BACK));
    }
    if (input->IsKeyTriggered(VK_HOME)) Command(ID_ANIMATION_START);
    if (input->IsKeyTriggered(VK_END)) Command(ID_ANIMATION_END);
    if (input->IsKeyTriggered('T')) Command(ID_VIEW_TIMELINE);
    if (input->IsKeyTriggered('N')) Command(ID_VIEW_NAMES);
    if (input->IsKeyTriggered('H')) Command(ID_VIEW_WEIGHTS);
    if (input->IsKeyTriggered('I')) Command(ID_VIEW_INFORMATION);
    if (input->IsKeyTriggered(VK_F2)) Command(ID_VIEW_FRAMES);
    if (input->IsKeyTriggered(VK_F1)) Command(ID_HELP_KEYS);
    if (input->IsKeyTriggered(VK_F11)) Command(ID_VIEW_FULL_SCREEN);
    if (input->IsKeyTriggered(VK_NEXT)) Command(ID_FILE_NEXT);
    if (input->IsKeyTriggered(VK_PRIOR)) Command(ID_FILE_PREVIOUS);
    if (input->IsKeyTriggered(VK_F12))
        Command(input->IsKeyDown(VK_SHIFT) ? ID_FILE_SAVE_PLAIN_PICTURE : ID_FILE_SAVE_PICTURE);
    // The keypad's views, as 3D tools have them; Ctrl for the opposite side.
    for (const auto& [key, view, opposite] : {std::tuple{uint32_t(VK_NUMPAD1), ID_VIEW_FRONT, ID_VIEW_BACK},
                                              std::tuple{uint32_t(VK_NUMPAD3), ID_VIEW_RIGHT, ID_VIEW_LEFT},
                                              std::tuple{uint32_t(VK_NUMPAD7), ID_VIEW_TOP, ID_VIEW_BOTTOM}})
        if (input->IsKeyTriggered(key)) Command(control ? opposite : view);
    if (input->IsKeyTriggered(VK_NUMPAD5)) Command(ID_VIEW_ORTHOGRAPHIC);
    if (input->IsKeyTriggered('U')) Command(ID_VIEW_Z_UP);
    if (input->IsKeyTriggered('K')) Command(ID_VIEW_BACKGROUND);
    if (input->IsKeyTriggered(VK_DECIMAL)) Command(ID_VIEW_FRAME);
    if (input->IsKeyTriggered('V')) Command(ID_VIEW_NORMALS);
    if (input->IsKeyTriggered('B')) Command(ID_VIEW_BOUNDS);
    if (input->IsKeyTriggered('G')) Command(ID_VIEW_GRID);
    if (input->IsKeyTriggered('C')) Command(ID_VIEW_BACK_FACES);
    PlaceCamera();
    input->EndFrame();
}

void cModelViewer::Drag(int dx, int dy) {
    // A full turn for about the picture's width; the height in proportion
    // to the distance, so that a drag feels the same for every model size.
    m_vertical = Vertical::kNone;
    m_angle -= static_cast<float>(dx) * 0.006f;
    m_height += static_cast<float>(dy) * m_distance / 400.0f;
}

void cModelViewer::Turn(float radians) {
    m_vertical = Vertical::kNone;
    m_angle += radians;
}

void cModelViewer::MouseDown(int x, int y) {
    m_pressX = m_mouseX = x;
    m_pressY = m_mouseY = y;
    cViewTools* viewTools = cGraphicsManager::Instance()->GetViewTools();
    m_viewToolsHave = viewTools != nullptr && viewTools->Press(x, y);
    m_dragging = !m_viewToolsHave;
}

void cModelViewer::MouseMove(int x, int y, bool held) {
    cViewTools* viewTools = cGraphicsManager::Instance()->GetViewTools();
    if (held && m_viewToolsHave && viewTools != nullptr) viewTools->Move(x, y);
    if (held && m_dragging) Drag(x - m_mouseX, y - m_mouseY);
    m_mouseX = x;
    m_mouseY = y;
}

void cModelViewer::MouseUp(int x, int y) {
    cViewTools* viewTools = cGraphicsManager::Instance()->GetViewTools();
    if (m_viewToolsHave && viewTools != nullptr) viewTools->Release();
    if (m_dragging && viewTools != nullptr && std::abs(x - m_pressX) <= kClickSlack &&
        std::abs(y - m_pressY) <= kClickSlack)
        viewTools->Click(x, y);
    m_dragging = m_viewToolsHave = false;
}

void cModelViewer::Wheel(float notches) {
    cViewTools* viewTools = cGraphicsManager::Instance()->GetViewTools();
    if (viewTools != nullptr && viewTools->Wheel(m_mouseX, m_mouseY, notches)) return;
    m_distance -= notches * std::max(1.0f, m_distance * 0.1f);
    if (m_distance < 2.0f) m_distance = 2.0f;
}

void cModelViewer::Orbit(float angle, float distance, float height, const D3DXVECTOR3& centre,
                         Vertical vertical, D3DXVECTOR3* eye, D3DXVECTOR3* view) {
    if (vertical != Vertical::kNone) {
        const float side = vertical == Vertical::kTop ? 1.0f : -1.0f;
        *eye = D3DXVECTOR3(centre.x, centre.y + side * distance, centre.z);
        *view = D3DXVECTOR3(0, -side, 0);
        return;
    }
    const double a = angle;
    const D3DXVECTOR3 p(static_cast<float>(distance * std::cos(a)), height + centre.y,
                        static_cast<float>(distance * std::sin(a)));
    *eye = D3DXVECTOR3(centre.x + p.x, p.y, centre.z + p.z);
    *view = D3DXVECTOR3(-p.x, 0, -p.z);
}

float cModelViewer::ViewAngle(UINT command) {
    switch (command) {
        case ID_VIEW_BACK:
            return 1.5707964f;
        case ID_VIEW_RIGHT:
            return 3.1415927f;
        case ID_VIEW_LEFT:
            return 0.0f;
        default:
            return -1.5707964f;  // the front, where the camera starts
    }
}

float cModelViewer::FramingDistance(float radius, float aspect) {
    // The narrower of the two half-angles of the view, a little room around.
    const float halfHeight = D3DX_PI / 8, halfWidth = std::atan(std::tan(halfHeight) * aspect);
    const float half = std::min(halfHeight, halfWidth);
    return std::isfinite(radius) && radius > 0 ? 1.05f * radius / std::sin(half) : 1.0f;
}

float cModelViewer::OrthographicHeight(float distance) {
    return 2 * distance * std::tan(D3DX_PI / 8);
}

UINT cModelViewer::BestView(const cModel& model, bool zUp) {
    // From each side, the camera's direction from the model: front and
    // right look from -z and -x, as ViewAngle has them.
    static constexpr struct {
        UINT view;
        float x, y, z;
    } kSides[] = {{ID_VIEW_FRONT, 0, 0, -1}, {ID_VIEW_RIGHT, -1, 0, 0}, {ID_VIEW_BACK, 0, 0, 1},
                  {ID_VIEW_LEFT, 1, 0, 0},   {ID_VIEW_TOP, 0, 1, 0},    {ID_VIEW_BOTTOM, 0, -1, 0}};
    double seen[std::size(kSides)] = {};
    std::vector<D3DXVECTOR3> vertices;
    for (const cModel::Container& c : model.m_containers) {
        LPD3DXMESH mesh = c.container->MeshData.pMesh;
        void* indices = nullptr;
        if (mesh == nullptr) continue;
        cModel::ModelSpaceVertices(c, &vertices);
        if (vertices.empty() || FAILED(mesh->LockIndexBuffer(D3DLOCK_READONLY, &indices))) continue;
        const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
        const auto index = [&](size_t i) -> size_t {
            return wide ? static_cast<const uint32_t*>(indices)[i] : static_cast<const uint16_t*>(indices)[i];
        };
        for (size_t f = 0; f < mesh->GetNumFaces(); ++f) {
            const size_t a = index(3 * f), b = index(3 * f + 1), d = index(3 * f + 2);
            if (a >= vertices.size() || b >= vertices.size() || d >= vertices.size()) continue;
            // Twice the face's area along its normal, which points at a
            // camera that sees the face's front (clockwise, as drawn).
            const D3DXVECTOR3 e1 = vertices[b] - vertices[a], e2 = vertices[d] - vertices[a];
            double n[3] = {double(e1.y) * e2.z - double(e1.z) * e2.y,
                           double(e1.z) * e2.x - double(e1.x) * e2.z,
                           double(e1.x) * e2.y - double(e1.y) * e2.x};
            if (zUp) n[1] = std::exchange(n[2], -n[1]);  // as kZUp turns it
            for (size_t s = 0; s < std::size(kSides); ++s) {
                const double facing = n[0] * kSides[s].x + n[1] * kSides[s].y + n[2] * kSides[s].z;
                if (facing > 0 && std::isfinite(facing)) seen[s] += facing;
            }
        }
        mesh->UnlockIndexBuffer();
    }
    size_t best = 0;
    for (size_t s = 1; s < std::size(kSides); ++s)
        if (seen[s] > seen[best] * (1 + 1e-6)) best = s;
    return kSides[best].view;
}

D3DXVECTOR3 cModelViewer::Centre(const cModel& model) const {
    const D3DXVECTOR3& c = model.m_sphereCenter;
    return m_zUp ? D3DXVECTOR3(c.x, c.z, -c.y) : c;
}

void cModelViewer::TurnModelObjects(bool toZUp) {
    // Before the object's own rotation: v · turn · rotation; the turn back
    // is its transpose.
    for (const auto& [id, object] : cObjectManager::Instance()->GetGroup(2)->GetObjects()) {
        auto* rotation = Find<cRotationAttr>(object, "Rotation");
        if (rotation == nullptr) continue;
        float turned[3][3] = {};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                for (int k = 0; k < 3; ++k)
                    turned[r][c] += (toZUp ? kZUp[r][k] : kZUp[k][r]) * rotation->m_rotation[k][c];
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                rotation->m_rotation[r][c] = turned[r][c];
    }
}

void cModelViewer::PlaceCamera() {
    auto* position = Find<cPositionAttr>(m_camera, "Position");
    auto* orientation = Find<cOrientationAttr>(m_camera, "Orientation");
    if (position == nullptr || orientation == nullptr) return;  // said by Init
    // The specified orbit is about the vertical axis through the origin, at
    // the model's centre height.
    Orbit(m_angle, m_distance, m_height, D3DXVECTOR3(m_orbitCentre.x, m_target.y, m_orbitCentre.z),
          m_vertical, &position->m_position, &orientation->m_view);
    cGraphicsManager::Instance()->SetOrthographic(m_orthographic ? OrthographicHeight(m_distance) : 0);
}

std::string cModelViewer::ModelInformation(const cModel& model) {
    // A set number past the sets read (a malformed file's count) shows
    // without a name.
    const std::string set = model.m_currentSet < model.m_animationSets.size()
                                ? model.m_animationSets[model.m_currentSet]->m_name
                                : std::string();
    return model.m_name + "\n" + ToString(model.m_currentSet) + ": " + set + "\n" +
           "Speed Adjust: " + ToString(model.m_speed);
}

void cModelViewer::QueueOverlay(const cModel* model) {
    cGraphicsManager* graphics = cGraphicsManager::Instance();
    graphics->QueueText(0, 0, kKeyHelp, "Arial", kWhite, 0);
    if (model != nullptr && model->m_setCount != 0)
        graphics->QueueText(static_cast<int32_t>(graphics->Width()), 0, ModelInformation(*model), "Arial",
                            kWhite, DT_RIGHT);
}

void cModelViewer::DrawOverlay() {
    cGraphicsManager* graphics = cGraphicsManager::Instance();
    cViewTools* viewTools = graphics->GetViewTools();
    if (m_save == Save::kPlain && viewTools != nullptr) {
        // This one frame without the texts, the timeline and the panels.
        graphics->GetFontManager()->ClearTextQueue();
        const cViewTools::Views shown = viewTools->m_views;
        viewTools->m_views.timeline = viewTools->m_views.framesPanel = viewTools->m_views.infoPanel = false;
        graphics->RenderFrame();
        viewTools->m_views = shown;
        SavePicture();
        return;
    }
    QueueOverlay(graphics->GetCurrentModel());
    if (!m_notice.empty() && static_cast<int32_t>(m_noticeUntil - timeGetTime()) > 0)
        graphics->QueueText(8, static_cast<int32_t>(graphics->Height()) - kNoticeAbove, m_notice, "Arial",
                            kWhite, 0);
    graphics->RenderFrame();
    if (m_save == Save::kShown) SavePicture();
}

bool cModelViewer::NaturalLess(const std::string& a, const std::string& b) {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            // Runs of digits by their value: without leading zeros, the
            // longer run is the larger, and runs of one length compare as text.
            size_t i0 = i, j0 = j;
            while (i0 < a.size() && a[i0] == '0')
                ++i0;
            while (j0 < b.size() && b[j0] == '0')
                ++j0;
            size_t i1 = i0, j1 = j0;
            while (i1 < a.size() && digit(a[i1]))
                ++i1;
            while (j1 < b.size() && digit(b[j1]))
                ++j1;
            if (i1 - i0 != j1 - j0) return i1 - i0 < j1 - j0;
            if (const int c = a.compare(i0, i1 - i0, b, j0, j1 - j0); c != 0) return c < 0;
            i = i1, j = j1;
            continue;
        }
        if (lower(a[i]) != lower(b[j]))
            return static_cast<unsigned char>(lower(a[i])) < static_cast<unsigned char>(lower(b[j]));
        ++i, ++j;
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    return a < b;  // the same but for case or leading zeros: still one order
}

bool cModelViewer::IsModelFileName(const std::string& name) {
    return name.size() > 2 && name[name.size() - 2] == '.' && (name.back() == 'x' || name.back() == 'X');
}

std::vector<std::string> cModelViewer::ModelsInFolder(const std::string& folder) {
    std::vector<std::string> models;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code fileError;
        if (IsModelFileName(name) && it->is_regular_file(fileError)) models.push_back(name);
    }
    std::sort(models.begin(), models.end(), NaturalLess);
    return models;
}

void cModelViewer::StepThroughFolder(int step) {
    // From the file the last step reached, where it is in this folder; else
    // from the model on screen.
    const std::string& current = m_watch.GetPath();
    if (current.empty()) return;
    const std::filesystem::path here(m_stepped.empty() ? current : m_stepped);
    const std::vector<std::string> models = ModelsInFolder(here.parent_path().string());
    if (models.empty()) {
        Notify(here.parent_path().string() + ": the folder holds no .x files any more");
        return;
    }
    const std::string name = here.filename().string();
    auto at = std::lower_bound(models.begin(), models.end(), name, NaturalLess);
    size_t index = static_cast<size_t>(at - models.begin());
    const bool found = at != models.end() && *at == name;
    // Past the ends, round to the other end; a file gone since, from where it stood.
    if (step > 0)
        index = found ? (index + 1) % models.size() : index % models.size();
    else
        index = (index + models.size() - 1) % models.size();
    const std::string path = (here.parent_path() / models[index]).string();
    m_stepped = path;
    cGraphicsManager* graphics = cGraphicsManager::Instance();
    const cModel* before = graphics->GetCurrentModel();
    const float speed = before != nullptr ? before->m_speed : 1.0f;
    const bool skeleton = before == nullptr || before->m_showSkeleton;
    if (graphics->LoadModel(path, models[index])->m_frameRoot == nullptr) {
        Notify(path + ": cannot be opened as a model (" + ToString(static_cast<int32_t>(index + 1)) + " of " +
               ToString(static_cast<int32_t>(models.size())) + " in the folder)");
        return;
    }
    const float angle = m_angle;
    const Vertical vertical = m_vertical;
    const bool framed = m_orbitCentre != D3DXVECTOR3(0, 0, 0);
    LoadModel(path, models[index]);  // the store has it now
    m_angle = angle;
    m_vertical = vertical;
    if (cModel* model = graphics->GetCurrentModel()) {
        model->m_speed = speed;
        model->m_showSkeleton = skeleton;
    }
    if (framed) Command(ID_VIEW_FRAME);
    Notify(models[index] + " (" + ToString(static_cast<int32_t>(index + 1)) + " of " +
               ToString(static_cast<int32_t>(models.size())) + ")",
           false);
}

std::string cModelViewer::PictureName(const cModel& model) {
    std::string name = model.m_name;
    if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
    if (const cAnimationSet* set = cTimeline::Set(model)) {
        name += " - " + (set->m_name.empty() ? ToString(model.m_currentSet) : set->m_name);
        const float time =
            std::isfinite(model.m_time) ? std::clamp(std::floor(model.m_time), -2e9f, 2e9f) : 0;
        name += " - " + ToString(static_cast<int32_t>(time));
    }
    for (char& c : name)
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 32) c = '_';
    return name.empty() ? std::string("Vorel") : name;
}

void cModelViewer::Notify(const std::string& text, bool trace) {
    if (trace) OutputDebugStringA((text + "\n").c_str());
    m_notice = text;
    m_noticeUntil = timeGetTime() + kNoticeMilliseconds;
}

void cModelViewer::SavePicture() {
    m_save = Save::kNone;
    cGraphicsManager* graphics = cGraphicsManager::Instance();
    char folder[MAX_PATH] = "";
    const HRESULT found =
        SHGetFolderPathA(nullptr, CSIDL_MYPICTURES | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder);
    if (found != S_OK) {
        Notify(folder[0] != '\0' ? std::string("Cannot save the picture: the folder ") + folder +
                                       " is not there and cannot be made"
                                 : std::string("Cannot save the picture: there is no pictures folder"));
        return;
    }
    const cModel* model = graphics->GetCurrentModel();
    const std::string stem = std::string(folder) + "/" + (model != nullptr ? PictureName(*model) : "Vorel");
    // Never over an earlier picture.
    std::string path = stem + ".png";
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(path, ec) && n < 10000; ++n)
        path = stem + " (" + ToString(n) + ").png";
    LPDIRECT3DSURFACE9 surface = nullptr;
    LPDIRECT3DDEVICE9 device =
        graphics->GetRenderer() != nullptr ? graphics->GetRenderer()->m_D3DDevice : nullptr;
    HRESULT saved = E_FAIL;
    if (device != nullptr && SUCCEEDED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface))) {
        saved = D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_PNG, surface, nullptr, nullptr);
        surface->Release();
    }
    Notify(SUCCEEDED(saved) ? "Picture saved: " + path
                            : "Cannot save the picture: " + path + " cannot be written");
}

}  // namespace Vorel
