#include "scripting/objects/XmlNodeObject.h"

#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>

namespace pw {

PW_AUTO_MEMBERS(TXmlNodeObject,
    AutoGetter(1, "nodeName", &TXmlNodeObject::NodeName),
    AutoGetter(2, "nodeType", &TXmlNodeObject::NodeType),
    AutoProperty(3, "text", &TXmlNodeObject::Text, &TXmlNodeObject::SetText),
    AutoGetter(4, "xml", &TXmlNodeObject::Xml),
    AutoGetter(5, "childNodes", &TXmlNodeObject::ChildNodes),
    AutoGetter(6, "attributes", &TXmlNodeObject::Attributes),
    AutoGetter(7, "parentNode", &TXmlNodeObject::ParentNode),
    AutoGetter(8, "firstChild", &TXmlNodeObject::FirstChild),
    AutoGetter(9, "lastChild", &TXmlNodeObject::LastChild),
    AutoGetter(10, "nextSibling", &TXmlNodeObject::NextSibling),
    AutoGetter(11, "previousSibling", &TXmlNodeObject::PreviousSibling),
    AutoMethod(12, "getAttribute", &TXmlNodeObject::GetAttribute),
    AutoMethod(13, "setAttribute", &TXmlNodeObject::SetAttribute),
    AutoMethod(14, "removeAttribute", &TXmlNodeObject::RemoveAttribute),
    AutoMethod(15, "appendChild", &TXmlNodeObject::AppendChild),
    AutoMethod(16, "removeChild", &TXmlNodeObject::RemoveChild),
    AutoMethod(17, "selectNodes", &TXmlNodeObject::SelectNodes),
    AutoMethod(18, "selectSingleNode", &TXmlNodeObject::SelectSingleNode),
    AutoMethod(19, "createElement", &TXmlNodeObject::CreateElement),
    AutoGetter(20, "documentElement", &TXmlNodeObject::DocumentElement))

PW_AUTO_MEMBERS(TXmlNodeListObject,
    AutoGetter(1, "length", &TXmlNodeListObject::Length),
    AutoMethod(DISPID_VALUE, "item", &TXmlNodeListObject::Item))

namespace {

const xmlChar* X(const QByteArray& utf8) { return reinterpret_cast<const xmlChar*>(utf8.constData()); }
QString Q(const xmlChar* text) { return text ? QString::fromUtf8(reinterpret_cast<const char*>(text)) : QString(); }

// Takes a libxml2-allocated string.
QString Owned(xmlChar* text) {
  const QString result = Q(text);
  xmlFree(text);
  return result;
}

// Numeric names of list items start here, clear of the class's own DispIDs.
constexpr std::int32_t kFirstItemId = 10000;

void IgnoreXPathError(void*, xmlError*) {}

bool IsAncestorOrSelf(const xmlNode* candidate, const xmlNode* node) {
  for (const xmlNode* n = node; n; n = n->parent) {
    if (n == candidate) return true;
  }
  return false;
}

}  // namespace

TXmlDom::~TXmlDom() {
  // A node back in a tree goes with that tree; collect the roots first, since freeing one
  // may free another recorded node below it.
  std::vector<xmlNode*> roots;
  for (xmlNode* node : FDetached) {
    if (!node->parent && std::find(roots.begin(), roots.end(), node) == roots.end()) roots.push_back(node);
  }
  for (xmlNode* node : roots) xmlFreeNode(node);
}

TXmlDomPtr ParseXmlDom(const QByteArray& bytes, QString* error) {
  platform::TXmlDocPtr doc =
      platform::ReadXmlDocument(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), error);
  if (!doc) return nullptr;
  return std::make_shared<TXmlDom>(std::move(doc));
}

QString XmlNodeText(const xmlNode* node) { return node ? Owned(xmlNodeGetContent(node)) : QString(); }

void SetXmlNodeText(xmlNode* node, const QString& text, TXmlDom* keep) {
  if (!node) return;
  const QByteArray utf8 = text.toUtf8();
  if (node->type != XML_ELEMENT_NODE) {
    // Text, comment, attribute: their content is the literal text.
    if (node->type == XML_ATTRIBUTE_NODE) {
      xmlSetProp(node->parent, node->name, X(utf8));
    } else {
      xmlNodeSetContentLen(node, nullptr, 0);
      xmlNodeAddContentLen(node, X(utf8), utf8.size());
    }
    return;
  }
  while (node->children) {
    xmlNode* child = node->children;
    xmlUnlinkNode(child);
    if (keep) {
      keep->KeepDetached(child);
    } else {
      xmlFreeNode(child);
    }
  }
  if (!utf8.isEmpty()) xmlAddChild(node, xmlNewDocTextLen(node->doc, X(utf8), utf8.size()));
}

