#include <d3dx9.h>
#include <gtest/gtest.h>
#include <rmxfguid.h>
#include <rmxftmpl.h>

#include <cmath>

#include "TestSupport.h"
#include "unit/Platform/XFileSupport.h"

namespace {

using namespace VorelTest;

template <class T>
T At(const void* payload, size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const char*>(payload) + offset, sizeof value);
    return value;
}

// The fixture, a body well past 64 KiB whose later compressed blocks refer
// back into earlier ones, and every real file.
TEST(XFileReader, EveryEncodingReadsBackToTheSameObjects) {
    std::string big = "xof 0303txt 0032\nMesh Big {\n 9000;\n";
    for (int i = 0; i < 9000; ++i)
        big += " " + std::to_string(i % 97) + ".25; " + std::to_string(i) + ".5; -1.0;" +
               (i < 8999 ? ",\n" : ";\n");
    std::vector<std::string> sources = {big + " 1;\n 3; 0, 1, 2;;\n}\n", ReadFixture("everything.x")};
    for (const auto& path : RealModelFiles())
        sources.push_back(ReadFile(path));
    CapturedDebugOutput quiet;  // real files have known warnings
    for (const std::string& text : sources) {
        Document original;
        ASSERT_EQ(Read(text, &original), S_OK);
        for (Format format : {Format::Text, Format::Binary, Format::TextCompressed, Format::BinaryCompressed})
            for (int floatSize : {32, 64}) {
                SCOPED_TRACE(std::to_string(int(format)) + " " + std::to_string(floatSize));
                const std::string file = WriteDocument(original, format, floatSize);
                EXPECT_EQ(file.substr(12, 4), floatSize == 64 ? "0064" : "0032");
                uint32_t total = 0;
                std::memcpy(&total, file.data() + 16, 4);
                const bool compressed = file.substr(8, 4).find("zip") != std::string::npos;
                EXPECT_TRUE(&text != &sources[0] || !compressed || total > 3u * 32768u)
                    << "blocks to refer back";
                Document copy;
                ASSERT_EQ(Read(file, &copy), S_OK);
                EXPECT_EQ(Dump(copy), Dump(original));
            }
    }
}

// The same objects through the ID3DXFile interface, from memory.
class XFileInterfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_text = ReadFixture("everything.x");
        ASSERT_EQ(D3DXFileCreate(&m_file), S_OK);
        ASSERT_EQ(m_file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES), S_OK);
        D3DXF_FILELOADMEMORY memory{m_text.data(), m_text.size()};
        ASSERT_EQ(m_file->CreateEnumObject(&memory, D3DXF_FILELOAD_FROMMEMORY, &m_enum), S_OK);
    }
    void TearDown() override {
        for (ID3DXFileData* data : m_held)
            if (data != nullptr) data->Release();
        if (m_enum) m_enum->Release();
        if (m_file) m_file->Release();
    }

    // The top-level object at index, released by the fixture.
    ID3DXFileData* Top(SIZE_T index) {
        ID3DXFileData* data = nullptr;
        EXPECT_EQ(m_enum->GetChild(index, &data), S_OK);
        m_held.push_back(data);
        return data;
    }
    ID3DXFileData* Child(ID3DXFileData* parent, SIZE_T index) {
        ID3DXFileData* data = nullptr;
        EXPECT_EQ(parent->GetChild(index, &data), S_OK);
        m_held.push_back(data);
        return data;
    }
    static std::string NameOf(ID3DXFileData* data) {
        SIZE_T size = 0;
        EXPECT_EQ(data->GetName(nullptr, &size), S_OK);
        std::string name(size, '\0');
        EXPECT_EQ(data->GetName(name.data(), &size), S_OK);
        return name.c_str();
    }
    static GUID TypeOf(ID3DXFileData* data) {
        GUID type{};
        EXPECT_EQ(data->GetType(&type), S_OK);
        return type;
    }

    std::string m_text;
    ID3DXFile* m_file = nullptr;
    ID3DXFileEnumObject* m_enum = nullptr;
    std::vector<ID3DXFileData*> m_held;
};

