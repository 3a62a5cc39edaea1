#pragma once

#include <tinyxml.h>

#include <string>

namespace Vorel {

// Reads the XML file at `path` into `document`. The text must be UTF-8:
// TinyXML steps over a multi-byte character by its first byte alone, so a
// broken sequence at the end of the text would make it read past it.
// False with `error` saying what is wrong (TinyXML's own description for
// XML that does not parse).
bool LoadXmlFile(const std::string& path, TiXmlDocument* document, std::string* error);

}  // namespace Vorel
