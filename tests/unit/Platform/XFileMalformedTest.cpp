// Broken and hostile files: each fails with an HRESULT and one trace line
// saying where and what was expected, or reads with what can be read; none
// crashes or reads outside its input (these run under the sanitizers).
#include <d3dx9xof.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "TestSupport.h"
#include "fixtures/OddShapes.h"
#include "unit/Platform/XFileSupport.h"

namespace {

using namespace VorelTest;

std::string Compressed(const std::string& header, uint32_t total, uint16_t usize, uint16_t csize,
                       const std::string& signature, const std::string& data) {
    return BinaryFile(header).Dword(total).Word(usize).Word(csize).bytes + signature + data;
}

// A failure is said in one trace line that says where (after any warnings,
// which say where too).
void ExpectOneLocatedMessage(const std::string& said) {
    size_t failures = 0;
    for (size_t at = 0, end; at < said.size(); at = end + 1) {
        end = said.find('\n', at);
        ASSERT_NE(end, std::string::npos) << "a line cut short: " << said;
        const std::string line = said.substr(at, end - at);
        EXPECT_EQ(line.rfind("(memory): ", 0), 0u) << line;
        EXPECT_TRUE(line.find(": line ") != std::string::npos || line.find(": byte ") != std::string::npos ||
                    line.find("does not begin with") != std::string::npos)
            << line;
        failures += line.find(": warning: ") == std::string::npos;
    }
    EXPECT_EQ(failures, 1u) << said;
}

TEST(XFileMalformed, FailsCleanlySayingWhereAndWhat) {
    const std::string binaryListTooLong =
        BinaryFile("xof 0303bin 0032").Name("Vector").Word(10).Word(7).Dword(0x40000000).bytes;
    const std::string binaryNameTooLong = BinaryFile("xof 0303bin 0032").Word(1).Dword(0xFFFFFFFF).bytes;
    const std::string binaryZeroToken = BinaryFile("xof 0303bin 0032").Word(0).bytes;
    std::string deep = "xof 0303txt 0032\n";
    for (int i = 0; i < 100000; ++i)
        deep += "Frame{";

    const struct {
        const char* what;
        std::string file;
        HRESULT hr;
        const char* message;
    } cases[] = {
        {"empty", "", D3DXFERR_BADFILETYPE, "does not begin with"},
        {"not a .x file", "PK\x03\x04 something else entirely", D3DXFERR_BADFILETYPE, "does not begin with"},
        {"unknown encoding", "xof 0303abc 0032", D3DXFERR_BADFILETYPE, "byte 8"},
        {"unknown float size", "xof 0303txt 0016", D3DXFERR_BADFILEFLOATSIZE, "byte 12"},
        {"unclosed object", "xof 0303txt 0032\nFrame A {\n Frame B {\n }\n", D3DXFERR_PARSEERROR,
         "line 5: expected '}' to close Frame (opened at line 2)"},
        {"stray closing brace", "xof 0303txt 0032\n}\n", D3DXFERR_PARSEERROR,
         "line 2: expected a template or a data object"},
        {"stray brace after values on many lines", "xof 0303txt 0032\nVector V { 1.0,\n2.0,\n3.0; }\n}\n",
         D3DXFERR_PARSEERROR, "line 5: expected a template or a data object"},
        {"count larger than the data", "xof 0303txt 0032\nMesh M { 1000000; 1;2;3;; 0;; }",
         D3DXFERR_PARSEERROR, "line 2: expected an array no larger than the data left"},
        {"count of 2^32 - 1", "xof 0303txt 0032\nMeshFace F { 4294967295; 1, 2, 3; }", D3DXFERR_PARSEERROR,
         "no larger than the data left"},
        {"payload shorter than its members", "xof 0303txt 0032\nVector V { 1.0; 2.0; }", D3DXFERR_PARSEERROR,
         "line 2: expected a number, found '}'"},
        {"string where a number belongs", "xof 0303txt 0032\nVector V { \"one\"; 2; 3; }",
         D3DXFERR_PARSEERROR, "expected a number, found a string"},
        {"unterminated string", "xof 0303txt 0032\nTextureFilename T { \"never closed; }",
         D3DXFERR_PARSEERROR, "a string that is never closed"},
        {"malformed GUID", "xof 0303txt 0032\nFrame F { <1234-nope> }", D3DXFERR_PARSEERROR,
         "a malformed GUID"},
        {"unknown member type",
         "xof 0303txt 0032\ntemplate T { <11111111-1111-1111-1111-111111111111> Nope n; }",
         D3DXFERR_PARSEERROR, "a template declared earlier"},
        {"array sized by a missing member",
         "xof 0303txt 0032\ntemplate T { <11111111-1111-1111-1111-111111111111> array DWORD v[n]; }",
         D3DXFERR_PARSEERROR, "an earlier integer member"},
        {"nesting 100 000 deep", deep, D3DXFERR_PARSEERROR, "data objects nested less deeply"},
        {"binary list longer than the data", binaryListTooLong, D3DXFERR_PARSEERROR,
         "byte 30: a number list longer than the data left"},
        {"binary name longer than the data", binaryNameTooLong, D3DXFERR_PARSEERROR,
         "byte 16: a name or string longer"},
        {"binary token 0", binaryZeroToken, D3DXFERR_PARSEERROR, "byte 16: an unknown token"},
        {"binary cut inside a token", std::string("xof 0303bin 0032") + '\x01', D3DXFERR_PARSEERROR,
         "a token cut off"},
        {"compressed without blocks", "xof 0303bzip0032", D3DXFERR_BADFILE,
         "byte 16: expected the inflated size"},
        {"compressed block without CK", Compressed("xof 0303tzip0032", 30, 14, 6, "XY", "abcd"),
         D3DXFERR_BADFILE, "byte 20: expected a compressed block"},
        {"compressed block over 32 KiB", Compressed("xof 0303tzip0032", 40000, 40000 - 16, 6, "CK", "abcd"),
         D3DXFERR_BADFILE, "expected a compressed block"},
        {"compressed block past the end", Compressed("xof 0303tzip0032", 30, 14, 600, "CK", "abcd"),
         D3DXFERR_BADFILE, "expected a compressed block"},
        {"inflated size that does not match", Compressed("xof 0303tzip0032", 5000000, 14, 6, "CK", "abcd"),
         D3DXFERR_BADFILE, "does not match the blocks"},
        {"corrupt deflate data", Compressed("xof 0303tzip0032", 30, 14, 6, "CK", "\xff\xff\xff\xff"),
         D3DXFERR_BADFILE, "does not inflate"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CapturedDebugOutput out;
        Document document;
        EXPECT_EQ(Read(c.file, &document), c.hr);
        ExpectOneLocatedMessage(out.Text());
        EXPECT_NE(out.Text().find(c.message), std::string::npos) << out.Text();
    }
}

TEST(XFileMalformed, HugeNumbersSaturate) {
    Document document;
    ASSERT_EQ(Read("xof 0303txt 0032\nVector V { 1e999; -1e999; 99999999999999999999999; }\n"
                   "MeshFace F { 1; 1e30; }\n",
                   &document),
              S_OK);
    float v[3];
    std::memcpy(v, document.top[0]->payload.data(), sizeof v);
    EXPECT_EQ(v[0], INFINITY);
    EXPECT_EQ(v[1], -INFINITY);
    EXPECT_EQ(v[2], 1e23f);
}

TEST(XFileMalformed, UnresolvedReferencesAreKeptAndCyclesLeftOut) {
    CapturedDebugOutput out;
    Document document;
    ASSERT_EQ(Read("xof 0303txt 0032\nFrame A { { B } { Nowhere } }\nFrame B { { A } }\n", &document), S_OK);
    EXPECT_NE(out.Text().find("the reference to Nowhere names no data object"), std::string::npos)
        << out.Text();
    EXPECT_NE(out.Text().find("lead back to where they start"), std::string::npos) << out.Text();
    // Whatever was kept can be walked without end.
    const Node* a = document.top[0];
    ASSERT_EQ(a->children.size(), 2u);
    EXPECT_EQ(a->children[0].node->name, "B");
    EXPECT_TRUE(a->children[0].node->children.empty());
    const Node* nowhere = a->children[1].node;
    EXPECT_TRUE(a->children[1].reference);
    EXPECT_EQ(nowhere->name, "Nowhere");
    EXPECT_EQ(nowhere->TypeGuid(), GUID{});
    EXPECT_NE(WriteDocument(document, Format::Text, 32).find("{ Nowhere }"), std::string::npos)
        << "written back as it was";
}

TEST(XFileMalformed, ReferencesMayNotNestWithoutBound) {
    // Each frame refers to the one before: walking them nests 1000 deep.
    std::string text = "xof 0303txt 0032\nFrame F0 { }\n";
    for (int i = 1; i < 1000; ++i)
        text += "Frame F" + std::to_string(i) + " { { F" + std::to_string(i - 1) + " } }\n";
    CapturedDebugOutput out;
    Document document;
    EXPECT_EQ(Read(text, &document), D3DXFERR_PARSEERROR);
    EXPECT_NE(out.Text().find("references nest data objects deeper than"), std::string::npos) << out.Text();
}

// Shapes that once took time quadratic or exponential in the file's size:
// every reference is looked up a few times at most, and the cycle check
// goes through each link once.
TEST(XFileMalformed, HostileShapesResolveInLinearWork) {
    const struct {
        const char* shape;
        size_t references;
        std::function<void(const Document&)> check;
    } cases[] = {{"100000 siblings", 100000, nullptr},
                 {"40 levels of doubled references", 80, nullptr},
                 {"50000 references to one name", 50000,
                  [](const Document& d) {
                      EXPECT_EQ(d.top.back()->children.front().node, d.top[d.top.size() - 2])
                          << "the latest of the name before the reference";
                  }},
                 {"50000 GUID references", 50000,
                  [](const Document& d) {
                      const Node* holder = d.top.back();
                      ASSERT_EQ(holder->children.size(), 50000u);
                      for (size_t i : {size_t(0), size_t(777), size_t(49999)})
                          EXPECT_EQ(holder->children[i].node, d.top[i]) << i;
                  }},
                 {"100000 self-references", 100000, [](const Document& d) {
                      EXPECT_TRUE(d.top[0]->children.empty()) << "each closes a cycle";
                  }}};
    std::map<std::string, std::string> shapes;
    for (OddShape& s : OddShapes())
        shapes[s.name] = std::move(s.text);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shape);
        CapturedDebugOutput quiet;
        Document document;
        ASSERT_EQ(Read(shapes.at(c.shape), &document), S_OK) << quiet.Text();
        EXPECT_LE(document.work.lookups, 3 * c.references);
        EXPECT_LE(document.work.edges, document.nodes.size() + c.references);
        if (c.check) c.check(document);
    }
    CapturedDebugOutput out;
    Document deep;
    EXPECT_EQ(Read(shapes.at("100000 nested frames"), &deep), D3DXFERR_PARSEERROR);
    EXPECT_NE(out.Text().find("nested less deeply"), std::string::npos) << out.Text();
}

