#include "d3dx9/xfile/Container.h"

#include <rmxftmpl.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "FileBytes.h"
#include "d3dx9/LittleEndian.h"
#include "d3dx9/xfile/BinaryTokenizer.h"
#include "d3dx9/xfile/Parser.h"
#include "d3dx9/xfile/TextTokenizer.h"
#include "d3dx9xof.h"

namespace Platform::XFile {
namespace {

constexpr size_t kHeaderSize = 16;
constexpr size_t kBlockSize = 32768;
// No real model comes near this; a header claiming more is not believed.
constexpr uint64_t kMaxInflated = uint64_t(1) << 30;

}  // namespace

const TemplateSet& StandardTemplates() {
    static const TemplateSet templates = [] {
        Document document;
        ReadDocument(std::string_view(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES), "(standard templates)",
                     TemplateSet(), &document);
        return document.templates;
    }();
    return templates;
}

HRESULT ReadHeader(std::string_view bytes, Header* header, std::string* error) {
    if (bytes.size() < kHeaderSize || bytes.substr(0, 4) != "xof ") {
        *error = "not a .x file: it does not begin with \"xof \"";
        return D3DXFERR_BADFILETYPE;
    }
    const std::string_view version = bytes.substr(4, 4);
    for (char c : version)
        if (c < '0' || c > '9') {
            *error = "byte 4: expected a four-digit version";
            return D3DXFERR_BADFILEVERSION;
        }
    header->major = (version[0] - '0') * 10 + (version[1] - '0');
    header->minor = (version[2] - '0') * 10 + (version[3] - '0');
    const std::string_view format = bytes.substr(8, 4);
    if (format == "txt ")
        header->format = Format::Text;
    else if (format == "bin ")
        header->format = Format::Binary;
    else if (format == "tzip")
        header->format = Format::TextCompressed;
    else if (format == "bzip")
        header->format = Format::BinaryCompressed;
    else {
        *error = "byte 8: expected the encoding \"txt \", \"bin \", \"tzip\" or \"bzip\"";
        return D3DXFERR_BADFILETYPE;
    }
    const std::string_view floats = bytes.substr(12, 4);
    if (floats == "0032")
        header->floatSize = 32;
    else if (floats == "0064")
        header->floatSize = 64;
    else {
        *error = "byte 12: expected the float size \"0032\" or \"0064\"";
        return D3DXFERR_BADFILEFLOATSIZE;
    }
    return S_OK;
}

HRESULT Inflate(std::string_view compressed, std::vector<char>* body, std::string* error) {
    if (compressed.size() < 4) {
        *error = "byte 16: expected the inflated size";
        return D3DXFERR_BADFILE;
    }
    const uint64_t total = Read32(compressed.data());
    // First walk the block headers: they must tile the input exactly, and
    // their sizes must add up to what the file says it holds.
    uint64_t sum = 0;
    size_t at = 4;
    while (at < compressed.size()) {
        const std::string where = "byte " + std::to_string(kHeaderSize + at) + ": ";
        if (compressed.size() - at < 6) {
            *error = where + "a compressed block header cut off";
            return D3DXFERR_BADFILE;
        }
        const uint16_t usize = Read16(compressed.data() + at);
        const uint16_t csize = Read16(compressed.data() + at + 2);
        if (usize == 0 || usize > kBlockSize || csize <= 2 || compressed.substr(at + 4, 2) != "CK" ||
            compressed.size() - at - 4 < csize) {
            *error = where + "expected a compressed block (sizes, then \"CK\")";
            return D3DXFERR_BADFILE;
        }
        sum += usize;
        at += 4 + size_t(csize);
    }
    if (total < kHeaderSize || total - kHeaderSize != sum || sum > kMaxInflated) {
        *error = "byte 16: the inflated size " + std::to_string(total) + " does not match the blocks (" +
                 std::to_string(sum + kHeaderSize) + ")";
        return D3DXFERR_BADFILE;
    }

    body->assign(sum, '\0');
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) {
        *error = "the decompressor could not start";
        return E_OUTOFMEMORY;
    }
    size_t produced = 0;
    at = 4;
    HRESULT hr = S_OK;
    while (at < compressed.size()) {
        const uint16_t usize = Read16(compressed.data() + at);
        const uint16_t csize = Read16(compressed.data() + at + 2);
        inflateReset(&z);
        // MSZIP keeps the last 32 KiB of output as the next block's history.
        if (produced > 0) {
            const size_t history = std::min(produced, kBlockSize);
            inflateSetDictionary(&z, reinterpret_cast<const Bytef*>(body->data() + produced - history),
                                 static_cast<uInt>(history));
        }
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data() + at + 6));
        z.avail_in = csize - 2u;
        z.next_out = reinterpret_cast<Bytef*>(body->data() + produced);
        z.avail_out = usize;
        const int result = inflate(&z, Z_FINISH);
        if (result != Z_STREAM_END || z.avail_out != 0) {
            *error = "byte " + std::to_string(kHeaderSize + at) +
                     ": a compressed block that does not inflate to " + std::to_string(usize) + " bytes";
            hr = D3DXFERR_BADFILE;
            break;
        }
        produced += usize;
        at += 4 + size_t(csize);
    }
    inflateEnd(&z);
    return hr;
}

