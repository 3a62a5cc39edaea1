#pragma once

#include <d3dx9.h>

#include <string>
#include <vector>

#include "Singleton.h"
#include "cFileWatch.h"

namespace Vorel {

class cObject;
class cModel;

// The viewer: the camera object, the model object of the file the user
// opens, the keys that orbit the camera and steer the animation, and the
// on-screen text.
class cModelViewer : public cSingleton<cModelViewer> {
public:
    // Creates the camera object from its object file.
    bool Init();
    // Replaces the model object with one showing the file at `fullPath`
    // (`fileName` is its bare name) and frames the model. A folder opens
    // its first model.
    void LoadModel(const std::string& fullPath, const std::string& fileName);
    // The next (`step` 1) or previous (-1) model of the current one's
    // folder, keeping the camera's direction, the view and the speed; a
    // file that does not load is said in the picture, and the next step
    // goes on past it.
    void StepThroughFolder(int step);
    // The .x files of `folder` (the extension in any case), in natural
    // order: "w2.x" before "w10.x", letters without regard to case.
    static std::vector<std::string> ModelsInFolder(const std::string& folder);
    // A name a model file has: something, then ".x" in any case.
    static bool IsModelFileName(const std::string& name);
    static bool NaturalLess(const std::string& a, const std::string& b);
    // One frame: object removals, the model again if its file was written
    // anew, keys and camera, overlay and rendering.
    void Update();
    void HandleInput();
    // The mouse, as the keys move the camera: a drag of (dx, dy) pixels
    // turns it around the model and raises or lowers it; the wheel moves it
    // nearer (forward) or farther, never nearer than 2.
    void Drag(int dx, int dy);
    // The camera turned `radians` further around the model, as A and D turn it.
    void Turn(float radians);
    void Wheel(float notches);
    // The left button in the picture, at client (back-buffer) pixels: a
    // press on the timeline or a panel is theirs; any other drags the
    // camera, and one released within kClickSlack pixels of where it
    // started is a click that picks a joint.
    void MouseDown(int x, int y);
    void MouseMove(int x, int y, bool held);
    void MouseUp(int x, int y);
    static constexpr int kClickSlack = 4;
    void DrawOverlay();
    // A command of the Animation menu (WM_COMMAND's identifier).
    void Command(UINT id);
    // The Animation menu of the main window as the model stands: its sets
    // listed (once per model loaded), the current one and the pause
    // checked, the commands grayed without sets.
    void UpdateMenu();

    // The overlay's texts queued for the next frame: the key help, and the
    // model block when `model` has animation sets.
    static void QueueOverlay(const cModel* model);
    // The text of the model block, as the overlay shows it.
    static std::string ModelInformation(const cModel& model);

    // Where the camera looks from: around the model on its orbit (the
    // specified camera), or straight down or up the vertical axis.
    enum class Vertical { kNone, kTop, kBottom };
    // The camera's eye and view direction for an orbit at `angle` around
    // the vertical axis through `centre`, `distance` from it and `height`
    // above the model's centre height `centreY`; from above or below the
    // centre, looking along the axis, for a vertical view.
    static void Orbit(float angle, float distance, float height, const D3DXVECTOR3& centre, Vertical vertical,
                      D3DXVECTOR3* eye, D3DXVECTOR3* view);
    // The angle of each side view: front looks at the model's face (from
    // -z), right at its right side (from -x).
    static float ViewAngle(UINT command);
    // The side view (ID_VIEW_FRONT .. ID_VIEW_BOTTOM) that shows the most
    // of the model as posed: the one its faces turned toward the camera
    // cover most of, counted in area seen from that side; the first in the
    // order front, right, back, left, top, bottom on a tie. Front without
    // faces. With `zUp`, as the model is drawn turned z up.
    static UINT BestView(const cModel& model, bool zUp);
    // The backgrounds K goes through: the dark blue a frame starts from,
    // black, grey, white.
    static constexpr D3DCOLOR kBackgrounds[] = {0xFF000032, 0xFF000000, 0xFF808080, 0xFFFFFFFF};
    // A model built with z up turned so that its z is the picture's up: a
    // point (x, y, z) of the file is drawn at (x, z, -y). Rows of the
    // rotation an object's attribute holds.
    static constexpr float kZUp[3][3] = {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}};
    // Every model object (group 2) turned to z up, or back.
    static void TurnModelObjects(bool toZUp);
    // How far from a sphere of `radius` the camera sees all of it, in a
    // picture of that aspect (width over height).
    static float FramingDistance(float radius, float aspect);
    // The height an orthographic view shows at `distance`: what the
    // perspective shows there.
    static float OrthographicHeight(float distance);

