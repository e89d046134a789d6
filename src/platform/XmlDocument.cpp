#include "platform/XmlDocument.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/SAX2.h>
#include <libxml/xmlerror.h>

#include <climits>

namespace pw::platform {

namespace {

// Kept in the parser context's user slot while one document is parsed.
struct TParseGuard {
  int Depth = 0;
  QString Refusal;
  int RefusalLine = 0;
};

TParseGuard& GuardOf(void* context) {
  return *static_cast<TParseGuard*>(static_cast<xmlParserCtxtPtr>(context)->_private);
}

void Refuse(void* context, const QString& reason) {
  auto ctxt = static_cast<xmlParserCtxtPtr>(context);
  TParseGuard& guard = GuardOf(context);
  if (guard.Refusal.isEmpty()) {
    guard.Refusal = reason;
    guard.RefusalLine = xmlSAX2GetLineNumber(ctxt);
  }
  xmlStopParser(ctxt);
}

void OnEntityDecl(void* context, const xmlChar* name, int, const xmlChar*, const xmlChar*, xmlChar*) {
  Refuse(context, QStringLiteral("The document declares the entity \"%1\"; only the predefined entities are read")
                      .arg(QString::fromUtf8(reinterpret_cast<const char*>(name))));
}

void OnStartElement(void* context, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                    int namespaceCount, const xmlChar** namespaces, int attributeCount, int defaultedCount,
                    const xmlChar** attributes) {
  if (++GuardOf(context).Depth > kMaxXmlDepth) {
    Refuse(context, QStringLiteral("Elements are nested deeper than %1 levels").arg(kMaxXmlDepth));
    return;
  }
  xmlSAX2StartElementNs(context, localname, prefix, uri, namespaceCount, namespaces, attributeCount,
                        defaultedCount, attributes);
}

void OnEndElement(void* context, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri) {
  --GuardOf(context).Depth;
  xmlSAX2EndElementNs(context, localname, prefix, uri);
}

}  // namespace

TXmlDocPtr ReadXmlDocument(std::string_view bytes, QString* error) {
  auto fail = [&](const QString& message) {
    if (error) *error = message;
    return TXmlDocPtr();
  };
  if (bytes.empty()) return fail(QStringLiteral("The document is empty"));
  if (bytes.size() > static_cast<size_t>(INT_MAX)) return fail(QStringLiteral("The document is too large"));

  xmlParserCtxtPtr ctxt = xmlCreateMemoryParserCtxt(bytes.data(), static_cast<int>(bytes.size()));
  if (!ctxt) return fail(QStringLiteral("Out of memory"));
  // HUGE lifts the 10 MB cap on one text node; depth and entities are bounded here instead.
  xmlCtxtUseOptions(ctxt, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
  TParseGuard guard;
  ctxt->_private = &guard;
  ctxt->sax->entityDecl = OnEntityDecl;
  ctxt->sax->startElementNs = OnStartElement;
  ctxt->sax->endElementNs = OnEndElement;
  xmlParseDocument(ctxt);
  TXmlDocPtr doc(ctxt->myDoc);
  ctxt->myDoc = nullptr;
  if (!ctxt->wellFormed) doc.reset();
  QString message;
  int line = 0;
  if (!guard.Refusal.isEmpty()) {
    message = guard.Refusal;
    line = guard.RefusalLine;
  } else if (!doc || !xmlDocGetRootElement(doc.get())) {
    const xmlError* last = xmlCtxtGetLastError(ctxt);
    if (last && last->message) {
      message = QString::fromUtf8(last->message).trimmed();
      line = last->line;
    } else {
      message = QStringLiteral("The document has no root element");
    }
  }
  xmlFreeParserCtxt(ctxt);
  if (message.isEmpty()) return doc;
  return fail(line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(message) : message);
}

}  // namespace pw::platform
