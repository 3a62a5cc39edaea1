#pragma once

#include <string>

#include "d3dx9/xfile/Container.h"
#include "d3dx9/xfile/Document.h"

namespace Platform::XFile {

// Writes a document in any encoding: the templates it declared, then every
// top-level data object with its name, GUID, payload, children and
// references. Text is written in the strict form of the format (';' after
// each member, ',' between array elements) and is a function of the
// document alone, so that any encoding converted to text gives the same
// bytes. floatSize is 32 or 64; payload floats are 32-bit either way.
std::string WriteDocument(const Document& document, Format format, int floatSize);

}  // namespace Platform::XFile
