#include "scripting/objects/XmlElement.h"

namespace pw {

PW_AUTO_MEMBERS(TXMLElement,
    AutoMethod(1, "Add", &TXMLElement::Add),
    AutoProperty(2, "Text", &TXMLElement::Text, &TXMLElement::SetText),
    AutoProperty(3, "Attr", &TXMLElement::Attr, &TXMLElement::SetAttr))

Variant TXMLElement::Add(const QString& name) {
  xmlNode* child = AppendXmlElement(FElement, name);
  ComPtr<TXMLElement> element = MakeAutoObject<TXMLElement>(FOwner, FDom, child);
  return Variant::FromDispatch(element->AsDispatch());
}

QString TXMLElement::Text() { return XmlNodeText(FElement); }

void TXMLElement::SetText(const QString& text) { SetXmlNodeText(FElement, text, FDom.get()); }

Variant TXMLElement::Attr(const QString& name) {
  xmlChar* value = xmlGetProp(FElement, reinterpret_cast<const xmlChar*>(name.toUtf8().constData()));
  if (!value) return Variant::Null();
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return Variant(text);
}

void TXMLElement::SetAttr(const QString& name, const Variant& value) {
  Variant text;
  if (FAILED(VariantChangeTypeEx(text, value.Dereferenced(), LOCALE_USER_DEFAULT, 0, VT_BSTR))) {
    throw EAutoObjectError(QStringLiteral("An attribute takes text, not %1").arg(value.DebugString()));
  }
  SetXmlAttribute(FElement, name, text.StringValue());
}

}  // namespace pw
