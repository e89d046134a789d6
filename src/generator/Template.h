// TTemplate: a site template file (".pwtmpl"), a zip archive holding "template.xml" (title and
// starting content text), an optional "template.png" thumbnail and the template folder.
// TTemplate owns its open archive and closes it on destruction or the next load.
//
// Errors: every operation answers false (or an empty result) on failure and never throws.
// Entries whose names would leave the target folder (absolute paths, drives, "..") are
// skipped on extraction.
#pragma once

#include <QString>

#include <functional>
#include <string>
#include <string_view>

struct zip;

namespace pw {

class TTemplate {
 public:
  TTemplate() = default;
  ~TTemplate();
  TTemplate(const TTemplate&) = delete;
  TTemplate& operator=(const TTemplate&) = delete;

  // Opens the file read-only as a zip archive; false when it is not one or cannot be read,
  // with the reason in error ("No such file", "Not a zip archive"). The title is the file's
  // name without folder and extension, or the `title` element of "template.xml" when that
  // entry parses and has one.
  bool LoadTemplateInfo(const QString& path, QString* error = nullptr);
  bool IsOpen() const { return FArchive != nullptr; }
  const QString& Title() const { return FTitle; }

  // The entry's bytes; false when there is no such entry (names match with '/' or '\').
  bool ReadEntry(std::string_view name, std::string& bytes) const;
  // The `content` element of "template.xml" (UTF-8); empty when missing or not XML.
  std::string Content() const;

  // Unpacks every entry below "template/" into the project folder (created when missing),
  // overwriting existing files. False when nothing is open or a file could not be written,
  // with the first reason in error.
  bool ExtractTemplateFolder(const QString& projectFolder, QString* error = nullptr) const;

 private:
  void Close();

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
// temporary). False with a message when it cannot be written.
bool SaveSiteTemplate(const QString& path, const TSiteTemplateSource& source, QString* error = nullptr);

}  // namespace pw
