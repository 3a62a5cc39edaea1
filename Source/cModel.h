#pragma once

#include <d3dx9.h>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cAnimationSet.h"
#include "cFrame.h"

namespace Vorel {

struct cMeshContainer;
namespace Graphics {
class cEffectsManager;
}

// A loaded model: its frame tree and meshes, the animation sets read from
// its file, and the playback state that poses it.
class cModel {
public:
    // A line of the skeleton, in world space.
    using Line = std::pair<D3DXVECTOR3, D3DXVECTOR3>;

    cModel() = default;
    ~cModel();
    cModel(const cModel&) = delete;
    cModel& operator=(const cModel&) = delete;

    // Reads every animation set of the file and appends it to
    // m_animationSets; false when the file cannot be opened as a .x file.
    bool ReadAnimations(const std::string& fileName);
    // Handles one data object of the file, then everything it holds, on a
    // stack of its own. A reference is handled as the object it names, but
    // what that object holds is not read again through it: a file of
    // references that fan out is read in time linear in its size.
    bool ReadDataObject(ID3DXFileData* parent, ID3DXFileData* _dataObject);
    // Points each bone animation at the frame of its name, or at nothing.
    // Runs after InitLocalTransforms.
    void BindAnimations();

    // Flattens the frame tree (m_frames, m_links, the frames by name) and
    // gives each frame its bind pose from its matrix in the file, which
    // m_local starts as. Every later walk of the tree uses the flat lists,
    // so none takes stack in proportion to the tree's depth or breadth; it
    // runs again whenever the tree changes.
    void InitLocalTransforms();
    // Skinning set-up: every mesh container in m_containers, with a skinned
    // copy of each one that has skin, its bones' transforms and the size of
    // the palette. Meets each frame, then its later siblings with all they
    // hold, then its children. Runs after InitLocalTransforms.
    void SetupBones();
    // The first frame of that name in m_frames' order, or null.
    cFrame* FindFrame(const char* name) const;

    // Moves the clock on by `elapsedMs` of wall time at m_speed, in the
    // current set's ticks; the time stays within the set's length.
    void AdvanceClock(float elapsedMs);
    // Poses the model at `time` ticks: keys, frame transforms, skinning of
    // every container that has skin.
    void Update(float time);
    // Every frame's m_local: its bind pose, with the current set's tracks
    // at `time` (looped over the set's length) applied.
    void EvaluateKeys(float time);
    // Every frame's m_combined from its m_local and its parent's.
    void UpdateTransforms();
    // Every frame's joint with the model placed by `world` (Joints), and
    // the skeleton's lines when `lines` is given: each frame joined to its
    // parent's joint, later siblings to the first one's. Leaves world-space
    // transforms in m_combined until the next Update.
    void DrawSkeleton(const D3DXMATRIX& world, std::vector<Line>* lines);
    // One per frame of m_frames: its joint in world space at the last Draw.
    const std::vector<D3DXVECTOR3>& Joints() const { return m_joints; }
    // Draws every skinned container coloured by the weight the bone named
    // `bone` gives each vertex (`colour` maps 0..1 to a colour), or, with
    // null, as its materials say again. Returns how many containers that
    // bone weighs.
    int ShowWeights(const char* bone, D3DCOLOR (*colour)(float));
    // The weight the bone named `bone` gives each vertex of the container
    // (0 where it gives none); false, leaving `weights` empty, when the
    // container has no skin or no such bone.
    static bool BoneWeights(const cMeshContainer& container, const char* bone, std::vector<float>* weights);

    // Draws every container with the effect, whose technique, lights and
    // world matrices the renderer has set, and then the skeleton if it is
    // shown, over the model. A container with skin carries its pose in its
    // vertices; any other is drawn under its frame's combined transform
    // times the world.
    bool Draw(Graphics::cEffectsManager* effects, LPD3DXEFFECT effect);
    // The containers alone, as Draw draws them: for passes over the same
    // pose with other render states.
    void DrawMeshes(Graphics::cEffectsManager* effects, LPD3DXEFFECT effect);

