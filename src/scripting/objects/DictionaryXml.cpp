// The settings file's form of a dictionary (TDictionaryObject::LoadFromXML / SaveToXML).
#include "scripting/objects/DictionaryObject.h"

#include "platform/Hex.h"

#include <libxml/tree.h>

#include <string>

namespace pw {

namespace {

QString Attribute(xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (!value) return {};
  QString text = QString::fromUtf8(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

QString Text(xmlNode* node) {
  xmlChar* value = xmlNodeGetContent(node);
  if (!value) return {};
  QString text = QString::fromUtf8(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

}  // namespace

void TDictionaryObject::LoadFromXML(_xmlNode* element) {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  StoreClear();
  if (!element) return;
  for (xmlNode* child = element->children; child; child = child->next) {
    if (child->type != XML_ELEMENT_NODE || xmlStrcmp(child->name, X("item")) != 0) continue;
    const QString key = Attribute(child, "name");
    QString type = Attribute(child, "type");
    if (!xmlHasProp(child, X("type"))) type = QStringLiteral("String");
    const QString text = Text(child);
    if (type == QLatin1String("String")) {
      StoreAppend(key, Variant(text));
    } else if (type == QLatin1String("Integer")) {
      StoreAppend(key, Variant(static_cast<std::int32_t>(text.trimmed().toInt())));
    } else if (type == QLatin1String("Binary")) {
      std::string bytes;
      platform::FromHex(text.toStdString(), bytes);
      StoreAppend(key, Variant::FromBytes(QByteArray::fromStdString(bytes)));
    }
  }
}

void TDictionaryObject::SaveToXML(_xmlNode* element) {
  if (!element) return;
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  for (int i = 0; i < StoreLength(); ++i) {
    xmlNode* item = xmlNewChild(element, nullptr, X("item"), nullptr);
    xmlSetProp(item, X("name"), X(StoreKey(i).toUtf8().constData()));
    const Variant value = StoreValue(i).Dereferenced();
    std::string type;
    std::string text;
    switch (value.Type()) {
      case VT_BSTR:
        type = "String";
        text = value.StringValue().toStdString();
        break;
      case VT_BYTESTR:
        type = "String";
        text = value.ByteStringValue();
        break;
      case VT_I2:
      case VT_I4:
      case VT_I8:
      case VT_UI1:
        type = "Integer";
        text = std::to_string(value.IntValue());
        break;
      case VT_BOOL:
        type = "Integer";
        text = value.BoolValue() ? "True" : "False";
        break;
      case VT_ARRAY | VT_UI1:
        type = "Binary";
        text = platform::ToHex(value.Bytes().toStdString());
        break;
      default:
        continue;
    }
    xmlSetProp(item, X("type"), X(type.c_str()));
    // Text, not markup: the node escapes what the value holds.
    xmlNodeAddContentLen(item, X(text.data()), static_cast<int>(text.size()));
  }
}

}  // namespace pw