    float GetAngle() const { return m_angle; }
    Vertical GetVertical() const { return m_vertical; }
    bool IsOrthographic() const { return m_orthographic; }
    bool IsZUp() const { return m_zUp; }
    // The point the camera orbits about: the origin's vertical axis, or the
    // model's centre once framed.
    const D3DXVECTOR3& GetOrbitCentre() const { return m_orbitCentre; }
    float GetDistance() const { return m_distance; }
    float GetHeight() const { return m_height; }

    // The name a saved picture of the model takes, without its extension:
    // the file's, the set's and the time's ("Lumen - Walk - 1234"), with
    // characters a file name cannot hold replaced.
    static std::string PictureName(const cModel& model);
    // What the picture shows a few seconds after a save (empty for none).
    const std::string& Notice() const { return m_notice; }

    static const char* const kKeyHelp;
    // Every key, the help menu's list.
    static const char* const kAllKeys;

    // The camera object put where the orbit and the view say.
    void PlaceCamera();

private:
    // The model's centre as drawn: turned when z is up.
    D3DXVECTOR3 Centre(const cModel& model) const;
    // The model's file read again in place, the view kept as it is; the
    // model on screen stays when the new version does not load.
    void ReloadModel();
    // The back buffer, as just drawn, into the user's pictures folder;
    // the notice says where, or why not.
    void SavePicture();
    // A line drawn over the picture for a few seconds, and a trace line.
    void Notify(const std::string& text, bool trace = true);

    cObject* m_camera = nullptr;  // owned by object group 1
    float m_initialAngle = -1.5707964f;
    float m_initialDistance = 10.0f;
    float m_initialHeight = 0.0f;
    float m_initialTargetY = 0.0f;
    // Before any model: the camera where its object file puts it, ten units
    // before the origin, looking along +z at an empty scene.
    float m_angle = -1.5707964f;
    float m_distance = 10.0f;
    float m_height = 0.0f;
    D3DXVECTOR3 m_target{0, 0, 0};
    Vertical m_vertical = Vertical::kNone;
    bool m_orthographic = false;
    bool m_zUp = false;
    size_t m_background = 0;             // of kBackgrounds
    D3DXVECTOR3 m_orbitCentre{0, 0, 0};  // x and z: the vertical axis orbited
    bool m_menuFramed = false;           // what the View menu's orbit line says
    // The file of the model on screen, and its bare name.
    cFileWatch m_watch;
    std::string m_modelName;
    // Models loaded, and the load the Animation menu lists, with its checked set.
    uint32_t m_loads = 0;
    uint32_t m_menuLoads = 0;
    uint32_t m_menuSet = UINT32_MAX;
    int m_menuCommands = -1;  // the menu's own items, before any set was listed
    // A picture asked for: as shown, or of the model alone.
    enum class Save { kNone, kShown, kPlain };
    Save m_save = Save::kNone;
    std::string m_notice;
    DWORD m_noticeUntil = 0;
    // The file the last step through a folder reached, loaded or not.
    std::string m_stepped;
    // Frames the step key has been held.
    int m_held = 0;
    // The left button: held on the picture (dragging) or by the view tools,
    // where it went down and where it last was.
    bool m_dragging = false, m_viewToolsHave = false;
    int m_pressX = 0, m_pressY = 0, m_mouseX = 0, m_mouseY = 0;
};

}  // namespace Vorel