    // What Draw measures of the pose when asked: each vertex's normal as a
    // line m_normalLength long in world space (pairs of points; 0 for
    // none), and with m_measureBox the posed model's box in model space
    // (empty, min above max, without vertices). m_world is the world the
    // model was last drawn with.
    float m_normalLength = 0;
    bool m_measureBox = false;
    std::vector<D3DXVECTOR3> m_normalLines;
    D3DXVECTOR3 m_boxMin{0, 0, 0}, m_boxMax{0, 0, 0};
    D3DXMATRIX m_world{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    // A mesh container and the frame that holds it.
    struct Container {
        cMeshContainer* container;
        cFrame* frame;
    };

    // The container's vertices in model space as they are drawn after the
    // last Update: the skinned copy of a container with skin, any other
    // mesh under its frame's combined transform. Empty without a mesh.
    static void ModelSpaceVertices(const Container& c, std::vector<D3DXVECTOR3>* vertices);

    std::string m_name;
    LPDIRECT3DDEVICE9 m_device = nullptr;
    cFrame* m_frameRoot = nullptr;
    LPD3DXANIMATIONCONTROLLER m_animController = nullptr;
    // Where a frame of m_frames stands among the others, as indices into
    // m_frames (-1 for none): its parent, and in its chain of siblings the
    // first and the one before it.
    struct Link {
        int32_t parent = -1;
        int32_t first = -1;
        int32_t previous = -1;
    };
    std::vector<cFrame*> m_frames;  // every frame, each before its children, children before later siblings
    std::vector<Link> m_links;      // one per frame of m_frames
    std::vector<Container> m_containers;     // every mesh container, in the order SetupBones meets them
    std::vector<D3DXMATRIX> m_boneMatrices;  // the skinning palette, m_maxBones entries
    int32_t m_maxBones = 0;
    uint32_t m_currentSet = 0;
    uint32_t m_setCount = 0;
    float m_time = 0;
    float m_speed = 1.0f;
    D3DXVECTOR3 m_sphereCenter{0, 0, 0};
    float m_sphereRadius = 0;
    bool m_showSkeleton = true;
    std::vector<std::unique_ptr<cAnimationSet>> m_animationSets;
    // The load: the file's whole path, how long it took, and what the
    // platform noted meanwhile (trace lines, places textures were sought).
    struct LoadNote {
        int kind;  // a VOREL_NOTE_KIND
        std::string subject, text;
    };
    std::string m_path;
    double m_loadMilliseconds = 0;
    std::vector<LoadNote> m_loadNotes;

private:
    // Handles one data object alone: false when neither it nor what it
    // holds can be read.
    bool ReadOneObject(ID3DXFileData* parent, ID3DXFileData* _dataObject);
    static void ReadKeys(const void* data, SIZE_T size, cBoneAnimation& animation, cAnimationSet& set);
    void SkinContainer(cMeshContainer* container);
    void Measure(const D3DXMATRIX& world);
    void DrawMeshContainer(const Container& c, Graphics::cEffectsManager* effects, LPD3DXEFFECT effect,
                           const D3DXMATRIX& world);
    // The set being played, with m_currentSet held below the sets read;
    // null when there is none.
    const cAnimationSet* CurrentSet();

    // What a bone that names no frame follows: it never moves.
    cVQS m_identity;
    // Per frame of m_frames: the space its children are placed in, and its
    // joint in the last skeleton drawn.
    std::vector<cVQS> m_childSpace;
    std::vector<D3DXVECTOR3> m_joints;
    std::unordered_map<std::string_view, cFrame*> m_frameByName;
    // The skeleton's lines of the last Draw, kept so that drawing them
    // allocates nothing after the first frame.
    std::vector<Line> m_skeletonLines;
    // While reading: the latest tick rate met (0 before the first), which
    // the sets after it take, and how many of the last sets were read before
    // any rate, which take the file's first one.
    float m_ticksPerSecondRead = 0;
    size_t m_setsWithoutRate = 0;
};

}  // namespace Vorel
