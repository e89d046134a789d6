#include "generator/Template.h"

#include "platform/AsciiCase.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "platform/RegularFileRead.h"
#include "platform/StaleTemporaries.h"
#include "platform/SystemError.h"
#include "platform/XmlDocument.h"
#include "platform/ZipLibrary.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <libxml/tree.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <unistd.h>
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

QString EntryError(const std::string& entry, const QString& reason) {
  return QStringLiteral("Entry \"%1\": %2").arg(QString::fromStdString(entry), reason);
}

QString TooLarge(std::int64_t limit) {
  return QStringLiteral("it unpacks to more than %1").arg(platform::FormatByteLimit(limit));
}

// Reads the entry into memory, at most TTemplate::kMaxEntryBytes of it.
bool ReadIndex(zip* archive, zip_uint64_t index, std::string& bytes, QString* error) {
  const std::string name = NormalizeEntryName(zip_get_name(archive, index, ZIP_FL_ENC_GUESS));
  zip_file_t* file = zip_fopen_index(archive, index, 0);
  if (!file) {
    if (error) *error = EntryError(name, QString::fromUtf8(zip_strerror(archive)));
    return false;
  }
  std::string data;
  char buffer[64 * 1024];
  for (;;) {
    const zip_int64_t got = zip_fread(file, buffer, sizeof buffer);
    if (got < 0 || static_cast<std::int64_t>(data.size()) + got > TTemplate::kMaxEntryBytes) {
      if (error) {
        *error = EntryError(name, got < 0 ? QString::fromUtf8(zip_file_strerror(file))
                                          : TooLarge(TTemplate::kMaxEntryBytes));
      }
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

// Streams the entry into the file target, counting it against the entry and total limits.
// Failures to read or to stay within a limit name the entry; failures to write name the file.
bool ExtractIndex(zip* archive, zip_uint64_t index, const std::string& name, const QString& target,
                  std::int64_t& total, QString* error) {
  auto fail = [&](const QString& reason) {
    if (error) *error = reason;
    return false;
  };
  const QString folder = platform::ExtractFileDir(target);
  QString reason;
  if (!platform::ForceDirectories(folder, &reason))
    return fail(QStringLiteral("Cannot create the folder \"%1\": %2").arg(folder, reason));
  if (QFileInfo(target).isDir()) return fail(QStringLiteral("\"%1\" is a folder, not a file").arg(target));
  QFile out(target);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return fail(QStringLiteral("Cannot create \"%1\": %2").arg(target, out.errorString()));
  zip_file_t* file = zip_fopen_index(archive, index, 0);
  if (!file) {
    out.close();
    out.remove();
    return fail(EntryError(name, QString::fromUtf8(zip_strerror(archive))));
  }
  std::int64_t size = 0;
  char buffer[64 * 1024];
  for (;;) {
    const zip_int64_t got = zip_fread(file, buffer, sizeof buffer);
    if (got < 0) {
      reason = EntryError(name, QString::fromUtf8(zip_file_strerror(file)));
      break;
    }
    if (got == 0) break;
    size += got;
    total += got;
    if (size > TTemplate::kMaxEntryBytes) {
      reason = EntryError(name, TooLarge(TTemplate::kMaxEntryBytes));
      break;
    }
    if (total > TTemplate::kMaxTotalBytes) {
      reason = EntryError(name, QStringLiteral("the template unpacks to more than %1")
                                    .arg(platform::FormatByteLimit(TTemplate::kMaxTotalBytes)));
      break;
    }
    if (out.write(buffer, got) != got) {
      reason = QStringLiteral("Cannot write \"%1\": %2").arg(target, out.errorString());
      break;
    }
  }
  zip_fclose(file);
  if (reason.isEmpty() && !out.flush())
    reason = QStringLiteral("Cannot write \"%1\": %2").arg(target, out.errorString());
  out.close();
  if (reason.isEmpty()) return true;
  out.remove();
  return fail(reason);
}

// The sizes the archive declares, against the limits, before anything is unpacked.
bool CheckDeclaredSizes(zip* archive, QString* error) {
  auto fail = [&](const QString& reason) {
    if (error) *error = reason;
    return false;
  };
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  if (count > TTemplate::kMaxEntries)
    return fail(QStringLiteral("It holds %1 entries, more than %2").arg(count).arg(TTemplate::kMaxEntries));
  std::int64_t total = 0;
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat) != 0)
      return fail(QString::fromUtf8(zip_strerror(archive)));
    if (!(stat.valid & ZIP_STAT_SIZE)) continue;
    const std::string name = NormalizeEntryName(stat.name);
    const auto size = static_cast<std::int64_t>(std::min<zip_uint64_t>(stat.size, INT64_MAX / 2));
    if (size > TTemplate::kMaxEntryBytes) return fail(EntryError(name, TooLarge(TTemplate::kMaxEntryBytes)));
    total += size;
    if (total > TTemplate::kMaxTotalBytes) {
      return fail(
          QStringLiteral("It unpacks to more than %1").arg(platform::FormatByteLimit(TTemplate::kMaxTotalBytes)));
    }
    const auto packed = std::max<std::int64_t>(static_cast<std::int64_t>(stat.comp_size), 1);
    if ((stat.valid & ZIP_STAT_COMP_SIZE) && size > TTemplate::kRatioFloorBytes &&
        size / packed > TTemplate::kMaxCompressionRatio) {
      return fail(EntryError(name, QStringLiteral("it unpacks to more than %1 times its packed size")
                                       .arg(TTemplate::kMaxCompressionRatio)));
    }
  }
  return true;
}

