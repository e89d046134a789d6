// Reading the XML documents the program keeps (project files, site template descriptors) with
// libxml2, hardened against hostile files: no network, no external DTD, no entity declarations
// (so only the predefined entities and character references ever expand and nothing can
// multiply), and no element nested deeper than kMaxXmlDepth. Text nodes may be as large as the
// file, since a large site keeps its whole content text in one element. The caller owns the
// document. Stateless; safe from any thread (libxml2 is initialised by the first call).
#pragma once

#include <QString>

#include <libxml/tree.h>

#include <memory>
#include <string_view>

namespace pw::platform {

// Deeper nesting than any document of ours holds (they are 3 levels deep), far below what
// would exhaust a stack in code that walks the tree.
constexpr int kMaxXmlDepth = 256;

struct TXmlDocDeleter {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using TXmlDocPtr = std::unique_ptr<xmlDoc, TXmlDocDeleter>;

// Parses bytes as an XML document. Null with the reason, "line N: <parser's message>", when
// they are not well-formed, declare an entity or nest too deep.
TXmlDocPtr ReadXmlDocument(std::string_view bytes, QString* error = nullptr);

}  // namespace pw::platform
