// TXMLObject ("XML"): an XML document with a cursor for scripts: a stack of opened elements
// whose top is the current node (the document element when the stack is empty), XML-RPC call
// building, and GET/POST through its own HTTP object. Document, Node, Select and SelectNode
// hand out the DOM script face of XmlNodeObject.h. Every load goes through the hardened reader
// (no entity declarations, no external DTD, no network) and empties the stack; a failed load
// leaves an empty document. A path given to Open with create, SetChildText, SetChildAttr or
// Values is created step by step ("a/b" makes b inside a), each step a plain element name.
// Without a current node the node operations do nothing and give empty or null results.
// Not thread-safe: it belongs to the script thread that made it.
#pragma once

#include <QString>

#include <vector>

#include "scripting/AutoObject.h"
#include "scripting/objects/HttpObject.h"
#include "scripting/objects/XmlNodeObject.h"

namespace pw {

class TXMLElement;

class TXMLObject : public TCustomAutoObject {
  PW_AUTO_CLASS(TXMLObject, TCustomAutoObject)

 public:
  // A document file larger than this is refused; far above any feed or settings file.
  static constexpr qint64 kMaxFileBytes = qint64{256} << 20;

  TXMLObject() = default;

  ComPtr<TXMLObject> CreateDocument(const QString& rootName);
  bool Load(const QString& source);
  bool LoadXML(const QString& text);
  void Save(const QString& file);
  ComPtr<TXMLObject> CreateMethodCall(const QString& methodName);
  Variant AddParamValue(const QString& text);
  bool Get(const QString& url);
  bool Post(const QString& url);
  bool Open(const QString& path, bool create);
  bool OpenNode(const Variant& node);
  void Close();
  ComPtr<TXMLObject> SetAttr(const QString& name, const QString& value);
  ComPtr<TXMLObject> SetText(const QString& text);
  ComPtr<TXMLObject> SetChildText(const QString& child, const QString& text);
  ComPtr<TXMLObject> SetChildAttr(const QString& child, const QString& name, const QString& value);
  Variant Add(const QString& name);
  Variant Select(const QString& xpath);
  Variant SelectNode(const QString& xpath);
  QString Text();
  void PutText(const QString& text);
  QString Attr(const QString& name);
  void PutAttr(const QString& name, const QString& value);
  QString Values(const QString& path);
  void PutValues(const QString& path, const QString& text);
  Variant Node();
  Variant Document();
  QString Xml();
  ComPtr<THTTPObject> HTTP();

  // Host-side: the document (null when empty) and the current node.
  const TXmlDomPtr& Dom() const { return FDom; }
  xmlNode* Current() const;
  // Parses bytes as the new document; false (and an empty document) when they are not XML.
  bool LoadBytes(const QByteArray& bytes, QString* error = nullptr);

 protected:
  ~TXMLObject() override = default;

 private:
  ComPtr<TXMLObject> Self() { return ComPtr<TXMLObject>(this); }
  // The node the path names under the current node, made step by step when create is set.
  xmlNode* Find(const QString& path, bool create);

  TXmlDomPtr FDom;
  std::vector<xmlNode*> FStack;
  ComPtr<THTTPObject> FHttp;
};

}  // namespace pw