QString XmlAttribute(const xmlNode* node, const QString& name) {
  if (!node || node->type != XML_ELEMENT_NODE) return {};
  return Owned(xmlGetProp(node, X(name.toUtf8())));
}

void SetXmlAttribute(xmlNode* node, const QString& name, const QString& value) {
  if (!node || node->type != XML_ELEMENT_NODE) return;
  const QByteArray utf8Name = name.toUtf8();
  if (xmlValidateName(X(utf8Name), 0) != 0) {
    throw EAutoObjectError(QStringLiteral("\"%1\" is not a valid attribute name").arg(name));
  }
  xmlSetProp(node, X(utf8Name), X(value.toUtf8()));
}

QString XmlMarkup(xmlNode* node) {
  if (!node) return {};
  if (node->type == XML_DOCUMENT_NODE) {
    xmlChar* text = nullptr;
    int size = 0;
    xmlDocDumpMemoryEnc(reinterpret_cast<xmlDoc*>(node), &text, &size, "UTF-8");
    return Owned(text);
  }
  xmlBuffer* buffer = xmlBufferCreate();
  xmlNodeDump(buffer, node->doc, node, 0, 0);
  const QString result = Q(xmlBufferContent(buffer));
  xmlBufferFree(buffer);
  return result;
}

std::vector<xmlNode*> SelectXmlNodes(xmlNode* context, const QString& xpath) {
  std::vector<xmlNode*> nodes;
  if (!context || !context->doc) return nodes;
  std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> ctx(xmlXPathNewContext(context->doc),
                                                                        &xmlXPathFreeContext);
  if (!ctx) return nodes;
  ctx->node = context;
  ctx->error = &IgnoreXPathError;
  // The prefixes the document element declares, so "dc:creator" finds what it names.
  if (xmlNode* root = xmlDocGetRootElement(context->doc)) {
    for (xmlNs* ns = root->nsDef; ns; ns = ns->next) {
      if (ns->prefix) xmlXPathRegisterNs(ctx.get(), ns->prefix, ns->href);
    }
  }
  const QByteArray expression = xpath.toUtf8();
  std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result(
      xmlXPathEvalExpression(X(expression), ctx.get()), &xmlXPathFreeObject);
  if (!result) throw EAutoObjectError(QStringLiteral("\"%1\" is not a valid XPath expression").arg(xpath));
  if (result->type != XPATH_NODESET || !result->nodesetval) return nodes;
  for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
    xmlNode* node = result->nodesetval->nodeTab[i];
    // Namespace nodes are copies that die with the result.
    if (node && node->type != XML_NAMESPACE_DECL) nodes.push_back(node);
  }
  return nodes;
}

xmlNode* AppendXmlElement(xmlNode* parent, const QString& name) {
  // libxml2 would hang children under a text or attribute node and break the tree.
  if (!parent || (parent->type != XML_ELEMENT_NODE && parent->type != XML_DOCUMENT_NODE)) {
    throw EAutoObjectError(QStringLiteral("Only an element or a document takes children"));
  }
  const QByteArray utf8 = name.toUtf8();
  if (xmlValidateName(X(utf8), 0) != 0) {
    throw EAutoObjectError(QStringLiteral("\"%1\" is not a valid element name").arg(name));
  }
  xmlNode* element = xmlNewDocNode(parent->doc, nullptr, X(utf8), nullptr);
  if (parent->type == XML_DOCUMENT_NODE && xmlDocGetRootElement(reinterpret_cast<xmlDoc*>(parent))) {
    xmlFreeNode(element);
    throw EAutoObjectError(QStringLiteral("A document has only one root element"));
  }
  return xmlAddChild(parent, element);
}

Variant TXmlNodeObject::Wrap(const TXmlDomPtr& dom, xmlNode* node) {
  if (!node || !dom) return Variant::Null();
  ComPtr<TXmlNodeObject> object = MakeAutoObject<TXmlNodeObject>(dom, node);
  return Variant::FromDispatch(object->AsDispatch());
}

TXmlNodeObject* TXmlNodeObject::FromValue(const Variant& value) {
  const Variant v = value.Dereferenced();
  if (v.Type() != VT_DISPATCH || !v.DispatchValue()) return nullptr;
  ComPtr<IAutoObjectRef> ref = ComPtr<IDispatch>(v.DispatchValue()).As<IAutoObjectRef>();
  return ref ? dynamic_cast<TXmlNodeObject*>(ref->GetAutoObject()) : nullptr;
}