std::vector<char> Deflate(std::string_view body) {
    std::vector<char> out(4);
    const uint32_t total = static_cast<uint32_t>(body.size() + kHeaderSize);
    std::memcpy(out.data(), &total, 4);
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::vector<char> block(compressBound(kBlockSize) + 64);
    for (size_t at = 0; at < body.size(); at += kBlockSize) {
        const size_t n = std::min(kBlockSize, body.size() - at);
        deflateReset(&z);
        if (at > 0) {
            const size_t history = std::min(at, kBlockSize);
            deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(body.data() + at - history),
                                 static_cast<uInt>(history));
        }
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data() + at));
        z.avail_in = static_cast<uInt>(n);
        z.next_out = reinterpret_cast<Bytef*>(block.data());
        z.avail_out = static_cast<uInt>(block.size());
        deflate(&z, Z_FINISH);
        const size_t csize = block.size() - z.avail_out;
        const uint16_t sizes[2] = {static_cast<uint16_t>(n), static_cast<uint16_t>(csize + 2)};
        const size_t start = out.size();
        out.resize(start + 6 + csize);
        std::memcpy(out.data() + start, sizes, 4);
        std::memcpy(out.data() + start + 4, "CK", 2);
        std::memcpy(out.data() + start + 6, block.data(), csize);
    }
    deflateEnd(&z);
    return out;
}

HRESULT ReadDocument(std::string_view bytes, const std::string& name, const TemplateSet& templates,
                     Document* document) {
    Header header;
    std::string error;
    HRESULT hr = ReadHeader(bytes, &header, &error);
    if (SUCCEEDED(hr) && header.major != 3)
        OutputDebugStringA((name + ": warning: format version " + std::to_string(header.major) + "." +
                            std::to_string(header.minor) + " is read as 3.3\n")
                               .c_str());
    std::vector<char> inflated;
    std::string_view body;
    const bool compressed =
        header.format == Format::TextCompressed || header.format == Format::BinaryCompressed;
    if (SUCCEEDED(hr)) {
        body = bytes.substr(kHeaderSize);
        if (compressed) {
            hr = Inflate(body, &inflated, &error);
            body = std::string_view(inflated.data(), inflated.size());
        }
    }
    if (FAILED(hr)) {
        OutputDebugStringA((name + ": " + error + "\n").c_str());
        return hr;
    }

    document->major = header.major;
    document->minor = header.minor;
    document->templates = templates;
    std::unique_ptr<Tokenizer> tokens;
    if (header.format == Format::Text || header.format == Format::TextCompressed)
        tokens = std::make_unique<TextTokenizer>(body);
    else
        tokens = std::make_unique<BinaryTokenizer>(body, header.floatSize / 8, compressed ? 0 : kHeaderSize,
                                                   compressed);
    Parser parser(*tokens, *document, name);
    if (!parser.Parse()) {
        OutputDebugStringA((parser.Error() + "\n").c_str());
        return D3DXFERR_PARSEERROR;
    }
    return S_OK;
}

}  // namespace Platform::XFile

namespace Platform::XFile {
namespace {

struct KeptDocument {
    std::mutex lock;
    FileBytes::Identity identity;
    TemplateSet templates;
    std::shared_ptr<const Document> document;  // for one more reading
    std::weak_ptr<const Document> shared;      // for as long as a reader holds it
};

KeptDocument& Kept() {
    static KeptDocument kept;
    return kept;
}

}  // namespace

HRESULT ReadFileDocument(const char* path, const TemplateSet& templates,
                         std::shared_ptr<const Document>* out) {
    out->reset();
    KeptDocument& kept = Kept();
    {
        const std::lock_guard<std::mutex> hold(kept.lock);
        if (kept.identity.size >= 0 && kept.templates == templates && kept.identity == FileBytes::Of(path)) {
            *out = kept.document != nullptr ? std::move(kept.document) : kept.shared.lock();
            kept.document.reset();
            if (*out != nullptr) return S_OK;
        }
        kept.document.reset();  // one kept document at most, and not one that is stale
        kept.identity = {};
    }
    FileBytes file(path);
    if (file.Error() != 0) {
        OutputDebugStringA(
            (std::string(path) + ": cannot be read: " + std::strerror(file.Error()) + "\n").c_str());
        return D3DXFERR_FILENOTFOUND;
    }
    auto document = std::make_shared<Document>();
    const HRESULT hr = ReadDocument(file.Bytes(), path, templates, document.get());
    if (FAILED(hr)) return hr;
    if (file.Read().size >= 0) {
        const std::lock_guard<std::mutex> hold(kept.lock);
        kept.identity = file.Read();
        kept.templates = templates;
        kept.document = document;
        kept.shared = document;
    }
    *out = std::move(document);
    return S_OK;
}

}  // namespace Platform::XFile
