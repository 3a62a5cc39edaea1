#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "d3dx9/xfile/Document.h"

namespace Platform::XFile {

enum class Format { Text, Binary, TextCompressed, BinaryCompressed };

struct Header {
    Format format = Format::Text;
    int floatSize = 32;
    int major = 3, minor = 3;
};

// Reads the 16-byte header; an HRESULT of the D3DXFERR family on failure
// with `error` saying what was wrong.
HRESULT ReadHeader(std::string_view bytes, Header* header, std::string* error);

// Inflates an MSZIP body: a DWORD total size (header included), then blocks
// of at most 32 KiB each, "CK" and raw deflate data, with the history kept
// from block to block. Every size is checked before anything is allocated.
HRESULT Inflate(std::string_view compressed, std::vector<char>* body, std::string* error);

// The inverse, for writers: blocks of 32 KiB compressed with the previous
// 32 KiB as their dictionary. Returns the bytes that follow the header.
std::vector<char> Deflate(std::string_view body);

// The standard templates, read once from the text of rmxftmpl.h.
const TemplateSet& StandardTemplates();

// Reads a whole file image into a document. `name` is used in messages; the
// one trace line of a failure is written here.
HRESULT ReadDocument(std::string_view bytes, const std::string& name, const TemplateSet& templates,
                     Document* document);

// Reads a file into a document, with the one trace line of a failure. The
// document of the file read last serves the readings of the same version of
// that file with the same templates: the next one, and any while another
// reader still holds it. A model's hierarchy and then its animation data
// cost one parse.
HRESULT ReadFileDocument(const char* path, const TemplateSet& templates,
                         std::shared_ptr<const Document>* out);

}  // namespace Platform::XFile