using XmlDocPtr = platform::TXmlDocPtr;

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
  auto fail = [&](const QString& reason) {
    Close();
    if (error) *error = reason;
    return false;
  };
  FTitle = QFileInfo(platform::NormalizeSeparators(path)).completeBaseName();
  if (QFileInfo(path).isDir()) return fail(QStringLiteral("It is a folder"));
  QString reason;
  if (!platform::LoadZip(&reason)) return fail(QStringLiteral("Cannot load the zip library: ") + reason);
  int code = 0;
  FArchive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
  if (!FArchive) return fail(ZipErrorText(code));
  if (!CheckDeclaredSizes(FArchive, &reason)) return fail(reason);
  if (FindEntry(kTemplateXml) < 0) return true;
  std::string xml, title;
  if (!ReadEntry(kTemplateXml, xml, &reason)) return fail(reason);
  // A damaged or hostile descriptor gives no title and no content, as an absent one does.
  XmlDocPtr doc = platform::ReadXmlDocument(xml);
  if (ChildText(doc.get(), "title", title)) FTitle = QString::fromUtf8(title);
  return true;
}

std::int64_t TTemplate::FindEntry(std::string_view name) const {
  if (!FArchive) return -1;
  const std::string wanted = NormalizeEntryName(std::string(name).c_str());
  const zip_int64_t count = zip_get_num_entries(FArchive, 0);
  zip_int64_t caseless = -1;
  for (zip_int64_t i = 0; i < count; ++i) {
    std::string entry = NormalizeEntryName(zip_get_name(FArchive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS));
    if (entry == wanted) return i;
    if (caseless < 0 && platform::EqualsIgnoringAsciiCase(entry, wanted)) caseless = i;
  }
  return caseless;
}

bool TTemplate::ReadEntry(std::string_view name, std::string& bytes, QString* error) const {
  const std::int64_t index = FindEntry(name);
  if (index < 0) {
    if (error) {
      *error = QStringLiteral("There is no entry \"%1\"")
                   .arg(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }
    return false;
  }
  return ReadIndex(FArchive, static_cast<zip_uint64_t>(index), bytes, error);
}

std::string TTemplate::Content() const {
  std::string xml, content;
  if (!ReadEntry(kTemplateXml, xml)) return {};
  XmlDocPtr doc = platform::ReadXmlDocument(xml);
  ChildText(doc.get(), "content", content);
  return content;
}

bool TTemplate::ExtractTemplateFolder(const QString& projectFolder, QString* error) const {
  return ExtractTemplateFolderInto(platform::IncludeTrailingSeparator(platform::NormalizeSeparators(projectFolder)) +
                                       QLatin1String(kTemplateFolder) + u'/',
                                   error);
}

bool TTemplate::ExtractTemplateFolderInto(const QString& folder, QString* error) const {
  auto fail = [&](const QString& reason) {
    if (error) *error = reason;
    return false;
  };
  if (!FArchive) return fail(QStringLiteral("No site template is open"));
  const QString templateRoot = platform::IncludeTrailingSeparator(platform::NormalizeSeparators(folder));
  QString reason;
  if (!platform::ForceDirectories(templateRoot, &reason))
    return fail(QStringLiteral("Cannot create the folder \"%1\": %2").arg(templateRoot, reason));
  const std::string prefix = std::string(kTemplateFolder) + '/';
  std::int64_t total = 0;
  const zip_int64_t count = zip_get_num_entries(FArchive, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    std::string entry = NormalizeEntryName(zip_get_name(FArchive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS));
    if (entry.size() <= prefix.size() || !platform::EqualsIgnoringAsciiCase(entry.substr(0, prefix.size()), prefix))
      continue;
    // Confined to the template folder: "..", absolute names and drives are skipped.
    QString target = platform::ConfinedJoin(templateRoot, QString::fromStdString(entry.substr(prefix.size())));
    if (target.isEmpty()) continue;
    if (entry.back() == '/') {
      if (!platform::ForceDirectories(target, &reason))
        return fail(QStringLiteral("Cannot create the folder \"%1\": %2").arg(target, reason));
      continue;
    }
    if (!ExtractIndex(FArchive, static_cast<zip_uint64_t>(i), entry, target, total, error)) return false;
  }
  return true;
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
  QString reason;
  if (!folder.isEmpty() && !platform::ForceDirectories(folder, &reason))
    return fail(QStringLiteral("Cannot create the folder %1: %2.").arg(folder, reason));

  // The archive is written under a temporary name of our own and renamed into place, so that
  // a killed run leaves nothing that the next one cannot recognise and sweep.
  platform::RemoveStaleTemporaries(folder.isEmpty() ? QStringLiteral(".") : folder);
  const QByteArray temporary = QFile::encodeName(target) + QByteArray::fromStdString(platform::TemporarySuffix());
  if (!platform::LoadZip(&reason)) return fail(QStringLiteral("Cannot load the zip library: ") + reason);
  // Buffers handed to libzip must live until zip_close.
  std::vector<std::unique_ptr<std::string>> buffers;
  int zipError = 0;
  zip* archive = zip_open(temporary.constData(), ZIP_CREATE | ZIP_TRUNCATE, &zipError);
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
    if (!platform::ReadRegularFile(file, TTemplate::kMaxEntryBytes, bytes)) {
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
    ::unlink(temporary.constData());
    return fail(QStringLiteral("Cannot write %1: %2").arg(target, message));
  }
  if (std::rename(temporary.constData(), QFile::encodeName(target).constData()) != 0) {
    const QString message = platform::SystemErrorText();
    ::unlink(temporary.constData());
    return fail(QStringLiteral("Cannot write %1: %2").arg(target, message));
  }
  return true;
}

}  // namespace pw