// An exporter that cuts a file short while the viewer reads it (a reload
// while the file is being written) changes nothing already read; a mapped
// file would have ended the process with SIGBUS.
TEST(XFileMalformed, AFileCutShortWhileItIsReadIsReadAsItWas) {
    ScratchFolder scratch;
    const std::string path = (scratch.Path() / "model.x").string();
    const std::string text = "xof 0303txt 0032\n" + std::string(100000, ' ') + "Frame F { }\n";
    std::ofstream(path, std::ios::binary) << text;
    Platform::FileBytes file(path.c_str());
    std::ofstream(path, std::ios::binary | std::ios::trunc).flush();  // cut to nothing
    ASSERT_EQ(file.Error(), 0);
    EXPECT_EQ(file.Bytes(), text);
    Document document;
    EXPECT_EQ(Read(file.Bytes(), &document), S_OK);
    EXPECT_EQ(Platform::FileBytes((scratch.Path() / "missing.x").c_str()).Error(), ENOENT);
    EXPECT_EQ(Platform::FileBytes(scratch.Path().c_str()).Error(), EISDIR);
}

// A model's hierarchy and then its animation data: the next reading of the
// same version of a file with the same templates costs no parse, nor does
// one while a reader holds the document; no reading is served a document
// of another version, and none is kept once all have let go of it.
TEST(XFileMalformed, ADocumentServesTheReadingsOfTheSameVersion) {
    ScratchFolder scratch;
    const std::string path = (scratch.Path() / "model.x").string();
    std::ofstream(path, std::ios::binary) << "xof 0303txt 0032\nFrame A { }\n";
    std::shared_ptr<const Document> first, second, third, other;
    ASSERT_EQ(ReadFileDocument(path.c_str(), StandardTemplates(), &first), S_OK);
    const Document* read = first.get();
    first.reset();
    ASSERT_EQ(ReadFileDocument(path.c_str(), StandardTemplates(), &second), S_OK);
    EXPECT_EQ(second.get(), read) << "kept for one more reading";
    ASSERT_EQ(ReadFileDocument(path.c_str(), StandardTemplates(), &third), S_OK);
    EXPECT_EQ(third, second) << "shared while a reader holds it";
    const std::weak_ptr<const Document> held = second;
    second.reset();
    third.reset();
    EXPECT_TRUE(held.expired()) << "not kept once given out and let go of";
    ASSERT_EQ(ReadFileDocument(path.c_str(), StandardTemplates(), &first), S_OK);
    EXPECT_EQ(ReadFileDocument(path.c_str(), TemplateSet(), &other), S_OK);
    EXPECT_NE(other, first) << "read with other templates";

    // A new version of the same size, in the same second or not.
    ASSERT_EQ(ReadFileDocument(path.c_str(), StandardTemplates(), &first), S_OK);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << "xof 0303txt 0032\nFrame B { }\n";
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(1));
    ASSERT_EQ(ReadFileDocument(path.c_str(), StandardTemplates(), &second), S_OK);
    ASSERT_EQ(second->top.size(), 1u);
    EXPECT_EQ(second->top[0]->name, "B");
    std::filesystem::remove(path);
    CapturedDebugOutput quiet;
    EXPECT_EQ(ReadFileDocument(path.c_str(), StandardTemplates(), &third), D3DXFERR_FILENOTFOUND);
    EXPECT_EQ(third, nullptr);
}

