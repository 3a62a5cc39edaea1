// The hierarchy loader on small hand-written files with known answers.
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <cstring>

#include "TestSupport.h"

namespace {

using namespace VorelTest;

// Keeps what the loader hands over, as an application's allocator would.
class Allocator : public ID3DXAllocateHierarchy {
public:
    HRESULT WINAPI CreateFrame(LPCSTR name, LPD3DXFRAME* frame) override {
        auto* f = new D3DXFRAME{};
        f->Name = name && *name ? strdup(name) : nullptr;
        *frame = f;
        return S_OK;
    }
    HRESULT WINAPI CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* data, const D3DXMATERIAL* materials,
                                       const D3DXEFFECTINSTANCE*, DWORD count, const DWORD* adjacency,
                                       LPD3DXSKININFO skin, LPD3DXMESHCONTAINER* out) override {
        auto* c = new D3DXMESHCONTAINER{};
        c->Name = name && *name ? strdup(name) : nullptr;
        c->MeshData = *data;
        data->pMesh->AddRef();
        c->NumMaterials = count;
        c->pMaterials = new D3DXMATERIAL[count];
        std::memcpy(c->pMaterials, materials, count * sizeof(D3DXMATERIAL));
        for (DWORD i = 0; i < count; ++i)
            if (materials[i].pTextureFilename)
                c->pMaterials[i].pTextureFilename = strdup(materials[i].pTextureFilename);
        const size_t n = size_t(data->pMesh->GetNumFaces()) * 3;
        c->pAdjacency = new DWORD[n];
        std::memcpy(c->pAdjacency, adjacency, n * sizeof(DWORD));
        c->pSkinInfo = skin;
        if (skin) skin->AddRef();
        *out = c;
        return S_OK;
    }
    HRESULT WINAPI DestroyFrame(LPD3DXFRAME frame) override {
        free(frame->Name);
        delete frame;
        ++frames;
        return S_OK;
    }
    HRESULT WINAPI DestroyMeshContainer(LPD3DXMESHCONTAINER c) override {
        free(c->Name);
        for (DWORD i = 0; i < c->NumMaterials; ++i)
            free(c->pMaterials[i].pTextureFilename);
        delete[] c->pMaterials;
        delete[] c->pAdjacency;
        c->MeshData.pMesh->Release();
        if (c->pSkinInfo) c->pSkinInfo->Release();
        delete c;
        ++containers;
        return S_OK;
    }
    int frames = 0, containers = 0;
};

class MeshLoaderTest : public ::testing::Test {
protected:
    // Loads the file; the root frame, or null.
    LPD3DXFRAME LoadFile(const std::string& path, HRESULT expected = S_OK) {
        EXPECT_EQ(D3DXLoadMeshHierarchyFromX(path.c_str(), D3DXMESH_MANAGED, nullptr, &m_allocator, nullptr,
                                             &m_root, &m_controller),
                  expected);
        return m_root;
    }
    LPD3DXFRAME LoadFixture(const std::string& name) {
        return LoadFile(std::string(VOREL_SOURCE_DIR) + "/tests/fixtures/mesh/" + name);
    }
    LPD3DXFRAME Load(const std::string& body, HRESULT expected = S_OK) {
        WriteFile(m_scratch.Path() / "model.x", "xof 0303txt 0032\n" + body);
        return LoadFile((m_scratch.Path() / "model.x").string(), expected);
    }
    void TearDown() override {
        if (m_root) {
            EXPECT_EQ(D3DXFrameDestroy(m_root, &m_allocator), S_OK);
        }
        if (m_controller) m_controller->Release();
    }
    LPD3DXMESH Mesh(LPD3DXFRAME frame) { return frame->pMeshContainer->MeshData.pMesh; }

    template <typename T>
    std::vector<T> Vertices(LPD3DXMESH mesh, size_t offset) {
        void* data = nullptr;
        mesh->LockVertexBuffer(D3DLOCK_READONLY, &data);
        std::vector<T> out(mesh->GetNumVertices());
        for (size_t i = 0; i < out.size(); ++i)
            std::memcpy(&out[i], static_cast<char*>(data) + i * mesh->GetNumBytesPerVertex() + offset,
                        sizeof(T));
        mesh->UnlockVertexBuffer();
        return out;
    }
    std::vector<DWORD> Attributes(LPD3DXMESH mesh) {
        DWORD* data = nullptr;
        mesh->LockAttributeBuffer(D3DLOCK_READONLY, &data);
        std::vector<DWORD> out(data, data + mesh->GetNumFaces());
        mesh->UnlockAttributeBuffer();
        return out;
    }

