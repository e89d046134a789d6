// The project file (".pwproj"): an XML document holding the content text, an optional legacy
// script and the publishing settings. Reading and writing here are independent of TModule.
//
// Reading accepts any encoding the XML parser knows and any root element name; a file that is
// not XML is taken as plain content text, but one that begins as XML (a declaration or a
// "project" element) and does not parse is an error, so that a cut file is never built as
// text. Writing produces UTF-8 in the current "Settings" form, through a temporary file and a
// rename. Errors: a bool result and a message.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <string_view>

namespace pw {

// The publishing settings and the state of a project that the module keeps besides the
// content text (which lives in the editor). Credentials are plain text in memory.
struct TProjectState {
  QString ProjectPath;   // full path of the project file; empty = untitled
  QString ProjectTitle;  // the preamble's $title
  QString FTPServer;
  QString FTPUserName;
  QString FTPPassword;
  QString FTPPort;  // empty = the FTP default
  QString FTPRemoteRoot;
  bool FTPPassiveMode = true;
  bool UploadChangesOnly = true;
  QStringList UploadFiles;  // one entry per line of the stored list
  QString UsedUnits;        // value of the last $uses line

  // Back to the values of a new, untitled project.
  void Reset() { *this = TProjectState(); }

  friend bool operator==(const TProjectState&, const TProjectState&) = default;
};

// Everything a project file holds.
struct TProjectFileData {
  std::string Content;  // the content text, UTF-8, with its line breaks
  std::string Script;   // legacy build script, UTF-8; empty when absent
  TProjectState State;  // only the publishing fields are read and written
  bool PlainText = false;  // the file was not XML and Content holds its text
};

// The largest project file read: far above any real site (a 230,000-page site takes 50 MB).
constexpr std::int64_t kMaxProjectFileBytes = std::int64_t(256) << 20;

// Parses project-file bytes. Bytes that are not an XML document become the content text
// (decoded from UTF-8, UTF-16 with a byte-order mark, or else the ANSI code page). False with
// the parser's message and line when they begin as XML but are not well-formed, declare
// entities or nest deeper than the XML reader allows; data is then empty.
bool ParseProjectFile(std::string_view bytes, TProjectFileData& data, QString* error = nullptr);
// The same, for bytes known to be good: a damaged document gives empty data.
TProjectFileData ParseProjectFile(std::string_view bytes);

// Reads and parses a project file. False with a message when the file cannot be read, is not a
// regular file, is larger than kMaxProjectFileBytes or is a damaged XML document.
bool LoadProjectFile(const QString& path, TProjectFileData& data, QString* error = nullptr);

// The UTF-8 XML document of data, in the current form. Characters that XML 1.0 cannot carry
// (control characters other than tab, line feed and carriage return) are left out, so the
// file always loads back as XML.
std::string SerializeProjectFile(const TProjectFileData& data);

// Writes the document through a temporary file and a rename. False with a message on
// failure; the old file is then unchanged.
bool SaveProjectFile(const QString& path, const TProjectFileData& data, QString* error = nullptr);

// Replaces the upload list stored in the project file at path and leaves the rest of the
// document as it was; written through a temporary file and a rename. The list goes into the
// "Settings" element, or into the older "config" element when only that one exists (a new
// "Settings" would hide the older settings on the next load). False with a message when the
// file cannot be read, is not an XML project file, or cannot be written; it is then unchanged.
bool SaveProjectUploadFiles(const QString& path, const QStringList& uploadFiles, QString* error = nullptr);

}  // namespace pw
