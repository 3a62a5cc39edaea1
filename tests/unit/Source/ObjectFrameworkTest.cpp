#include <gtest/gtest.h>

#include <fstream>

#include "Singletons.h"
#include "TestSupport.h"
#include "cApplication.h"
#include "cCameraCom.h"
#include "cFactoryManager.h"
#include "cGraphics3DCom.h"
#include "cGraphicsManager.h"
#include "cMemoryManager.h"
#include "cModelAttr.h"
#include "cObjectManager.h"
#include "cOrientationAttr.h"
#include "cPositionAttr.h"
#include "cRotationAttr.h"

namespace {

using namespace VorelTest;
using namespace Vorel;
namespace fs = std::filesystem;

// ---------------------------------------------------------------- pools ---

class PoolTest : public ::testing::Test {
protected:
    void TearDown() override { cMemoryManager::Destroy(); }
    cMemoryManager* m_memory = cMemoryManager::Instance();
};

TEST_F(PoolTest, ChunksOfTenHandedOutFromTheHighestAddressDown) {
    std::vector<char*> blocks;
    for (int i = 0; i < 10; ++i)
        blocks.push_back(static_cast<char*>(m_memory->Allocate(40)));
    const cMemoryPool* pool = m_memory->GetPool(40);
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(m_memory->GetPoolCount(), 1);
    EXPECT_EQ(pool->GetChunkCount(), 1);
    EXPECT_EQ(pool->GetInUse(), 10);
    EXPECT_EQ(pool->GetFreeCount(), 0);
    const ptrdiff_t step = static_cast<ptrdiff_t>(pool->GetBlockSize());
    EXPECT_EQ(step, 48) << "40 rounded up so that every block is aligned for any type";
    for (size_t i = 1; i < blocks.size(); ++i)
        EXPECT_EQ(blocks[i - 1] - blocks[i], step);
    for (char* b : blocks)
        EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % alignof(std::max_align_t), 0u);

    m_memory->Allocate(40);  // the eleventh
    EXPECT_EQ(pool->GetChunkCount(), 2);
    EXPECT_EQ(pool->GetFreeCount(), 9);
    EXPECT_EQ(pool->GetInUse() + pool->GetFreeCount(), pool->GetChunkCount() * 10);
}

TEST_F(PoolTest, GivenBackLastInFirstOutWithCountersAndPeak) {
    void* a = m_memory->Allocate(64);
    void* b = m_memory->Allocate(64);
    EXPECT_EQ(m_memory->GetBytesInUse(), 128u);
    m_memory->Deallocate(64, a);
    EXPECT_EQ(m_memory->Allocate(64), a) << "the block just given back";
    m_memory->Deallocate(64, a);
    m_memory->Deallocate(64, b);
    EXPECT_EQ(m_memory->GetBytesInUse(), 0u);
    EXPECT_EQ(m_memory->GetPeakBytes(), 128u) << "the peak stays";
    EXPECT_EQ(m_memory->GetAllocationCount(), 3);
    EXPECT_EQ(m_memory->GetDeallocationCount(), 3);

    char unrelated[32];
    m_memory->Deallocate(32, unrelated);  // no pool of that size: ignored
    EXPECT_EQ(m_memory->GetDeallocationCount(), 3);
    EXPECT_EQ(m_memory->GetPool(32), nullptr);
}

// Two classes of one size, each pooled by its size.
struct Tagged : cAttribute {
    cAttribute* Clone() const override { return new Tagged(*this); }
    int32_t tag = 0;
};
struct Weighed : cAttribute {
    cAttribute* Clone() const override { return new Weighed(*this); }
    float weight = 0;
};