TEST_F(XFileInterfaceTest, NamesSizesAndTypes) {
    SIZE_T count = 0;
    ASSERT_EQ(m_enum->GetChildren(&count), S_OK);
    EXPECT_EQ(count, 7u);  // Header, AnimTicksPerSecond, Red, First, Root, Thing, Walk
    ID3DXFileData* header = Top(0);
    SIZE_T size = 99;
    EXPECT_EQ(header->GetName(nullptr, &size), S_OK);
    EXPECT_EQ(size, 1u) << "an unnamed object has just the terminating null";
    EXPECT_EQ(TypeOf(header), TID_D3DRMHeader);

    ID3DXFileData* red = Top(2);
    EXPECT_EQ(NameOf(red), "Red");
    char small[3];
    size = sizeof small;
    EXPECT_EQ(red->GetName(small, &size), D3DXFERR_BADVALUE) << "too small a buffer";
    ID3DXFileData* none = nullptr;
    EXPECT_EQ(m_enum->GetChild(7, &none), E_INVALIDARG);
    EXPECT_EQ(none, nullptr);
}

TEST_F(XFileInterfaceTest, PayloadIsPackedInDeclarationOrder) {
    ID3DXFileData* first = Top(3);
    GUID id{};
    ASSERT_EQ(first->GetId(&id), S_OK);
    EXPECT_EQ(Platform::XFile::FormatGuid(id), "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE");
    SIZE_T size = 0;
    const void* data = nullptr;
    ASSERT_EQ(first->Lock(&size, &data), S_OK);
    // WORD, SWORD, CHAR, UCHAR, DWORD, SDWORD, DOUBLE, 3 Vectors, 2x3 DWORDs, STRING.
    ASSERT_EQ(size, 2u + 2 + 1 + 1 + 4 + 4 + 8 + 36 + 24 + sizeof(char*));
    EXPECT_EQ(At<uint16_t>(data, 0), 65535);
    EXPECT_EQ(At<int16_t>(data, 2), -2);
    EXPECT_EQ(At<int8_t>(data, 4), -100);
    EXPECT_EQ(At<uint8_t>(data, 5), 200);
    EXPECT_EQ(At<uint32_t>(data, 6), 3u);
    EXPECT_EQ(At<int32_t>(data, 10), -70000);
    EXPECT_EQ(At<double>(data, 14), 0.125);
    EXPECT_EQ(At<float>(data, 22 + 12), -1.5f) << "the second Vector";
    EXPECT_EQ(At<float>(data, 22 + 16), 1e-7f);
    EXPECT_EQ(At<float>(data, 22 + 20), 3.4e38f);
    EXPECT_TRUE(std::signbit(At<float>(data, 22 + 28))) << "-0 keeps its sign";
    EXPECT_EQ(At<uint32_t>(data, 58 + 20), 4294967295u);
    EXPECT_STREQ(At<const char*>(data, 82), "first");
    EXPECT_EQ(first->Unlock(), S_OK);
}

TEST_F(XFileInterfaceTest, ReferencesComeBackAsTheirTargets) {
    ID3DXFileData* root = Top(4);
    ID3DXFileData* arm = Child(root, 1);
    ID3DXFileData* mesh = Child(arm, 1);
    ID3DXFileData* list = Child(mesh, 0);
    EXPECT_EQ(TypeOf(list), TID_D3DRMMeshMaterialList);
    ID3DXFileData* material = Child(list, 0);
    EXPECT_TRUE(material->IsReference());
    EXPECT_EQ(TypeOf(material), TID_D3DRMMaterial);
    EXPECT_EQ(NameOf(material), "Red");
    SIZE_T size = 0, redSize = 0;
    const void *data = nullptr, *redData = nullptr;
    material->Lock(&size, &data);
    Top(2)->Lock(&redSize, &redData);
    EXPECT_EQ(data, redData) << "the target's own payload";
    SIZE_T children = 0;
    material->GetChildren(&children);
    EXPECT_EQ(children, 1u) << "and its children (the texture file name)";

    // By GUID: the animation's second reference names First by its id.
    ID3DXFileData* animation = Child(Top(6), 0);
    EXPECT_EQ(NameOf(Child(animation, 0)), "Arm");
    ID3DXFileData* byGuid = Child(animation, 3);
    EXPECT_TRUE(byGuid->IsReference());
    EXPECT_EQ(NameOf(byGuid), "First");
}

TEST_F(XFileInterfaceTest, UndeclaredTemplatesKeepTheirValuesAndChildren) {
    ID3DXFileData* thing = Top(5);
    EXPECT_EQ(TypeOf(thing), GUID{});
    SIZE_T size = 0;
    const void* data = nullptr;
    thing->Lock(&size, &data);
    ASSERT_EQ(size, 8u + sizeof(char*));
    EXPECT_EQ(At<uint32_t>(data, 0), 1u);
    EXPECT_EQ(At<float>(data, 4), 2.5f);
    EXPECT_STREQ(At<const char*>(data, 8), "three");
    EXPECT_EQ(NameOf(Child(thing, 0)), "Nested");
}

