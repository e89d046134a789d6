// TTemplate: a site template file (".pwtmpl"), a zip archive holding "template.xml" (title and
// starting content text), an optional "template.png" thumbnail and the template folder.
// TTemplate owns its open archive and closes it on destruction or the next load.
//
// Errors: every operation answers false (or an empty result) on failure and never throws.
// Entries whose names would leave the target folder (absolute paths, drives, "..") are
// skipped on extraction. Loading checks the archive against the limits below before anything
// is unpacked, and unpacking streams each entry to disk and holds the limits again, since an
// archive may lie about its sizes.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct zip;

namespace pw {

class TTemplate {
 public:
  // No real site template comes near these; a zip bomb passes them all by far.
  static constexpr std::int64_t kMaxEntryBytes = std::int64_t(256) << 20;  // one entry unpacked
  static constexpr std::int64_t kMaxTotalBytes = std::int64_t(1) << 30;    // all entries unpacked
  static constexpr std::int64_t kMaxEntries = 100000;
  // Unpacked to packed size, for entries above kRatioFloorBytes (small files may pack well).
  static constexpr std::int64_t kMaxCompressionRatio = 200;
  static constexpr std::int64_t kRatioFloorBytes = std::int64_t(1) << 20;

  TTemplate() = default;
  ~TTemplate();
  TTemplate(const TTemplate&) = delete;
  TTemplate& operator=(const TTemplate&) = delete;

  // Opens the file read-only as a zip archive; false when it is not one, cannot be read or
  // passes a limit above, with the reason in error ("No such file", "Not a zip archive"). The
  // title is the file's name without folder and extension, or the `title` element of
  // "template.xml" when that entry parses and has one.
  bool LoadTemplateInfo(const QString& path, QString* error = nullptr);
  bool IsOpen() const { return FArchive != nullptr; }
  const QString& Title() const { return FTitle; }

  // The entry's bytes; false with the reason when there is no such entry (names match with
  // '/' or '\') or it cannot be read or unpacks to more than kMaxEntryBytes.
  bool ReadEntry(std::string_view name, std::string& bytes, QString* error = nullptr) const;
  // The `content` element of "template.xml" (UTF-8); empty when missing or not XML.
  std::string Content() const;

  // Unpacks every entry below "template/" into the project folder's "template/" (created when
  // missing), overwriting existing files.
  bool ExtractTemplateFolder(const QString& projectFolder, QString* error = nullptr) const;
  // Unpacks the entries below "template/" into folder itself (created when missing). False
  // with the reason when nothing is open or an entry cannot be read, passes a limit or cannot
  // be written; unpacking stops there, and what was written stays.
  bool ExtractTemplateFolderInto(const QString& folder, QString* error = nullptr) const;

 private:
  void Close();
  // The index of the entry (exact name first, then ignoring ASCII case), or -1.
  std::int64_t FindEntry(std::string_view name) const;

  zip* FArchive = nullptr;
  QString FTitle;
};

// What a site template file is made of.
struct TSiteTemplateSource {
  QString Title;          // the project title
  std::string Content;    // the whole content text, UTF-8
  QString ProjectFolder;  // its "template/" folder is packed with subfolders
  // Renders the built site's first page as a 200x150 PNG; absent or false = no thumbnail.
  std::function<bool(std::string& png)> RenderThumbnail;
};

// The "template.xml" document of a title and a content text (UTF-8, no declaration).
std::string SerializeTemplateXml(const QString& title, std::string_view content);

// Writes a site template file to path (folders created, an existing file replaced through a
// temporary of the program's own naming, so that a killed run's is swept by the next one).
// False with a message when it cannot be written.
bool SaveSiteTemplate(const QString& path, const TSiteTemplateSource& source, QString* error = nullptr);

}  // namespace pw