TEST_F(PoolTest, ClassesOfOneSizeShareAPoolAndDeleteGivesTheDynamicSize) {
    static_assert(sizeof(Tagged) == sizeof(Weighed));
    cAttribute* tagged = new Tagged();
    cAttribute* weighed = new Weighed();
    EXPECT_EQ(m_memory->GetPoolCount(), 1) << "one pool for both";
    EXPECT_EQ(m_memory->GetPool(sizeof(Tagged))->GetInUse(), 2);
    delete tagged;
    delete weighed;
    EXPECT_EQ(m_memory->GetPool(sizeof(Tagged))->GetInUse(), 0);

    static_assert(sizeof(cPositionAttr) != sizeof(cModelAttr));
    cAttribute* position = new cPositionAttr();
    cAttribute* model = new cModelAttr();
    EXPECT_EQ(m_memory->GetPool(sizeof(cPositionAttr))->GetInUse(), 1);
    EXPECT_EQ(m_memory->GetPool(sizeof(cModelAttr))->GetInUse(), 1);
    delete position;  // through the base
    delete model;
    EXPECT_EQ(m_memory->GetPool(sizeof(cPositionAttr))->GetInUse(), 0);
    EXPECT_EQ(m_memory->GetPool(sizeof(cModelAttr))->GetInUse(), 0);
    EXPECT_EQ(m_memory->GetBytesInUse(), 0u);
}

// ----------------------------------------------------- objects and files ---

// A fresh framework in a scratch folder holding the object files given.
class ObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_scratch.Path() / "Assets" / "XML" / "Objects");
        fs::current_path(m_scratch.Path());
        cMemoryManager::Create();
        cObjectManager::Create();
        cFactoryManager::Create();
        ASSERT_TRUE(cGraphicsManager::Instance()->Init());
    }
    void TearDown() override {
        cGraphicsManager::Destroy();
        cObjectManager::Destroy();
        cFactoryManager::Destroy();
        EXPECT_EQ(cMemoryManager::Instance()->GetBytesInUse(), 0u) << "every block given back";
        cMemoryManager::Destroy();
    }
    void Write(const std::string& name, const std::string& xml) {
        std::ofstream(m_scratch.Path() / "Assets" / "XML" / "Objects" / (name + ".xml")) << xml;
    }
    static cObjectGroup* Group(int32_t id) { return cObjectManager::Instance()->GetGroup(id); }

    KeepCurrentDirectory m_keep;
    ScratchFolder m_scratch;
};

const char* kModelObject = R"(<Object>
  <Component type="Graphics3D" />
  <Attribute type="Position" x="1" y="2" z="3" />
  <Attribute type="Rotation" />
  <Attribute type="Model"><Mesh scale="2.5">bear.x</Mesh></Attribute>
</Object>)";

TEST_F(ObjectTest, ArchetypesAndInstancesWithTheirOwnCopies) {
    Write("Bear", kModelObject);
    cObject* bear = Group(2)->CreateObject("Bear");
    const cObject* archetype = Group(2)->GetArchetypes().at("Bear");
    EXPECT_TRUE(archetype->m_isArchetype);
    EXPECT_FALSE(bear->m_isArchetype);
    EXPECT_EQ(bear->m_name, "Bear");

    auto* position = static_cast<cPositionAttr*>(bear->GetAttribute("Position"));
    ASSERT_NE(position, nullptr);
    EXPECT_EQ(position->m_position, D3DXVECTOR3(1, 2, 3));
    EXPECT_NE(position, archetype->GetAttribute("Position")) << "an instance has its own copies";
    auto* model = static_cast<cModelAttr*>(bear->GetAttribute("Model"));
    EXPECT_EQ(model->m_meshFile, "bear.x");
    EXPECT_EQ(model->m_scale, 2.5f);
    EXPECT_EQ(static_cast<cRotationAttr*>(bear->GetAttribute("Rotation"))->m_rotation[1][1], 1.0f);

    // A component element before the attributes still binds to all of them.
    const auto* archetypeComponent =
        static_cast<Graphics::cGraphics3DCom*>(archetype->GetComponent(kGraphics3DComponent));
    ASSERT_NE(archetypeComponent, nullptr);
    EXPECT_TRUE(archetypeComponent->m_isArchetype);
    EXPECT_EQ(archetypeComponent->m_modelAttr, archetype->GetAttribute("Model"));
    const auto* component = static_cast<Graphics::cGraphics3DCom*>(bear->GetComponent(kGraphics3DComponent));
    ASSERT_NE(component, nullptr);
    EXPECT_FALSE(component->m_isArchetype);
    EXPECT_EQ(component->m_type, kGraphics3DComponent);
    EXPECT_EQ(component->m_positionAttr, position) << "bound to the instance's own attributes";
    EXPECT_EQ(cGraphicsManager::Instance()->GetGraphics3DFactory()->GetComponents().size(), 2u);
}