    ScratchFolder m_scratch;
    Allocator m_allocator;
    LPD3DXFRAME m_root = nullptr;
    LPD3DXANIMATIONCONTROLLER m_controller = nullptr;
};

TEST_F(MeshLoaderTest, PolygonsBecomeFansSortedByMaterial) {
    LPD3DXFRAME frame = LoadFixture("square-and-triangle.x");
    ASSERT_NE(frame, nullptr);
    EXPECT_STREQ(frame->Name, "F");
    LPD3DXMESH mesh = Mesh(frame);
    EXPECT_EQ(mesh->GetNumFaces(), 3u);
    EXPECT_EQ(mesh->GetNumVertices(), 5u);
    // The triangle (material 0) first, then the square's fan (0,1,2), (0,2,3).
    EXPECT_EQ(Corners(mesh), (std::vector<uint32_t>{3, 2, 4, 0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(Attributes(mesh), (std::vector<DWORD>{0, 1, 1}));
    const D3DXMESHCONTAINER* c = frame->pMeshContainer;
    ASSERT_EQ(c->NumMaterials, 2u);
    EXPECT_EQ(c->pMaterials[0].MatD3D.Diffuse.r, 1.0f) << "a referenced material";
    EXPECT_EQ(c->pMaterials[1].MatD3D.Diffuse.b, 1.0f) << "an inline material";
    EXPECT_EQ(c->pMaterials[0].pTextureFilename, nullptr);
    EXPECT_STREQ(c->pMaterials[1].pTextureFilename, "b.png");
    // The two triangles of the square are neighbours, and the square's
    // second triangle borders the lone triangle along the edge 2-3.
    EXPECT_EQ(c->pAdjacency[3 * 1 + 2], 2u);
    EXPECT_EQ(c->pAdjacency[3 * 2 + 1], 0u);
    EXPECT_EQ(c->pAdjacency[3 * 0 + 0], 2u);
}

TEST_F(MeshLoaderTest, APositionWithSeveralNormalsIsSplit) {
    // One corner of two faces that meet at a right angle, each with its own normal.
    LPD3DXFRAME frame = LoadFixture("split-normals.x");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->Name, nullptr) << "a mesh outside any frame gets an unnamed frame of its own";
    LPD3DXMESH mesh = Mesh(frame);
    EXPECT_EQ(mesh->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
    // Positions 0 and 1 are used with both normals: two copies more.
    ASSERT_EQ(mesh->GetNumVertices(), 6u);
    const auto positions = Vertices<D3DXVECTOR3>(mesh, 0);
    const auto normals = Vertices<D3DXVECTOR3>(mesh, 12);
    const auto us = Vertices<float>(mesh, 24);
    const auto indices = Corners(mesh);
    for (size_t corner = 0; corner < indices.size(); ++corner) {
        const uint32_t v = indices[corner];
        const D3DXVECTOR3 expected = corner < 3 ? D3DXVECTOR3(0, 0, -1) : D3DXVECTOR3(0, -1, 0);
        EXPECT_EQ(normals[v], expected) << "corner " << corner;
    }
    EXPECT_EQ(positions[4], positions[indices[3]]) << "a copy keeps its position";
    EXPECT_EQ(us[4], us[0]) << "and its texture coordinates";
}

TEST_F(MeshLoaderTest, SkinWeightsFollowEveryCopyAndBadEntriesAreSkipped) {
    CapturedDebugOutput out;
    LPD3DXFRAME frame = LoadFixture("skin-weights.x");
    ASSERT_NE(frame, nullptr);
    EXPECT_NE(out.Text().find("1 faces with indices out of range are skipped"), std::string::npos)
        << out.Text();
    EXPECT_NE(out.Text().find("1 weights name vertices past the 4 of the mesh"), std::string::npos)
        << out.Text();
    LPD3DXFRAME meshFrame = frame->pFrameSibling;
    ASSERT_NE(meshFrame, nullptr);
    LPD3DXSKININFO skin = meshFrame->pMeshContainer->pSkinInfo;
    ASSERT_NE(skin, nullptr);
    EXPECT_STREQ(skin->GetBoneName(0), "Bone");
    const auto influences = Influences(skin, 0);
    const auto positions = Vertices<D3DXVECTOR3>(Mesh(meshFrame), 0);
    // Position 0 has two vertices now; both carry its weight.
    int copiesOfZero = 0;
    for (const auto& [vertex, weight] : influences) {
        ASSERT_LT(vertex, positions.size());
        if (positions[vertex] == D3DXVECTOR3(0, 0, 0)) {
            EXPECT_EQ(weight, 0.25f);
            ++copiesOfZero;
        }
    }
    EXPECT_EQ(copiesOfZero, 2);
    EXPECT_EQ(influences.size(), 3u);
}

TEST_F(MeshLoaderTest, ColoursDeclDataAndAnimationSets) {
    LPD3DXFRAME frame = LoadFixture("colours-and-decldata.x");
    ASSERT_NE(frame, nullptr);
    LPD3DXMESH mesh = Mesh(frame);
    EXPECT_EQ(mesh->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1));
    const auto colours = Vertices<uint32_t>(mesh, 24);
    EXPECT_EQ(colours[2], 0xFFFF0000u) << "opaque red";
    EXPECT_EQ(colours[0], 0xFFFFFFFFu) << "white where no colour is given";
    EXPECT_EQ(Vertices<D3DXVECTOR3>(mesh, 12)[1], D3DXVECTOR3(0, 0, 1)) << "normals from DeclData";
    EXPECT_EQ(Vertices<float>(mesh, 28)[1], 1.0f) << "texture coordinates from DeclData";
    ASSERT_NE(m_controller, nullptr);
    EXPECT_EQ(m_controller->GetMaxNumAnimationSets(), 2u);
}

TEST_F(MeshLoaderTest, BoundingSphereHoldsEveryVertexInTheBindPose) {
    LPD3DXFRAME frame = LoadFixture("bounding-sphere.x");
    ASSERT_NE(frame, nullptr);
    D3DXVECTOR3 center;
    float radius = 0;
    ASSERT_EQ(D3DXFrameCalculateBoundingSphere(frame, &center, &radius), S_OK);
    for (const D3DXVECTOR3& p : {D3DXVECTOR3(-2, 10, 0), D3DXVECTOR3(2, 10, 0), D3DXVECTOR3(0, 12, 0)}) {
        const D3DXVECTOR3 d = p - center;
        EXPECT_LE(std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z), radius);
    }
    EXPECT_NEAR(center.y, 11.0f, 1e-5f);
}

TEST_F(MeshLoaderTest, FailuresAreReportedAndNothingLeaks) {
    CapturedDebugOutput out;
    EXPECT_EQ(Load("Material M { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }", D3DXERR_LOADEDMESHASNODATA), nullptr);
    EXPECT_EQ(Load("Frame {", D3DXFERR_PARSEERROR), nullptr);
    LPD3DXFRAME none = reinterpret_cast<LPD3DXFRAME>(1);
    EXPECT_EQ(
        D3DXLoadMeshHierarchyFromX("/no/such/file.x", 0, nullptr, &m_allocator, nullptr, &none, nullptr),
        D3DXFERR_FILENOTFOUND);
    EXPECT_EQ(none, nullptr);
    // A loaded tree is given back whole: every frame and container.
    ASSERT_NE(LoadFixture("square-and-triangle.x"), nullptr);
    ASSERT_EQ(D3DXFrameDestroy(m_root, &m_allocator), S_OK);
    m_root = nullptr;
    EXPECT_EQ(m_allocator.frames, 1);
    EXPECT_EQ(m_allocator.containers, 1);
}

// A mesh that many frames refer to is built once and handed to each, and
// what is wrong in it is reported once.
TEST_F(MeshLoaderTest, AMeshReferencedFromManyFramesIsBuiltOnce) {
    CapturedDebugOutput out;
    std::string body = "Mesh Shared { 3; 0;0;0;, 1;0;0;, 0;1;0;; 2; 3;0,1,2;, 3;0,1,7;; }\nFrame Root {\n";
    for (int i = 0; i < 1000; ++i)
        body += " Frame F" + std::to_string(i) + " { {Shared} }\n";
    ASSERT_NE(Load(body + "}\n"), nullptr);
    LPD3DXFRAME frame = m_root->pFrameSibling;  // the top-level meshes come first
    while (frame != nullptr && (frame->Name == nullptr || std::string(frame->Name) != "Root"))
        frame = frame->pFrameSibling;
    ASSERT_NE(frame, nullptr);
    int frames = 0;
    for (LPD3DXFRAME child = frame->pFrameFirstChild; child != nullptr;
         child = child->pFrameSibling, ++frames) {
        ASSERT_NE(child->pMeshContainer, nullptr);
        EXPECT_EQ(Mesh(child), Mesh(frame->pFrameFirstChild)) << child->Name;
    }
    EXPECT_EQ(frames, 1000);
    EXPECT_NE(out.Text().find("mesh Shared"), std::string::npos);
    EXPECT_EQ(out.Text().find("mesh Shared"), out.Text().rfind("mesh Shared")) << out.Text().substr(0, 400);
}

}  // namespace