TEST_F(XFileInterfaceTest, ObjectsOutliveTheirEnumerationsHandle) {
    ID3DXFileData* red = Top(2);
    m_enum->Release();
    m_enum = nullptr;
    m_file->Release();
    m_file = nullptr;
    EXPECT_EQ(NameOf(red), "Red") << "a data object holds the document";
}

// Spellings real writers use, each read to the same three floats.
TEST(XFileReader, TextVariantsOfRealWriters) {
    const struct {
        const char* what;
        const char* body;
    } cases[] = {{"strict", "Vector V { 1.0; -2.5; 3.0; }"},
                 {"commas between members", "Vector V { 1.0, -2.5, 3.0;; }"},
                 {"no separators", "Vector V { 1.0 -2.5 3.0 }"},
                 {"doubled separators", "Vector V { 1.0;; -2.5;; 3.0;;; }"},
                 {"integers for floats and a plus sign", "Vector V { +1; -2.5; 3; }"},
                 {"CRLF and comments",
                  "# a comment\r\nVector V { // after the brace\r\n 1.0;\r\n-2.5;\r\n 3.0; }\r\n"},
                 {"tabs", "Vector\tV\t{\t1.0;\t-2.5;\t3.0;\t}"},
                 {"identifier in another case", "VECTOR V { 1.0; -2.5; 3.0; }"},
                 {"exponents", "Vector V { 1e0; -25e-1; 0.3E1; }"}};
    for (const auto& c : cases) {
        Document document;
        ASSERT_EQ(Read(std::string("xof 0303txt 0032\n") + c.body, &document), S_OK) << c.what;
        ASSERT_EQ(document.top.size(), 1u) << c.what;
        const float v[3] = {1.0f, -2.5f, 3.0f};
        const auto* bytes = reinterpret_cast<const uint8_t*>(v);
        EXPECT_EQ(document.top[0]->payload, Bytes(bytes, bytes + sizeof v)) << c.what;
    }
}

// The first value of an array is read as a token and the rest in one run:
// every spelling must come out the same both ways, bit for bit, or go on
// to the same failure.
TEST(XFileReader, EveryValueOfAnArrayReadsAsTheFirstDoes) {
    const char* templates =
        "xof 0303txt 0032\n"
        "template F { <11111111-0000-0000-0000-000000000001> DWORD n; array FLOAT v[n]; }\n"
        "template D { <11111111-0000-0000-0000-000000000002> DWORD n; array DOUBLE v[n]; }\n"
        "template W { <11111111-0000-0000-0000-000000000003> DWORD n; array DWORD v[n]; }\n";
    // Separated by '|': some hold a space.
    const std::string spellings =
        "0.800000|-0|-0.0|0|1e5|1E-5|1.5e+3|12345678901234567|0.1234567890123456789|0.9007199254740993|"
        "8.589973e9|2.2250738585072011e-308|7.3177701707893310e15|1e-40|3.4028235e38|3.5e38|-1e39|1e400|"
        "-1e400|1e-400|.5|5.|-.25|1.#QNAN0|-1.#IND00|1.#INF00|-1.#INF00|nan|INF|+1|0000001|4294967296|-5|1e3|"
        "3.7|-2147483648|99999999999999999999|1e|1-2|- 1|0x10";
    for (const char* type : {"F", "D", "W"}) {
        const size_t width = std::string(type) == "D" ? 8 : 4;
        for (size_t at = 0, end = 0; end != std::string::npos; at = end + 1) {
            end = spellings.find('|', at);
            const std::string x = spellings.substr(at, end == std::string::npos ? end : end - at);
            Document document;
            CapturedDebugOutput quiet;  // fractions where integers belong are warned of
            const HRESULT hr = Read(
                std::string(templates) + type + " A { 3; " + x + ",\n" + x + "; " + x + "; }\n", &document);
            Document scalar;  // the same value alone, as a token
            const HRESULT alone = Read(std::string(templates) + type + " A { 1; " + x + "; }\n", &scalar);
            SCOPED_TRACE(std::string(type) + " " + x);
            ASSERT_EQ(hr, alone);
            if (FAILED(hr)) continue;
            const Bytes& p = document.top[0]->payload;
            ASSERT_EQ(p.size(), 4 + 3 * width);
            EXPECT_EQ(std::memcmp(p.data() + 4, scalar.top[0]->payload.data() + 4, width), 0);
            EXPECT_EQ(std::memcmp(p.data() + 4, p.data() + 4 + width, width), 0);
            EXPECT_EQ(std::memcmp(p.data() + 4, p.data() + 4 + 2 * width, width), 0);
        }
    }
}