TEST_F(ObjectTest, IdsRunAcrossGroupsAndArchetypesAreLoadedOnce) {
    Write("TestCamera", "<Object><Attribute type=\"Position\" /><Component type=\"Camera\" /></Object>");
    Write("TestObject", kModelObject);
    EXPECT_EQ(Group(1)->CreateObject("TestCamera")->m_id, 1);
    EXPECT_EQ(Group(2)->CreateObject("TestObject")->m_id, 3);
    EXPECT_EQ(Group(1)->GetArchetypes().at("TestCamera")->m_id, 0);
    EXPECT_EQ(Group(2)->GetArchetypes().at("TestObject")->m_id, 2);
    fs::remove(m_scratch.Path() / "Assets" / "XML" / "Objects" / "TestObject.xml");
    cObject* again = Group(2)->CreateObject("TestObject");
    EXPECT_EQ(again->m_id, 4) << "no id reused";
    EXPECT_NE(again->GetAttribute("Model"), nullptr) << "the archetype is not read again";
    EXPECT_EQ(Group(7), Group(7));
    EXPECT_TRUE(Group(7)->GetObjects().empty());
}

TEST_F(ObjectTest, RemovalsWaitForTheQueueToBeProcessed) {
    Write("Bear", kModelObject);
    cObjectGroup* group = Group(2);
    const int32_t first = group->CreateObject("Bear")->m_id;
    group->CreateObject("Bear");
    group->RemoveAllObjects();
    group->RemoveAllObjects();  // queued twice, destroyed once
    EXPECT_EQ(group->GetObjects().size(), 2u) << "still there until processed";
    group->ProcessRemovals();
    EXPECT_TRUE(group->GetObjects().empty());
    EXPECT_EQ(group->GetArchetypes().size(), 1u) << "archetypes stay";
    EXPECT_EQ(cGraphicsManager::Instance()->GetGraphics3DFactory()->GetComponents().count(
                  static_cast<uint32_t>(first)),
              0u);
    group->ProcessRemovals();  // nothing queued: nothing happens
}

// Records the order in which an object gives back its parts.
std::vector<std::string> g_destroyed;

class RecordingFactory : public cBaseComponentFactory {
public:
    explicit RecordingFactory(std::string name) : m_name(std::move(name)) {}
    ~RecordingFactory() override { g_destroyed.push_back("factory of " + m_name); }
    void DestroyComponent(uint32_t) override { g_destroyed.push_back(m_name); }

private:
    std::string m_name;
};

class RecordingAttr : public cAttribute {
public:
    explicit RecordingAttr(std::string name) { m_type = std::move(name); }
    ~RecordingAttr() override { g_destroyed.push_back(m_type); }
    cAttribute* Clone() const override { return new RecordingAttr(m_type); }
};

