#include "scripting/objects/XmlObject.h"

#include <QRegularExpression>

#include <string>

#include "platform/FileIO.h"
#include "platform/RegularFileRead.h"
#include "scripting/objects/XmlElement.h"

namespace pw {

PW_AUTO_MEMBERS(TXMLObject,
    AutoMethod(1, "CreateDocument", &TXMLObject::CreateDocument),
    AutoMethod(2, "Load", &TXMLObject::Load),
    AutoMethod(3, "LoadXML", &TXMLObject::LoadXML),
    AutoMethod(4, "Save", &TXMLObject::Save),
    AutoMethod(5, "CreateMethodCall", &TXMLObject::CreateMethodCall),
    AutoMethod(6, "AddParamValue", &TXMLObject::AddParamValue),
    AutoMethod(7, "Get", &TXMLObject::Get),
    AutoMethod(8, "Post", &TXMLObject::Post),
    AutoMethod(9, "Open", &TXMLObject::Open),
    AutoMethod(10, "OpenNode", &TXMLObject::OpenNode),
    AutoMethod(11, "Close", &TXMLObject::Close),
    AutoMethod(12, "SetAttr", &TXMLObject::SetAttr),
    AutoMethod(13, "SetText", &TXMLObject::SetText),
    AutoMethod(14, "SetChildText", &TXMLObject::SetChildText),
    AutoMethod(15, "SetChildAttr", &TXMLObject::SetChildAttr),
    AutoMethod(16, "Add", &TXMLObject::Add),
    AutoMethod(17, "Select", &TXMLObject::Select),
    AutoMethod(18, "SelectNode", &TXMLObject::SelectNode),
    AutoProperty(19, "Text", &TXMLObject::Text, &TXMLObject::PutText),
    AutoProperty(20, "Attr", &TXMLObject::Attr, &TXMLObject::PutAttr),
    AutoProperty(DISPID_VALUE, "Values", &TXMLObject::Values, &TXMLObject::PutValues),
    AutoGetter(21, "Node", &TXMLObject::Node),
    AutoGetter(22, "Document", &TXMLObject::Document),
    AutoGetter(23, "XML", &TXMLObject::Xml),
    AutoGetter(24, "HTTP", &TXMLObject::HTTP))

namespace {

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";

bool IsAddress(const QString& source) {
  const QString s = source.trimmed().toLower();
  return s.startsWith(QLatin1String("http://")) || s.startsWith(QLatin1String("https://"));
}

// Text is already decoded, so the charset its declaration names no longer applies.
QByteArray Utf8OfDocumentText(const QString& text) {
  QString copy = text;
  if (copy.startsWith(QChar(0xFEFF))) copy.remove(0, 1);
  if (copy.startsWith(QLatin1String("<?xml"))) {
    const qsizetype end = copy.indexOf(QLatin1String("?>"));
    if (end > 0) {
      static const QRegularExpression encoding(QStringLiteral("encoding\\s*=\\s*([\"'])[^\"']*\\1"));
      QString declaration = copy.left(end);
      declaration.replace(encoding, QStringLiteral("encoding=\"UTF-8\""));
      copy = declaration + copy.mid(end);
    }
  }
  return copy.toUtf8();
}

}  // namespace

xmlNode* TXMLObject::Current() const {
  if (!FStack.empty()) return FStack.back();
  return FDom ? xmlDocGetRootElement(FDom->Doc()) : nullptr;
}

bool TXMLObject::LoadBytes(const QByteArray& bytes, QString* error) {
  FStack.clear();
  FDom = ParseXmlDom(bytes, error);
  return FDom != nullptr;
}

ComPtr<TXMLObject> TXMLObject::CreateDocument(const QString& rootName) {
  const QByteArray name = rootName.toUtf8();
  if (xmlValidateName(reinterpret_cast<const xmlChar*>(name.constData()), 0) != 0) {
    throw EAutoObjectError(QStringLiteral("\"%1\" is not a valid element name").arg(rootName));
  }
  LoadBytes(QByteArray(kDeclaration) + '<' + name + "/>");
  return Self();
}

bool TXMLObject::Load(const QString& source) {
  if (IsAddress(source)) return Get(source);
  std::string bytes;
  if (!platform::ReadRegularFile(source, kMaxFileBytes, bytes)) {
    LoadBytes({});
    return false;
  }
  return LoadBytes(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

bool TXMLObject::LoadXML(const QString& text) { return LoadBytes(Utf8OfDocumentText(text)); }

void TXMLObject::Save(const QString& file) {
  if (!FDom) throw EAutoObjectError(QStringLiteral("There is no document to save"));
  const QByteArray bytes = Xml().toUtf8();
  QString error;
  if (!platform::WriteWholeFile(file, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), &error)) {
    throw EAutoObjectError(error);
  }
}

ComPtr<TXMLObject> TXMLObject::CreateMethodCall(const QString& methodName) {
  // Built as a tree, so any method name stays text.
  CreateDocument(QStringLiteral("methodCall"));
  SetXmlNodeText(AppendXmlElement(Current(), QStringLiteral("methodName")), methodName, FDom.get());
  return Self();
}

Variant TXMLObject::AddParamValue(const QString& text) {
  xmlNode* root = FDom ? xmlDocGetRootElement(FDom->Doc()) : nullptr;
  if (!root) return Variant::Null();
  xmlNode* params = nullptr;
  for (xmlNode* child = root->children; child && !params; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && xmlStrEqual(child->name, BAD_CAST "params")) params = child;
  }
  if (!params) params = AppendXmlElement(root, QStringLiteral("params"));
  xmlNode* value = AppendXmlElement(AppendXmlElement(params, QStringLiteral("param")), QStringLiteral("value"));
  SetXmlNodeText(value, text, FDom.get());
  return TXmlNodeObject::Wrap(FDom, value);
}

bool TXMLObject::Get(const QString& url) {
  QByteArray body;
  if (!HTTP()->Request("GET", url, {}, &body)) {
    LoadBytes({});
    return false;
  }
  return LoadXML(FHttp->ResponseText());
}

bool TXMLObject::Post(const QString& url) {
  HTTP()->SetMimeType(QStringLiteral("text/xml"));
  if (!FHttp->Request("POST", url, Xml().toUtf8(), nullptr)) {
    LoadBytes({});
    return false;
  }
  return LoadXML(FHttp->ResponseText());
}

xmlNode* TXMLObject::Find(const QString& path, bool create) {
  xmlNode* current = Current();
  if (!current) return nullptr;
  const std::vector<xmlNode*> found = SelectXmlNodes(current, path);
  if (!found.empty()) return found.front();
  if (!create) return nullptr;
  for (const QString& step : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    const std::vector<xmlNode*> next = SelectXmlNodes(current, step);
    current = next.empty() ? AppendXmlElement(current, step) : next.front();
  }
  return current;
}

bool TXMLObject::Open(const QString& path, bool create) {
  xmlNode* node = Find(path, create);
  // The stack holds elements: the cursor's operations add children and attributes.
  if (!node || node->type != XML_ELEMENT_NODE) return false;
  FStack.push_back(node);
  return true;
}

bool TXMLObject::OpenNode(const Variant& node) {
  TXmlNodeObject* object = TXmlNodeObject::FromValue(node);
  // Only a node of this document: the stack must not outlive another document's nodes.
  if (!object || object->Dom() != FDom || !object->Node() || object->Node()->type != XML_ELEMENT_NODE) return false;
  FStack.push_back(object->Node());
  return true;
}

void TXMLObject::Close() {
  if (!FStack.empty()) FStack.pop_back();
}

ComPtr<TXMLObject> TXMLObject::SetAttr(const QString& name, const QString& value) {
  SetXmlAttribute(Current(), name, value);
  return Self();
}

ComPtr<TXMLObject> TXMLObject::SetText(const QString& text) {
  PutText(text);
  return Self();
}

ComPtr<TXMLObject> TXMLObject::SetChildText(const QString& child, const QString& text) {
  PutValues(child, text);
  return Self();
}

ComPtr<TXMLObject> TXMLObject::SetChildAttr(const QString& child, const QString& name, const QString& value) {
  SetXmlAttribute(Find(child, true), name, value);
  return Self();
}

Variant TXMLObject::Add(const QString& name) {
  xmlNode* current = Current();
  if (!current) return Variant::Null();
  ComPtr<TXMLElement> element =
      MakeAutoObject<TXMLElement>(ComPtr<IDispatch>(AsDispatch()), FDom, AppendXmlElement(current, name));
  return Variant::FromDispatch(element->AsDispatch());
}

Variant TXMLObject::Select(const QString& xpath) {
  xmlNode* current = Current();
  if (!current) return Variant::Null();
  ComPtr<TXmlNodeListObject> list = MakeAutoObject<TXmlNodeListObject>(FDom, SelectXmlNodes(current, xpath));
  return Variant::FromDispatch(list->AsDispatch());
}

Variant TXMLObject::SelectNode(const QString& xpath) {
  xmlNode* current = Current();
  if (!current) return Variant::Null();
  const std::vector<xmlNode*> nodes = SelectXmlNodes(current, xpath);
  return nodes.empty() ? Variant::Null() : TXmlNodeObject::Wrap(FDom, nodes.front());
}

QString TXMLObject::Text() { return XmlNodeText(Current()); }

void TXMLObject::PutText(const QString& text) { SetXmlNodeText(Current(), text, FDom.get()); }

QString TXMLObject::Attr(const QString& name) { return XmlAttribute(Current(), name); }

void TXMLObject::PutAttr(const QString& name, const QString& value) { SetXmlAttribute(Current(), name, value); }

QString TXMLObject::Values(const QString& path) { return XmlNodeText(Find(path, false)); }

void TXMLObject::PutValues(const QString& path, const QString& text) {
  SetXmlNodeText(Find(path, true), text, FDom.get());
}

Variant TXMLObject::Node() { return TXmlNodeObject::Wrap(FDom, Current()); }

Variant TXMLObject::Document() {
  return FDom ? TXmlNodeObject::Wrap(FDom, reinterpret_cast<xmlNode*>(FDom->Doc())) : Variant::Null();
}

QString TXMLObject::Xml() { return FDom ? XmlMarkup(reinterpret_cast<xmlNode*>(FDom->Doc())) : QString(); }

ComPtr<THTTPObject> TXMLObject::HTTP() {
  if (!FHttp) FHttp = MakeAutoObject<THTTPObject>();
  return FHttp;
}

}  // namespace pw