xmlNode* TXmlNodeObject::Element(const char* operation) const {
  if (FNode->type != XML_ELEMENT_NODE) {
    throw EAutoObjectError(QStringLiteral("%1 needs an element node").arg(QLatin1String(operation)));
  }
  return FNode;
}

QString TXmlNodeObject::NodeName() {
  switch (FNode->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
      return FNode->ns && FNode->ns->prefix ? Q(FNode->ns->prefix) + QLatin1Char(':') + Q(FNode->name) : Q(FNode->name);
    case XML_TEXT_NODE: return QStringLiteral("#text");
    case XML_CDATA_SECTION_NODE: return QStringLiteral("#cdata-section");
    case XML_COMMENT_NODE: return QStringLiteral("#comment");
    case XML_DOCUMENT_NODE: return QStringLiteral("#document");
    default: return Q(FNode->name);
  }
}

std::int32_t TXmlNodeObject::NodeType() {
  // libxml2 numbers its node kinds as the DOM does (element 1 ... document 9).
  return static_cast<std::int32_t>(FNode->type);
}

QString TXmlNodeObject::Text() { return XmlNodeText(FNode); }

void TXmlNodeObject::SetText(const QString& text) {
  if (FNode->type == XML_DOCUMENT_NODE) throw EAutoObjectError(QStringLiteral("A document's text cannot be set"));
  SetXmlNodeText(FNode, text, FDom.get());
}

QString TXmlNodeObject::Xml() { return XmlMarkup(FNode); }

Variant TXmlNodeObject::ChildNodes() {
  std::vector<xmlNode*> nodes;
  if (FNode->type != XML_ATTRIBUTE_NODE) {
    for (xmlNode* child = FNode->children; child; child = child->next) nodes.push_back(child);
  }
  ComPtr<TXmlNodeListObject> list = MakeAutoObject<TXmlNodeListObject>(FDom, std::move(nodes));
  return Variant::FromDispatch(list->AsDispatch());
}

Variant TXmlNodeObject::Attributes() {
  if (FNode->type != XML_ELEMENT_NODE) return Variant::Null();
  std::vector<xmlNode*> nodes;
  for (xmlAttr* a = FNode->properties; a; a = a->next) nodes.push_back(reinterpret_cast<xmlNode*>(a));
  ComPtr<TXmlNodeListObject> list = MakeAutoObject<TXmlNodeListObject>(FDom, std::move(nodes));
  return Variant::FromDispatch(list->AsDispatch());
}

Variant TXmlNodeObject::ParentNode() {
  // An attribute has no parent in the DOM; libxml2 keeps its element there.
  return FNode->type == XML_ATTRIBUTE_NODE ? Variant::Null() : Wrap(FDom, FNode->parent);
}

Variant TXmlNodeObject::FirstChild() { return FNode->type == XML_ATTRIBUTE_NODE ? Variant::Null() : Wrap(FDom, FNode->children); }
Variant TXmlNodeObject::LastChild() { return FNode->type == XML_ATTRIBUTE_NODE ? Variant::Null() : Wrap(FDom, FNode->last); }
Variant TXmlNodeObject::NextSibling() { return FNode->type == XML_ATTRIBUTE_NODE ? Variant::Null() : Wrap(FDom, FNode->next); }
Variant TXmlNodeObject::PreviousSibling() { return FNode->type == XML_ATTRIBUTE_NODE ? Variant::Null() : Wrap(FDom, FNode->prev); }

Variant TXmlNodeObject::GetAttribute(const QString& name) {
  xmlNode* element = Element("getAttribute");
  xmlChar* value = xmlGetProp(element, X(name.toUtf8()));
  return value ? Variant(Owned(value)) : Variant::Null();
}

void TXmlNodeObject::SetAttribute(const QString& name, const QString& value) {
  SetXmlAttribute(Element("setAttribute"), name, value);
}

void TXmlNodeObject::RemoveAttribute(const QString& name) {
  xmlNode* element = Element("removeAttribute");
  if (xmlAttr* attr = xmlHasProp(element, X(name.toUtf8()))) {
    // A script may still hold the attribute's node.
    xmlUnlinkNode(reinterpret_cast<xmlNode*>(attr));
    FDom->KeepDetached(reinterpret_cast<xmlNode*>(attr));
  }
}

