// The script face of XML documents (held by the XML object and handed out by its Document,
// Node, Select and SelectNode): a subset of the DOM that scripts use, over libxml2.
//  - TXmlDom: one document and the nodes taken out of it; shared by every wrapper of its nodes,
//    so a node a script holds stays valid after removeChild or after the XML object loads
//    another document.
//  - TXmlNodeObject: a document, element, attribute, text or other node: nodeName, nodeType,
//    text, xml, childNodes, attributes, parentNode, firstChild, lastChild, nextSibling,
//    previousSibling, getAttribute, setAttribute, removeAttribute, appendChild, removeChild,
//    selectNodes, selectSingleNode, createElement, documentElement.
//  - TXmlNodeListObject: a fixed list of nodes with length and item(i); list[i] works too, so
//    Enumerator walks it.
// XPath is libxml2's, evaluated with the current node as context and the namespaces declared on
// the document element by their prefixes. Documents are never loaded with external entities or
// network access. Not thread-safe: a document belongs to the script thread that made it.
#pragma once

#include <QString>

#include <libxml/tree.h>

#include <memory>
#include <vector>

#include "platform/XmlDocument.h"
#include "scripting/AutoObject.h"

namespace pw {

class TXmlDom {
 public:
  explicit TXmlDom(platform::TXmlDocPtr doc) : FDoc(std::move(doc)) {}
  ~TXmlDom();
  TXmlDom(const TXmlDom&) = delete;
  TXmlDom& operator=(const TXmlDom&) = delete;

  xmlDoc* Doc() const { return FDoc.get(); }
  // A node of this document without a parent (made, or removed from the tree); freed with the
  // document unless it is back in the tree by then.
  void KeepDetached(xmlNode* node) { FDetached.push_back(node); }

 private:
  platform::TXmlDocPtr FDoc;
  std::vector<xmlNode*> FDetached;
};
using TXmlDomPtr = std::shared_ptr<TXmlDom>;

// Parses a whole document with the hardened reader; null with the reason.
TXmlDomPtr ParseXmlDom(const QByteArray& bytes, QString* error = nullptr);

// Text helpers over libxml2 nodes, shared by the XML and feed objects.
QString XmlNodeText(const xmlNode* node);
// Replaces the node's children with one text node (taken literally, never as markup). The old
// children are kept by keep, when given, since scripts may hold them; else freed.
void SetXmlNodeText(xmlNode* node, const QString& text, TXmlDom* keep = nullptr);
QString XmlAttribute(const xmlNode* node, const QString& name);
void SetXmlAttribute(xmlNode* node, const QString& name, const QString& value);
// The serialised markup of the node (the whole document for a document node).
QString XmlMarkup(xmlNode* node);
// The nodes an XPath expression selects with the node as context. Throws EAutoObjectError
// for an expression that is not valid XPath.
std::vector<xmlNode*> SelectXmlNodes(xmlNode* context, const QString& xpath);
// A new element appended to the parent.
xmlNode* AppendXmlElement(xmlNode* parent, const QString& name);

class TXmlNodeObject : public TCustomAutoObject {
  PW_AUTO_CLASS(TXmlNodeObject, TCustomAutoObject)

 public:
  TXmlNodeObject(TXmlDomPtr dom, xmlNode* node) : FDom(std::move(dom)), FNode(node) {}

  // The wrapper of a node (null for none) as a script value.
  static Variant Wrap(const TXmlDomPtr& dom, xmlNode* node);
  // The node behind a script value, when it is a node of this kind; null otherwise.
  static TXmlNodeObject* FromValue(const Variant& value);

  const TXmlDomPtr& Dom() const { return FDom; }
  xmlNode* Node() const { return FNode; }

  QString NodeName();
  std::int32_t NodeType();
  QString Text();
  void SetText(const QString& text);
  QString Xml();
  Variant ChildNodes();
  Variant Attributes();
  Variant ParentNode();
  Variant FirstChild();
  Variant LastChild();
  Variant NextSibling();
  Variant PreviousSibling();
  Variant GetAttribute(const QString& name);
  void SetAttribute(const QString& name, const QString& value);
  void RemoveAttribute(const QString& name);
  Variant AppendChild(const Variant& child);
  Variant RemoveChild(const Variant& child);
  Variant SelectNodes(const QString& xpath);
  Variant SelectSingleNode(const QString& xpath);
  Variant CreateElement(const QString& name);
  Variant DocumentElement();

 protected:
  ~TXmlNodeObject() override = default;

 private:
  xmlNode* Element(const char* operation) const;

  TXmlDomPtr FDom;
  xmlNode* FNode;
};

class TXmlNodeListObject : public TCustomAutoObject {
  PW_AUTO_CLASS(TXmlNodeListObject, TCustomAutoObject)

 public:
  TXmlNodeListObject(TXmlDomPtr dom, std::vector<xmlNode*> nodes) : FDom(std::move(dom)), FNodes(std::move(nodes)) {}

  std::int32_t Length();
  // Null past the end, as a DOM list gives.
  Variant Item(std::int32_t index);

 protected:
  ~TXmlNodeListObject() override = default;
  // list[i]: the numeric names are the items.
  std::int32_t GetDynamicDispID(const QString& name, bool ensure) override;
  HRESULT InvokeDynamic(std::int32_t index, LCID lcid, std::uint16_t flags, DISPPARAMS* params,
                        Variant* result, EXCEPINFO* excepInfo, IUnknown* caller) override;

 private:
  TXmlDomPtr FDom;
  std::vector<xmlNode*> FNodes;
};

}  // namespace pw
