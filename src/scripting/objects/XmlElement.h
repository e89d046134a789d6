// TXMLElement: one element of an XML object's document, handed to scripts by the XML object's
// Add: Add (a child), Text and Attr. It keeps the XML object, and so the document, alive.
// Not thread-safe, like its XML object.
#pragma once

#include <QString>

#include "scripting/AutoObject.h"
#include "scripting/objects/XmlNodeObject.h"

namespace pw {

class TXMLElement : public TCustomAutoObject {
  PW_AUTO_CLASS(TXMLElement, TCustomAutoObject)

 public:
  TXMLElement(ComPtr<IDispatch> owner, TXmlDomPtr dom, xmlNode* element)
      : FOwner(std::move(owner)), FDom(std::move(dom)), FElement(element) {}

  Variant Add(const QString& name);
  QString Text();
  void SetText(const QString& text);
  Variant Attr(const QString& name);
  void SetAttr(const QString& name, const Variant& value);

  xmlNode* Element() const { return FElement; }

 protected:
  ~TXMLElement() override = default;

 private:
  ComPtr<IDispatch> FOwner;
  TXmlDomPtr FDom;
  xmlNode* FElement;
};

}  // namespace pw