Variant TXmlNodeObject::AppendChild(const Variant& child) {
  TXmlNodeObject* node = FromValue(child);
  if (!node) throw EAutoObjectError(QStringLiteral("appendChild needs a node"));
  if (FNode->type != XML_ELEMENT_NODE && FNode->type != XML_DOCUMENT_NODE) {
    throw EAutoObjectError(QStringLiteral("Only an element or a document takes children"));
  }
  xmlNode* moved = node->FNode;
  if (moved->type == XML_DOCUMENT_NODE || moved->type == XML_ATTRIBUTE_NODE) {
    throw EAutoObjectError(QStringLiteral("A document or an attribute cannot be appended"));
  }
  if (FNode->type == XML_DOCUMENT_NODE && (moved->type != XML_ELEMENT_NODE || xmlDocGetRootElement(FDom->Doc()))) {
    throw EAutoObjectError(QStringLiteral("A document has only one root element"));
  }
  // A node of another document, or a text node (which libxml2 would merge into a neighbour and
  // free), goes in as a copy; the copy is the node appended.
  if (node->FDom != FDom || moved->type == XML_TEXT_NODE) {
    xmlNode* copy = xmlDocCopyNode(moved, FDom->Doc(), 1);
    if (!copy) throw EAutoObjectError(QStringLiteral("The node cannot be copied"));
    FDom->KeepDetached(copy);
    xmlNode* added = xmlAddChild(FNode, copy);
    return Wrap(FDom, added);
  }
  if (IsAncestorOrSelf(moved, FNode)) throw EAutoObjectError(QStringLiteral("A node cannot be appended below itself"));
  xmlUnlinkNode(moved);
  FDom->KeepDetached(moved);
  xmlAddChild(FNode, moved);
  return Wrap(FDom, moved);
}

Variant TXmlNodeObject::RemoveChild(const Variant& child) {
  TXmlNodeObject* node = FromValue(child);
  if (!node || node->FNode->parent != FNode || node->FNode->type == XML_ATTRIBUTE_NODE) {
    throw EAutoObjectError(QStringLiteral("removeChild needs a child of this node"));
  }
  xmlUnlinkNode(node->FNode);
  FDom->KeepDetached(node->FNode);
  return Wrap(FDom, node->FNode);
}

Variant TXmlNodeObject::SelectNodes(const QString& xpath) {
  ComPtr<TXmlNodeListObject> list = MakeAutoObject<TXmlNodeListObject>(FDom, SelectXmlNodes(FNode, xpath));
  return Variant::FromDispatch(list->AsDispatch());
}

Variant TXmlNodeObject::SelectSingleNode(const QString& xpath) {
  const std::vector<xmlNode*> nodes = SelectXmlNodes(FNode, xpath);
  return nodes.empty() ? Variant::Null() : Wrap(FDom, nodes.front());
}

Variant TXmlNodeObject::CreateElement(const QString& name) {
  const QByteArray utf8 = name.toUtf8();
  if (xmlValidateName(X(utf8), 0) != 0) {
    throw EAutoObjectError(QStringLiteral("\"%1\" is not a valid element name").arg(name));
  }
  xmlNode* element = xmlNewDocNode(FDom->Doc(), nullptr, X(utf8), nullptr);
  FDom->KeepDetached(element);
  return Wrap(FDom, element);
}

Variant TXmlNodeObject::DocumentElement() {
  return FNode->type == XML_DOCUMENT_NODE ? Wrap(FDom, xmlDocGetRootElement(FDom->Doc())) : Variant::Null();
}

std::int32_t TXmlNodeListObject::Length() { return static_cast<std::int32_t>(FNodes.size()); }

Variant TXmlNodeListObject::Item(std::int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= FNodes.size()) return Variant::Null();
  return TXmlNodeObject::Wrap(FDom, FNodes[static_cast<size_t>(index)]);
}

std::int32_t TXmlNodeListObject::GetDynamicDispID(const QString& name, bool ensure) {
  bool numeric = false;
  const int index = name.toInt(&numeric);
  if (!numeric || index < 0 || static_cast<size_t>(index) >= FNodes.size()) return -1;
  return kFirstItemId + index;
}

HRESULT TXmlNodeListObject::InvokeDynamic(std::int32_t index, LCID, std::uint16_t flags, DISPPARAMS*,
                                          Variant* result, EXCEPINFO*, IUnknown*) {
  if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
  if (!result) return E_POINTER;
  *result = Item(index - kFirstItemId);
  return S_OK;
}

}  // namespace pw
