#include "core/ProjectFile.h"

#include "platform/CodePage.h"
#include "platform/CredentialCipher.h"
#include "platform/FileIO.h"
#include "platform/RegularFileRead.h"
#include "platform/TextDecoding.h"
#include "platform/XmlDocument.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <memory>
#include <optional>

namespace pw {
namespace {

using TDocPtr = platform::TXmlDocPtr;

bool NameIs(const xmlNode* node, const char* name) {
  return node->type == XML_ELEMENT_NODE && xmlStrcmp(node->name, BAD_CAST name) == 0;
}

const xmlNode* FirstChild(const xmlNode* parent, const char* name) {
  for (const xmlNode* n = parent ? parent->children : nullptr; n; n = n->next) {
    if (NameIs(n, name)) return n;
  }
  return nullptr;
}

// The element's text: every text and CDATA node below it, in document order. References to
// entities a document declares itself are left out, so that nested entities cannot blow up.
// The walk keeps no stack of its own, so no nesting can exhaust one.
void AppendText(const xmlNode* node, std::string& out) {
  const xmlNode* n = node->children;
  while (n) {
    if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
      if (n->content) out += reinterpret_cast<const char*>(n->content);
    } else if (n->type == XML_ELEMENT_NODE && n->children) {
      n = n->children;
      continue;
    }
    while (!n->next && n->parent != node) n = n->parent;
    n = n->next;
  }
}

std::string ElementText(const xmlNode* node) {
  std::string text;
  if (node) AppendText(node, text);
  return text;
}

QString ElementQText(const xmlNode* node) { return QString::fromStdString(ElementText(node)); }

// The attribute's value, or nothing when the element lacks it.
std::optional<QString> Attribute(const xmlNode* node, const char* name) {
  xmlChar* value = xmlGetNoNsProp(node, BAD_CAST name);
  if (!value) return std::nullopt;
  QString text = QString::fromUtf8(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

// Lines of a stored list; a line break after the last entry adds no empty entry.
QStringList SplitList(const QString& text) {
  QStringList list;
  qsizetype start = 0;
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    if (text[i] != u'\r' && text[i] != u'\n') continue;
    list.append(text.mid(start, i - start));
    if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  if (start < n) list.append(text.mid(start));
  return list;
}

void ReadSettings(const xmlNode* settings, TProjectState& state) {
  if (auto v = Attribute(settings, "FTPServer")) state.FTPServer = *v;
  if (auto v = Attribute(settings, "FTPUserName")) state.FTPUserName = DecipherCredential(*v);
  if (auto v = Attribute(settings, "FTPPassword")) state.FTPPassword = DecipherCredential(*v);
  if (auto v = Attribute(settings, "FTPPort")) state.FTPPort = *v;
  if (auto v = Attribute(settings, "FTPRemoteRoot")) state.FTPRemoteRoot = *v;
  if (auto v = Attribute(settings, "FTPPassiveMode")) state.FTPPassiveMode = *v == u"1";
  if (auto v = Attribute(settings, "UploadChangesOnly")) state.UploadChangesOnly = *v == u"1";
  if (const xmlNode* files = FirstChild(settings, "UploadFiles")) state.UploadFiles = SplitList(ElementQText(files));
}

void ReadOlderConfig(const xmlNode* config, TProjectState& state) {
  if (auto n = FirstChild(config, "server")) state.FTPServer = ElementQText(n);
  if (auto n = FirstChild(config, "username")) state.FTPUserName = DecipherCredential(ElementQText(n));
  if (auto n = FirstChild(config, "password")) state.FTPPassword = DecipherCredential(ElementQText(n));
  if (auto n = FirstChild(config, "port")) state.FTPPort = ElementQText(n);
  if (auto n = FirstChild(config, "directory")) state.FTPRemoteRoot = ElementQText(n);
  const xmlNode* passive = FirstChild(config, "passivemode");
  state.FTPPassiveMode = !passive || ElementText(passive) == "1";
  const xmlNode* changes = FirstChild(config, "onlychanges");
  state.UploadChangesOnly = !changes || ElementText(changes) == "1";
  if (auto n = FirstChild(config, "filelist")) state.UploadFiles = SplitList(ElementQText(n));
}

bool IsXmlChar(char32_t c) {
  if (c < 0x20) return c == 0x09 || c == 0x0A || c == 0x0D;
  return c != 0xFFFE && c != 0xFFFF;
}

// Text that XML 1.0 can carry: invalid UTF-8 becomes U+FFFD and disallowed characters go.
std::string XmlSafe(std::string_view text) {
  bool clean = platform::IsValidUtf8(text);
  if (clean) {
    for (size_t i = 0; i < text.size() && clean; ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) clean = false;
      if (c == 0xEF && text.substr(i, 3).size() == 3 && text[i + 1] == '\xBF' &&
          (text[i + 2] == '\xBE' || text[i + 2] == '\xBF'))
        clean = false;
    }
  }
  if (clean) return std::string(text);
  const QString decoded = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  QString kept;
  kept.reserve(decoded.size());
  for (QChar c : decoded) {
    if (IsXmlChar(c.unicode())) kept.append(c);
  }
  return kept.toStdString();
}

std::string XmlSafe(const QString& text) { return XmlSafe(text.toStdString()); }

xmlNode* AddTextChild(xmlNode* parent, const char* name, const std::string& text) {
  xmlNode* node = xmlNewChild(parent, nullptr, BAD_CAST name, nullptr);
  xmlAddChild(node, xmlNewTextLen(BAD_CAST text.data(), static_cast<int>(text.size())));
  return node;
}

void SetAttribute(xmlNode* node, const char* name, const QString& value) {
  xmlSetProp(node, BAD_CAST name, BAD_CAST XmlSafe(value).c_str());
}

bool LooksLikeXml(std::string_view bytes) {
  // The opening characters, whatever encoding a byte-order mark names.
  const QString head = platform::DecodeUnmarkedText(bytes.substr(0, 128)).trimmed();
  if (head.startsWith(u"<?xml")) return true;
  // The element "project", not a word that merely begins so.
  return head.startsWith(u"<project") && (head.size() == 8 || QStringView(u" \t\r\n>/").contains(head[8]));
}

}  // namespace

bool ParseProjectFile(std::string_view bytes, TProjectFileData& data, QString* error) {
  data = TProjectFileData();
  QString parseError;
  TDocPtr doc = platform::ReadXmlDocument(bytes, &parseError);
  const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (!root) {
    // A cut or damaged project file must not pass for plain text: a build would then write
    // its raw text over the pages.
    if (LooksLikeXml(bytes)) {
      if (error) *error = QStringLiteral("The project file is damaged: %1").arg(parseError);
      return false;
    }
    data.PlainText = true;
    data.Content = platform::DecodeUnmarkedTextToUtf8(bytes);
    return true;
  }
  data.Content = ElementText(FirstChild(root, "content"));
  data.Script = ElementText(FirstChild(root, "script"));
  if (const xmlNode* settings = FirstChild(root, "Settings")) {
    ReadSettings(settings, data.State);
  } else if (const xmlNode* config = FirstChild(root, "config")) {
    ReadOlderConfig(config, data.State);
  }
  return true;
}

TProjectFileData ParseProjectFile(std::string_view bytes) {
  TProjectFileData data;
  ParseProjectFile(bytes, data);
  return data;
}

bool LoadProjectFile(const QString& path, TProjectFileData& data, QString* error) {
  std::string bytes;
  if (!platform::ReadRegularFile(path, kMaxProjectFileBytes, bytes, error)) return false;
  return ParseProjectFile(bytes, data, error);
}

std::string SerializeProjectFile(const TProjectFileData& data) {
  TDocPtr doc(xmlNewDoc(BAD_CAST "1.0"));
  xmlNode* root = xmlNewDocNode(doc.get(), nullptr, BAD_CAST "project", nullptr);
  xmlDocSetRootElement(doc.get(), root);
  AddTextChild(root, "content", XmlSafe(data.Content));
  if (!data.Script.empty()) AddTextChild(root, "script", XmlSafe(data.Script));

  const TProjectState& s = data.State;
  xmlNode* settings = xmlNewChild(root, nullptr, BAD_CAST "Settings", nullptr);
  SetAttribute(settings, "FTPServer", s.FTPServer);
  SetAttribute(settings, "FTPUserName", EncipherCredential(s.FTPUserName));
  SetAttribute(settings, "FTPPassword", EncipherCredential(s.FTPPassword));
  SetAttribute(settings, "FTPPort", s.FTPPort);
  SetAttribute(settings, "FTPRemoteRoot", s.FTPRemoteRoot);
  SetAttribute(settings, "FTPPassiveMode", s.FTPPassiveMode ? QStringLiteral("1") : QStringLiteral("0"));
  SetAttribute(settings, "UploadChangesOnly", s.UploadChangesOnly ? QStringLiteral("1") : QStringLiteral("0"));
  QString files;
  for (const QString& f : s.UploadFiles) files += f + u'\n';
  AddTextChild(settings, "UploadFiles", XmlSafe(files));

  xmlChar* buffer = nullptr;
  int size = 0;
  xmlDocDumpFormatMemoryEnc(doc.get(), &buffer, &size, "UTF-8", 1);
  std::string bytes(reinterpret_cast<const char*>(buffer), static_cast<size_t>(size));
  xmlFree(buffer);
  return bytes;
}

bool SaveProjectFile(const QString& path, const TProjectFileData& data, QString* error) {
  return platform::WriteWholeFile(path, SerializeProjectFile(data), error);
}

bool SaveProjectUploadFiles(const QString& path, const QStringList& uploadFiles, QString* error) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes, error)) return false;
  TDocPtr doc;
  if (!bytes.empty() && bytes.size() <= static_cast<size_t>(INT_MAX)) {
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE;
    doc.reset(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, options));
  }
  xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (!root) {
    if (error) *error = QStringLiteral("\"%1\" is not an XML project file").arg(path);
    return false;
  }
  auto child = [](xmlNode* parent, const char* name) {
    xmlNode* node = const_cast<xmlNode*>(FirstChild(parent, name));
    return node ? node : xmlNewChild(parent, nullptr, BAD_CAST name, nullptr);
  };
  xmlNode* settings = const_cast<xmlNode*>(FirstChild(root, "Settings"));
  const xmlNode* config = FirstChild(root, "config");
  xmlNode* list = (!settings && config) ? child(const_cast<xmlNode*>(config), "filelist")
                                        : child(settings ? settings : child(root, "Settings"), "UploadFiles");
  while (list->children) {
    xmlNode* old = list->children;
    xmlUnlinkNode(old);
    xmlFreeNode(old);
  }
  QString text;
  for (const QString& f : uploadFiles) text += f + u'\n';
  const std::string safe = XmlSafe(text);
  xmlAddChild(list, xmlNewTextLen(BAD_CAST safe.data(), static_cast<int>(safe.size())));

  // Unformatted and in the document's own encoding, so that the rest stays as it was.
  xmlChar* buffer = nullptr;
  int size = 0;
  const char* encoding = doc->encoding ? reinterpret_cast<const char*>(doc->encoding) : "UTF-8";
  xmlDocDumpMemoryEnc(doc.get(), &buffer, &size, encoding);
  if (!buffer) {
    if (error) *error = QStringLiteral("Cannot write the document in its encoding %1").arg(QString::fromUtf8(encoding));
    return false;
  }
  std::string out(reinterpret_cast<const char*>(buffer), static_cast<size_t>(size));
  xmlFree(buffer);
  return platform::WriteWholeFile(path, out, error);
}

}  // namespace pw