TEST(ObjectDestruction, ComponentsByTypeIdThenAttributesByName) {
    cMemoryManager::Create();
    cFactoryManager* registry = cFactoryManager::Instance();
    registry->RegisterFactory(3, new RecordingFactory("camera component"));
    registry->RegisterFactory(1, new RecordingFactory("graphics component"));
    auto* second = new RecordingFactory("second under 1");
    EXPECT_FALSE(registry->RegisterFactory(1, second)) << "the first stays";
    delete second;
    g_destroyed.clear();
    auto* object = new cObject();
    cComponent dummy;
    object->AddComponent(3, &dummy);
    object->AddComponent(1, &dummy);
    for (const char* name : {"Rotation", "Model", "Position", "Orientation"})
        object->AddAttribute(name, new RecordingAttr(name));
    object->AddAttribute("Model", new RecordingAttr("second Model"));  // destroyed at once: the first stays
    delete object;
    EXPECT_EQ(g_destroyed, (std::vector<std::string>{"second Model", "graphics component", "camera component",
                                                     "Model", "Orientation", "Position", "Rotation"}));
    EXPECT_EQ(cMemoryManager::Instance()->GetBytesInUse(), 0u);
    registry->RegisterFactory(2, new RecordingFactory("lighting component"));
    g_destroyed.clear();
    cFactoryManager::Destroy();
    EXPECT_EQ(g_destroyed,
              (std::vector<std::string>{"factory of graphics component", "factory of lighting component",
                                        "factory of camera component"}))
        << "in ascending type id";
    cMemoryManager::Destroy();
}

TEST_F(ObjectTest, ObjectFileDetails) {
    Write("Odd", R"(<?xml version="1.0"?>
<Object>
  <Thing type="Rotation" />
  <Attribute type="Position" x="abc" y="2.5kg" />
  <Attribute type="Position" x="9" y="9" z="9" />
  <Attribute />
  <Attribute type="Sound" />
  <Component type="Position" x="7" />
  <Attribute type="Model"><Mesh>rock.x</Mesh></Attribute>
  <Attribute type="Orientation"><View x="0" y="0" z="1" /></Attribute>
  <Component type="Graphics3D" />
  <Component type="Graphics3D" />
  <Component type="Lighting" />
  <Component />
</Object>)");
    cObject* odd = Group(1)->CreateObject("Odd");
    auto* position = static_cast<cPositionAttr*>(odd->GetAttribute("Position"));
    ASSERT_NE(position, nullptr);
    EXPECT_EQ(position->m_position, D3DXVECTOR3(0, 2.5f, 0))
        << "not a number: 0; a number then letters: the number; "
           "missing: 0; a second Position: ignored";
    EXPECT_EQ(odd->GetAttribute("Rotation"), nullptr) << "before the first Attribute element: not visited";
    EXPECT_EQ(static_cast<cModelAttr*>(odd->GetAttribute("Model"))->m_scale, 0.0f) << "no scale: 0";
    auto* orientation = static_cast<cOrientationAttr*>(odd->GetAttribute("Orientation"));
    EXPECT_EQ(orientation->m_view, D3DXVECTOR3(0, 0, 1));
    EXPECT_EQ(orientation->m_up, D3DXVECTOR3(0, 0, 0)) << "no Up element: the default";
    EXPECT_EQ(odd->m_attributes.size(), 3u);
    EXPECT_EQ(odd->m_components.size(), 1u);

    // A component of a type that is no component, on an object without the
    // attribute of that name: neither is made.
    Write("Bare", R"(<Object><Component type="Position" x="1" /></Object>)");
    cObject* bare = Group(1)->CreateObject("Bare");
    EXPECT_TRUE(bare->m_attributes.empty());
    EXPECT_TRUE(bare->m_components.empty());
}

