#include "generator/Template.h"

#include "platform/AsciiCase.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <zip.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace pw {

namespace {

constexpr char kTemplateXml[] = "template.xml";
constexpr char kThumbnail[] = "template.png";
constexpr char kTemplateFolder[] = "template";

std::string NormalizeEntryName(const char* name) {
  std::string normalized = name ? name : "";
  std::replace(normalized.begin(), normalized.end(), '\\', '/');
  return normalized;
}

// libzip's words for an error code, with the system's reason where it has one.
QString ZipErrorText(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  QString text = QString::fromUtf8(zip_error_strerror(&error));
  zip_error_fini(&error);
  return text;
}

bool ReadIndex(zip* archive, zip_uint64_t index, std::string& bytes) {
  zip_file_t* file = zip_fopen_index(archive, index, 0);
  if (!file) return false;
  std::string data;
  char buffer[64 * 1024];
  for (;;) {
    zip_int64_t got = zip_fread(file, buffer, sizeof buffer);
    if (got < 0) {
      zip_fclose(file);
      return false;
    }
    if (got == 0) break;
    data.append(buffer, static_cast<size_t>(got));
  }
  zip_fclose(file);
  bytes = std::move(data);
  return true;
}

struct XmlDocDeleter {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocDeleter>;

XmlDocPtr ParseXml(std::string_view bytes) {
  if (bytes.empty()) return nullptr;
  return XmlDocPtr(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), kTemplateXml, nullptr,
                                 XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

// The text of the root's first child element of that name; false when there is none.
bool ChildText(xmlDoc* doc, const char* name, std::string& text) {
  xmlNode* root = doc ? xmlDocGetRootElement(doc) : nullptr;
  if (!root) return false;
  for (xmlNode* child = root->children; child; child = child->next) {
    if (child->type != XML_ELEMENT_NODE || xmlStrcmp(child->name, BAD_CAST name) != 0) continue;
    xmlChar* content = xmlNodeGetContent(child);
    text = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return true;
  }
  return false;
}

// Text that XML 1.0 can carry: control characters other than tab, LF and CR are left out.
std::string XmlSafe(std::string_view utf8) {
  QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  QString kept;
  kept.reserve(text.size());
  for (QChar c : text) {
    char16_t u = c.unicode();
    if (u < 0x20 && u != '\t' && u != '\n' && u != '\r') continue;
    if (u == 0xFFFE || u == 0xFFFF) continue;
    kept.append(c);
  }
  return kept.toStdString();
}

}  // namespace

TTemplate::~TTemplate() { Close(); }

void TTemplate::Close() {
  if (FArchive) zip_discard(FArchive);
  FArchive = nullptr;
}

bool TTemplate::LoadTemplateInfo(const QString& path, QString* error) {
  Close();
  FTitle = QFileInfo(platform::NormalizeSeparators(path)).completeBaseName();
  int code = 0;
  FArchive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
  if (!FArchive) {
    if (error) *error = ZipErrorText(code);
    return false;
  }
  std::string xml, title;
  if (ReadEntry(kTemplateXml, xml)) {
    XmlDocPtr doc = ParseXml(xml);
    if (ChildText(doc.get(), "title", title)) FTitle = QString::fromUtf8(title);
  }
  return true;
}

bool TTemplate::ReadEntry(std::string_view name, std::string& bytes) const {
  if (!FArchive) return false;
  std::string wanted = NormalizeEntryName(std::string(name).c_str());
  zip_int64_t count = zip_get_num_entries(FArchive, 0);
  zip_int64_t caseless = -1;
  for (zip_int64_t i = 0; i < count; ++i) {
    std::string entry = NormalizeEntryName(zip_get_name(FArchive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS));
    if (entry == wanted) return ReadIndex(FArchive, static_cast<zip_uint64_t>(i), bytes);
    if (caseless < 0 && platform::EqualsIgnoringAsciiCase(entry, wanted)) caseless = i;
  }
  return caseless >= 0 && ReadIndex(FArchive, static_cast<zip_uint64_t>(caseless), bytes);
}

std::string TTemplate::Content() const {
  std::string xml, content;
  if (!ReadEntry(kTemplateXml, xml)) return {};
  XmlDocPtr doc = ParseXml(xml);
  ChildText(doc.get(), "content", content);
  return content;
}

bool TTemplate::ExtractTemplateFolder(const QString& projectFolder, QString* error) const {
  // The first failure is the one worth telling; the rest of the folder is still unpacked.
  auto failed = [&](const QString& reason) {
    if (error && error->isEmpty()) *error = reason;
    return false;
  };
  if (error) error->clear();
  if (!FArchive) return failed(QStringLiteral("No site template is open"));
  QString templateRoot = platform::IncludeTrailingSeparator(platform::NormalizeSeparators(projectFolder)) +
                         QLatin1String(kTemplateFolder) + u'/';
  if (!platform::ForceDirectories(templateRoot))
    return failed(QStringLiteral("Cannot create the folder \"%1\"").arg(templateRoot));
  const std::string prefix = std::string(kTemplateFolder) + '/';
  bool ok = true;
  zip_int64_t count = zip_get_num_entries(FArchive, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    std::string entry = NormalizeEntryName(zip_get_name(FArchive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS));
    if (entry.size() <= prefix.size() || !platform::EqualsIgnoringAsciiCase(entry.substr(0, prefix.size()), prefix)) continue;
    // Confined to the template folder: "..", absolute names and drives are skipped.
    QString target = platform::ConfinedJoin(templateRoot, QString::fromStdString(entry.substr(prefix.size())));
    if (target.isEmpty()) continue;
    if (entry.back() == '/') {
      if (!platform::ForceDirectories(target)) ok = failed(QStringLiteral("Cannot create the folder \"%1\"").arg(target));
      continue;
    }
    std::string bytes;
    if (!ReadIndex(FArchive, static_cast<zip_uint64_t>(i), bytes)) {
      ok = failed(QStringLiteral("Cannot read the entry \"%1\": %2")
                      .arg(QString::fromStdString(entry), QString::fromUtf8(zip_strerror(FArchive))));
      continue;
    }
    QString message;
    if (!platform::WriteWholeFile(target, bytes, &message)) ok = failed(message);
  }
  return ok;
}

std::string SerializeTemplateXml(const QString& title, std::string_view content) {
  xmlDoc* doc = xmlNewDoc(BAD_CAST "1.0");
  xmlNode* root = xmlNewNode(nullptr, BAD_CAST "pwtmpl");
  xmlDocSetRootElement(doc, root);
  std::string safeTitle = XmlSafe(title.toStdString());
  std::string safeContent = XmlSafe(content);
  xmlNewTextChild(root, nullptr, BAD_CAST "title", BAD_CAST safeTitle.c_str());
  xmlNewTextChild(root, nullptr, BAD_CAST "content", BAD_CAST safeContent.c_str());
  xmlBuffer* buffer = xmlBufferCreate();
  xmlNodeDump(buffer, doc, root, 0, 0);
  std::string xml(reinterpret_cast<const char*>(xmlBufferContent(buffer)), static_cast<size_t>(xmlBufferLength(buffer)));
  xmlBufferFree(buffer);
  xmlFreeDoc(doc);
  return xml;
}

bool SaveSiteTemplate(const QString& path, const TSiteTemplateSource& source, QString* error) {
  auto fail = [&](const QString& message) {
    if (error) *error = message;
    return false;
  };
  QString target = platform::NormalizeSeparators(path);
  if (target.isEmpty()) return fail(QStringLiteral("No file name given."));
  QString folder = platform::ExtractFileDir(target);
  if (!folder.isEmpty() && !platform::ForceDirectories(folder))
    return fail(QStringLiteral("Cannot create the folder %1.").arg(folder));

  // Buffers handed to libzip must live until zip_close.
  std::vector<std::unique_ptr<std::string>> buffers;
  int zipError = 0;
  zip* archive = zip_open(QFile::encodeName(target).constData(), ZIP_CREATE | ZIP_TRUNCATE, &zipError);
  if (!archive) return fail(QStringLiteral("Cannot create %1: %2").arg(target, ZipErrorText(zipError)));
  auto add = [&](const std::string& name, std::string bytes) {
    buffers.push_back(std::make_unique<std::string>(std::move(bytes)));
    zip_source_t* data = zip_source_buffer(archive, buffers.back()->data(), buffers.back()->size(), 0);
    if (!data) return false;
    if (zip_file_add(archive, name.c_str(), data, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
      zip_source_free(data);
      return false;
    }
    return true;
  };

  bool ok = add(kTemplateXml, SerializeTemplateXml(source.Title, source.Content));

  QString projectFolder = platform::IncludeTrailingSeparator(platform::NormalizeSeparators(source.ProjectFolder));
  QString templateFolder = projectFolder + QLatin1String(kTemplateFolder);
  QStringList files;
  QDirIterator it(templateFolder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
  while (it.hasNext()) files.append(it.next());
  files.sort();
  for (const QString& file : files) {
    std::string bytes;
    if (!platform::ReadWholeFile(file, bytes)) {
      ok = false;
      continue;
    }
    QString relative = QDir(projectFolder).relativeFilePath(file);
    ok = add(relative.toStdString(), std::move(bytes)) && ok;
  }

  std::string png;
  if (source.RenderThumbnail && source.RenderThumbnail(png) && !png.empty()) ok = add(kThumbnail, std::move(png)) && ok;

  if (!ok) {
    zip_discard(archive);
    return fail(QStringLiteral("Cannot pack the template folder into %1.").arg(target));
  }
  if (zip_close(archive) != 0) {
    QString message = QString::fromUtf8(zip_strerror(archive));
    zip_discard(archive);
    return fail(QStringLiteral("Cannot write %1: %2").arg(target, message));
  }
  return true;
}

}  // namespace pw