// Prefixes and single-byte corruptions of the fixture (every one), the
// samples and a few real files (evenly spaced), in every encoding: each is
// refused with one located message, or read into a document whose counts
// hold (written as binary, which holds any name and value in 64-bit
// floats, it reads back the same), and never read past its end (each copy is exactly its size).
TEST(XFileMalformed, TruncationAndCorruptionSweep) {
    std::vector<std::pair<std::string, size_t>> sources = {{ReadFixture("everything.x"), 1}};
    for (const char* sample : {"Lumen.x", "Blocks.x"})
        sources.emplace_back(ReadFile(std::string(VOREL_SOURCE_DIR) + "/Assets/Models/" + sample), 0);
    size_t real = 0;
    for (const auto& path : RealModelFiles())
        if (real < 3 && std::filesystem::file_size(path) <= 64 * 1024)
            sources.emplace_back(ReadFile(path), 0), ++real;
    const auto expectSound = [](std::string_view file, const char* what, size_t at) {
        CapturedDebugOutput out;
        Document document;
        if (FAILED(Read(file, &document))) {
            SCOPED_TRACE(std::string(what) + " at byte " + std::to_string(at));
            ExpectOneLocatedMessage(out.Text());
            return;
        }
        Document again;
        if (Read(WriteDocument(document, Format::Binary, 64), &again) != S_OK ||
            Dump(again) != Dump(document))
            ADD_FAILURE() << what << " at byte " << at << " read into a document that does not read back:\n"
                          << Dump(document);
    };
    for (const auto& [text, stride] : sources) {
        Document original;
        if (Read(text, &original) != S_OK) continue;
        for (Format format :
             {Format::Text, Format::Binary, Format::TextCompressed, Format::BinaryCompressed}) {
            const std::string file = WriteDocument(original, format, 32);
            const size_t step = stride != 0 ? stride : std::max<size_t>(1, file.size() / 300);
            for (size_t n = 0; n < file.size(); n += step) {
                expectSound(std::string_view(file).substr(0, n), "a prefix", n);
                // Text and binary can end early at an object boundary; the
                // compressed forms say how long they are.
                if (format == Format::TextCompressed || format == Format::BinaryCompressed) {
                    Document cut;
                    CapturedDebugOutput quiet;
                    EXPECT_TRUE(FAILED(Read(std::string_view(file).substr(0, n), &cut))) << n;
                }
            }
            for (size_t i = 16; i < file.size(); i += step)
                for (char value : {'\0', '\x7f', '\xff'}) {
                    std::string corrupt = file;
                    corrupt[i] = value;
                    expectSound(corrupt, "a corruption", i);
                }
            if (HasFailure()) return;
        }
    }
}

}  // namespace