TEST_F(ObjectTest, AnUnreadableObjectFileGivesAnEmptyArchetype) {
    Write("Broken", "<Object><Attribute type=\"Position\"");
    Write("Rootless", "<Thing><Attribute type=\"Position\" x=\"1\" /></Thing>");
    // A UTF-8 sequence cut off at the end, which TinyXML would read past
    // (found by fuzzing), and a file that is not text at all.
    Write("CutShort", "<Object><Attribute ty\xF0");
    Write("Binary", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    for (const char* name : {"Missing", "Broken", "Rootless", "CutShort", "Binary"}) {
        SCOPED_TRACE(name);
        CapturedDebugOutput out;
        cObject* object = Group(1)->CreateObject(name);
        EXPECT_TRUE(object->m_attributes.empty());
        EXPECT_TRUE(object->m_components.empty());
        EXPECT_NE(out.Text().find(std::string("Assets/XML/Objects/") + name + ".xml"), std::string::npos)
            << out.Text();
        EXPECT_EQ(std::count(out.Text().begin(), out.Text().end(), '\n'), 1) << out.Text();
    }
}

TEST_F(ObjectTest, AThousandCyclesGiveEveryBlockBack) {
    Write("TestCamera",
          "<Object><Attribute type=\"Position\" /><Attribute type=\"Orientation\"><Up /><View /></Attribute>"
          "<Component type=\"Camera\" /></Object>");
    Write("TestObject", kModelObject);
    cMemoryManager* memory = cMemoryManager::Instance();
    const auto cycle = [] {
        Group(1)->CreateObject("TestCamera");
        Group(2)->CreateObject("TestObject");
        for (int group : {1, 2}) {
            Group(group)->RemoveAllObjects();
            Group(group)->ProcessRemovals();
        }
    };
    cycle();  // loads the archetypes, which stay
    const uint32_t archetypesOnly = memory->GetBytesInUse();
    for (int i = 0; i < 1000; ++i)
        cycle();
    EXPECT_EQ(memory->GetBytesInUse(), archetypesOnly);
    EXPECT_EQ(memory->GetPool(sizeof(cObject))->GetChunkCount(), 1) << "blocks are reused, not piled up";
    // What stays is the two archetypes: object, attributes and component each.
    EXPECT_EQ(memory->GetAllocationCount() - memory->GetDeallocationCount(), (1 + 2 + 1) + (1 + 3 + 1));
}

// The viewer's own object files.
TEST(ObjectAssets, TheCameraAndTheModelObject) {
    KeepCurrentDirectory keep;
    fs::current_path(VOREL_SOURCE_DIR);
    cMemoryManager::Create();
    ASSERT_TRUE(cGraphicsManager::Instance()->Init());
    cObject* camera = cObjectManager::Instance()->GetGroup(1)->CreateObject("TestCamera");
    const auto* cameraCom = static_cast<Graphics::cCameraCom*>(camera->GetComponent(kCameraComponent));
    ASSERT_NE(cameraCom, nullptr);
    ASSERT_NE(cameraCom->m_positionAttr, nullptr);
    ASSERT_NE(cameraCom->m_orientationAttr, nullptr);
    EXPECT_EQ(cameraCom->m_orientationAttr->m_view, D3DXVECTOR3(0, 0, 1));
    cObject* model = cObjectManager::Instance()->GetGroup(2)->CreateObject("TestObject");
    const auto* graphics = static_cast<Graphics::cGraphics3DCom*>(model->GetComponent(kGraphics3DComponent));
    ASSERT_NE(graphics, nullptr);
    ASSERT_NE(graphics->m_modelAttr, nullptr);
    ASSERT_NE(graphics->m_positionAttr, nullptr);
    ASSERT_NE(graphics->m_rotationAttr, nullptr);
    EXPECT_EQ(graphics->m_modelAttr->m_scale, 1.0f) << "models at their natural size";
    cGraphicsManager::Destroy();
    cObjectManager::Destroy();
    cFactoryManager::Destroy();
    EXPECT_EQ(cMemoryManager::Instance()->GetBytesInUse(), 0u);
    cMemoryManager::Destroy();
}

// Shutdown destroys the objects while their factories and pools still
// exist: in the wrong order the objects' last steps would touch freed
// memory, which the sanitizer builds report.
TEST(Shutdown, ObjectsGoBeforeTheirFactoriesAndPools) {
    KeepCurrentDirectory keep;
    fs::current_path(VOREL_SOURCE_DIR);
    CreateSingletons();
    ASSERT_TRUE(cApplication::Instance()->Init());
    cObjectManager::Instance()->GetGroup(1)->CreateObject("TestCamera");
    cObjectManager::Instance()->GetGroup(2)->CreateObject("TestObject");
    DestroySingletons();
    EXPECT_EQ(cMemoryManager::Instance()->GetBytesInUse(), 0u) << "a fresh manager after shutdown";
    cMemoryManager::Destroy();
}

}  // namespace
