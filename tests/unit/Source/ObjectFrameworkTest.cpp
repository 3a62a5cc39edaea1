#include <gtest/gtest.h>

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

TEST_F(PoolTest, ChunksOfTenFromTheHighestAddressDownGivenBackLastInFirstOut) {
    std::vector<char*> blocks;
    for (int i = 0; i < 10; ++i)
        blocks.push_back(static_cast<char*>(m_memory->Allocate(40)));
    const cMemoryPool* pool = m_memory->GetPool(40);
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool->GetChunkCount(), 1);
    EXPECT_EQ(pool->GetFreeCount(), 0);
    EXPECT_EQ(pool->GetBlockSize(), 48u) << "40 rounded up so that every block is aligned for any type";
    for (size_t i = 1; i < blocks.size(); ++i)
        EXPECT_EQ(blocks[i - 1] - blocks[i], 48);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(blocks[0]) % alignof(std::max_align_t), 0u);
    m_memory->Allocate(40);  // the eleventh
    EXPECT_EQ(pool->GetChunkCount(), 2);
    EXPECT_EQ(pool->GetFreeCount(), 9);

    m_memory->Deallocate(40, blocks[3]);
    EXPECT_EQ(m_memory->Allocate(40), blocks[3]) << "the block just given back";
    for (char* b : blocks)
        m_memory->Deallocate(40, b);
    EXPECT_EQ(m_memory->GetBytesInUse(), 40u) << "bytes asked for, not blocks";
    EXPECT_EQ(m_memory->GetPeakBytes(), 11u * 40) << "the peak stays";
    EXPECT_EQ(m_memory->GetAllocationCount(), 12);
    EXPECT_EQ(m_memory->GetDeallocationCount(), 11);
    char unrelated[32];
    m_memory->Deallocate(32, unrelated);  // no pool of that size: ignored
    EXPECT_EQ(m_memory->GetDeallocationCount(), 11);
}

// ----------------------------------------------------- objects and files ---

// A fresh framework in a scratch folder holding the object files of
// tests/fixtures/objects.
class ObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_scratch.Path() / "Assets" / "XML");
        fs::copy(fs::path(VOREL_SOURCE_DIR) / "tests" / "fixtures" / "objects",
                 m_scratch.Path() / "Assets" / "XML" / "Objects");
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
    static cObjectGroup* Group(int32_t id) { return cObjectManager::Instance()->GetGroup(id); }

    KeepCurrentDirectory m_keep;
    ScratchFolder m_scratch;
};

TEST_F(ObjectTest, ArchetypesAndInstancesWithTheirOwnCopies) {
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

TEST_F(ObjectTest, ObjectFileDetails) {
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
    cObject* bare = Group(1)->CreateObject("Bare");
    EXPECT_TRUE(bare->m_attributes.empty());
    EXPECT_TRUE(bare->m_components.empty());
}

TEST_F(ObjectTest, AnUnreadableObjectFileGivesAnEmptyArchetype) {
    // A UTF-8 sequence cut off at the end, which TinyXML would read past
    // (found by fuzzing), and a file that is not text at all.
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

}  // namespace