// Faces are read run by run where they are plain; every other spelling, and
// every list that splits a face, goes through the tokens to the same
// payload.
TEST(XFileReader, FacesReadTheSameHoweverTheyAreWritten) {
    const std::string head = "xof 0303txt 0032\nMesh M { 4; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;;\n";
    const char* faces[] = {
        "2; 3;0,1,2;, 3;0,2,3;; }",
        "2;\n 3; 0, 1, 2;,\n // the second\n 3; 0, 2, 3;;\n}",
        "2; 3 0 1 2 3 0 2 3 }",
        "2; 3;0,1,2.0;, 3;0,2,+3;; }",
        "2; 3;0,1,2;, # a comment\n3;0,2,3;; }",
    };
    Document plain;
    ASSERT_EQ(Read(head + faces[0], &plain), S_OK);
    CapturedDebugOutput quiet;  // the fraction is warned of
    for (const char* f : faces) {
        Document document;
        ASSERT_EQ(Read(head + f, &document), S_OK) << f;
        EXPECT_EQ(Dump(document), Dump(plain)) << f;
    }
    // In binary: all in one list, a list per face, counts and indices apart.
    for (int split = 0; split < 3; ++split) {
        BinaryFile file("xof 0303bin 0032");
        file.Name("Mesh").Word(10).Integers({4}).Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
        if (split == 0) file.Integers({2, 3, 0, 1, 2, 3, 0, 2, 3});
        if (split == 1) file.Integers({2}).Integers({3, 0, 1, 2}).Integers({3, 0, 2, 3});
        if (split == 2) file.Integers({2, 3}).Integers({0, 1, 2, 3}).Integers({0, 2, 3});
        file.Word(11);
        Document document;
        ASSERT_EQ(Read(file.bytes, &document), S_OK) << split;
        ASSERT_EQ(document.top.size(), 1u);
        EXPECT_EQ(document.top[0]->payload, plain.top[0]->payload) << split;
    }
}

TEST(XFileReader, TextDetailsOfRealFiles) {
    Document document;
    const char* text =
        "xof 0302txt 0064\n"
        "template Custom { <3cf169ce-ff7c-44ab-93c0-f78f62d172e3> DWORD n; array DWORD v[n]; }\n"
        "Material Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;;\n"
        "  TextureFileName { \"C:\\\\tex\\\\wood.bmp\"; } }\n"
        "Custom W-ForeLeg_R_05 { 0; ; }\n"
        "Custom Big { 2; 3031830834, 7; }\n"
        "Frame 1stFrame { { Material } }\n";
    ASSERT_EQ(Read(text, &document), S_OK);
    ASSERT_EQ(document.top.size(), 4u);
    EXPECT_EQ(document.top[0]->name, "Material") << "a name that is also a template name";
    const Node* texture = document.top[0]->children[0].node;
    EXPECT_EQ(texture->TypeGuid(), TID_D3DRMTextureFilename) << "TextureFileName";
    EXPECT_EQ(texture->strings[0], "C:\\tex\\wood.bmp") << "doubled backslashes are single";
    EXPECT_EQ(document.top[1]->name, "W-ForeLeg_R_05");
    uint32_t big = 0;
    std::memcpy(&big, document.top[2]->payload.data() + 4, 4);
    EXPECT_EQ(big, 3031830834u) << "DWORDs above 2^31";
    EXPECT_EQ(document.top[3]->name, "1stFrame");
    EXPECT_TRUE(document.top[3]->children[0].reference);
}

// Binary names may hold what ends a word in text (3ds Max's "Bip01 L
// Hand"): written as text, such a name keeps a form that reads back, the
// same for the frame and the reference to it.
TEST(XFileReader, NamesOfBinaryFilesWrittenAsTextReadBack) {
    BinaryFile file("xof 0303bin 0032");
    file.Name("Frame").Name("Bip01 L{Hand}").Word(10).Word(11);
    file.Name("Animation").Word(10).Word(10).Name("Bip01 L{Hand}").Word(11).Word(11);
    Document binary, text;
    ASSERT_EQ(Read(file.bytes, &binary), S_OK);
    ASSERT_EQ(Read(WriteDocument(binary, Format::Text, 32), &text), S_OK);
    ASSERT_EQ(text.top.size(), 2u);
    EXPECT_EQ(text.top[0]->name, "Bip01_L_Hand_");
    ASSERT_EQ(text.top[1]->children.size(), 1u);
    EXPECT_EQ(text.top[1]->children[0].node, text.top[0]);
}

}  // namespace
