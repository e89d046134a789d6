// TGenerator turns a content text into a site: it cuts the text into TSection objects, keeps
// project-wide and per-section variables, expands {$...} placeholders, runs the build hooks,
// writes one file per page section and copies the template resources the pages refer to.
//
// Ownership: the generator owns its sections and its markup converter; the script functions
// object is borrowed (it must outlive the generator or be replaced). Failures to read a
// template or write a file are silent by design: the section is simply not written, the Save*
// methods report it by a false result and FileWriteObserver hears the reason. A build never
// writes outside its output folder (links included), onto the project file or into the
// template folder, and sweeps the debris of killed builds from each folder it writes to.
// Paths are QString with '/' (stored paths may use '\'); all content text, names and values
// are UTF-8 byte strings.
#pragma once

#include "generator/ScriptHooks.h"
#include "generator/Variables.h"
#include "markup/Converters.h"
#include "platform/FileIO.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace pw {

class TGenerator;
struct TRenderedPage;

// The variables of one scope: the generator's project-wide ones or a section's own.
class TVarScope {
 public:
  TVariables& Vars() { return FVars; }
  const TVariables& Vars() const { return FVars; }
  void SetVar(std::string_view name, TValue value) { FVars.Set(name, std::move(value)); }
  // Appends to the variable's text, creating it when missing.
  void CatVar(std::string_view name, std::string_view text);
  bool IsVar(std::string_view name) const { return FVars.Exists(name); }
  void RemoveVar(std::string_view name) { FVars.Remove(name); }

  // The script layer's face of this generator or section, which the generator cannot know.
  // Released when the scope is destroyed (after a generator's sections), so releasing it must
  // only cut the face's links to the scope, never read it.
  const std::shared_ptr<void>& ScriptFace() const { return FScriptFace; }
  void SetScriptFace(std::shared_ptr<void> face) { FScriptFace = std::move(face); }

 protected:
  TVariables FVars;

 private:
  std::shared_ptr<void> FScriptFace;
};

class TSection : public TVarScope {
 public:
  TSection(TGenerator& owner, std::string name, std::string content);
  TSection(const TSection&) = delete;
  TSection& operator=(const TSection&) = delete;

  TGenerator& Generator() const { return FOwner; }
  const std::string& Name() const { return FName; }
  // The extension of the name, lower case, with its dot ("" when none).
  std::string Extension() const;
  // Position in the generator's list; setting it moves the section, clamped to the list.
  int Index() const;
  void SetIndex(int index);

  const std::string& Content() const { return FContent; }
  void SetContent(std::string content) { FContent = std::move(content); }
  // The body converted from markup and then expanded in this section's scope.
  std::string HTML();

  // The section's variable, else the generator's GetVar(name, fallback).
  TValue GetVar(std::string_view name, const TValue& fallback = {}) const;

  // Writes the section as a page through its template; false when the template cannot be
  // read or the file cannot be written (nothing is written then).
  bool SaveAsHTML(const QString& path);
  // Writes the raw body, re-encoded into the page's charset; false on a failed write.
  bool SaveAsText(const QString& path);

  // The value of a placeholder name in this section's scope (see TGenerator::LookupValue).
  std::string LookupValue(std::string_view name, THTMLConverter* converter);
  // A directive line of this section: "a.b" goes to the generator, other names set variables.
  void ApplyDirective(std::string_view name, std::string value);

 private:
  // The page's charset in lower case ("utf-8" when unset).
  std::string PageCharset();
  // The bytes SaveAsHTML / SaveAsText would write, without writing them or collecting the
  // page's resources; false (nothing to write, nothing to report) when the template cannot be
  // read. Reads the generator only, so pages may be rendered on several threads at once.
  bool RenderHTML(THTMLConverter* converter, TRenderedPage& page);
  void RenderText(TRenderedPage& page);
  bool WritePage(const QString& path, std::string_view bytes);
  friend class TGenerator;

  TGenerator& FOwner;
  std::string FName;
  std::string FContent;
};

class TGenerator : public TVarScope {
 public:
  // Placeholder expansion deeper than this yields an empty text (self-including sections).
  static constexpr int kMaxExpansionDepth = 16;
  // Nested expansions one top-level expansion may run; fragments that include several others
  // would otherwise multiply within the depth limit. Past it, expansions yield an empty text.
  static constexpr int kMaxExpansions = 100000;
  // The most text one top-level expansion (a whole page) may produce; fragments that include
  // each other several times would otherwise multiply within both limits above. Past it the
  // expansion stops, ExpansionOverflowed() tells, and a page is not written.
  static constexpr size_t kMaxPageBytes = size_t(64) << 20;
  // The largest template resource copied; it is held in memory while copied.
  static constexpr std::int64_t kMaxResourceBytes = std::int64_t(1) << 30;

  explicit TGenerator(IScriptFunctions* scripts = nullptr);
  ~TGenerator();
  TGenerator(const TGenerator&) = delete;
  TGenerator& operator=(const TGenerator&) = delete;

  // nullptr detaches the runtime: placeholders then call no functions.
  void SetScriptFunctions(IScriptFunctions* scripts);
  IScriptFunctions& ScriptFunctions() { return *FScripts; }

  // Frees the sections, empties the variables and the resource list (without copying),
  // empties OutPath, ImgPath and PreStyle, and resets Charset to "utf-8".
  void Clear();
  // Parses a content text and appends its sections.
  void Generate(std::string_view text);
  // Runs the pre-build handlers in registration order.
  void PreBuild();
  // Runs the post-build handlers, then writes every section (section handlers first).
  void Build();
  void DefaultBuild() {}

  void AddPreBuild(TBuildHandlerPtr handler) { FPreBuild.push_back(std::move(handler)); }
  void AddPostBuild(TBuildHandlerPtr handler) { FPostBuild.push_back(std::move(handler)); }
  void AddSectionHandler(TBuildHandlerPtr handler) { FSectionHandlers.push_back(std::move(handler)); }
  // Empties the three handler lists (before the scripts are compiled again).
  void ClearHandlers();
  bool HasHandlers() const { return !FPreBuild.empty() || !FPostBuild.empty() || !FSectionHandlers.empty(); }

  TValue GetVar(std::string_view name, const TValue& fallback = {}) const;

  // Appends a new section and returns it (owned by the generator).
  TSection* AddSection(std::string name, std::string content);
  // The first section whose name equals `name` ignoring case, or nullptr.
  TSection* GetSectionByName(std::string_view name) const;
  // The first section whose name equals `name` exactly, or nullptr.
  TSection* FindSection(std::string_view name) const;
  // Frees and removes the section; out-of-range indexes are ignored.
  void DeleteSection(int index);
  // The section at that index, or nullptr past either end.
  TSection* Section(int index) const;
  int SectionCount() const { return static_cast<int>(FSections.size()); }
  int Length() const { return SectionCount(); }
  int IndexOfSection(const TSection* section) const;
  void MoveSection(int from, int to);

  const std::string& Charset() const { return FCharset; }
  void SetCharset(std::string charset) { FCharset = std::move(charset); }
  std::string PreStyle() const { return FConverter.PreStyle(); }
  void SetPreStyle(std::string style) { FConverter.SetPreStyle(std::move(style)); }
  std::string ImgPath() const { return FConverter.ImgPath(); }
  void SetImgPath(std::string path) { FConverter.SetImgPath(std::move(path)); }
  THTMLConverter& Converter() { return FConverter; }

  // The output folder as set: absolute or relative to BasePath, ending in '/' unless empty.
  const QString& OutPath() const { return FOutPath; }
  // Copies the pending resources into the current output folder first.
  void SetOutPath(const QString& path);
  const QString& BasePath() const { return FBasePath; }
  void SetBasePath(const QString& path);
  // The output folder: OutPath when absolute, else BasePath + OutPath.
  QString ContentPath() const;
  // BasePath + "template/".
  QString TemplatePath() const;
  // The project file being built, which no page may overwrite (empty: none to protect).
  const QString& ProjectFile() const { return FProjectFile; }
  void SetProjectFile(const QString& path) { FProjectFile = path; }

  // The line of the content text being parsed (from 1), 0 outside Generate.
  int CurrentLine() const { return FCurrentLine; }

  // The value of a placeholder name in the generator's scope.
  std::string LookupValue(std::string_view name, THTMLConverter* converter);
  // A directive line of the preamble (or one that names another section).
  void ApplyDirective(std::string_view name, std::string value);
  // Expands the {$...} placeholders of text in the scope of `scope` (nullptr: the
  // generator), converting looked-up values from markup when a converter is given.
  std::string ExpandPlaceholders(std::string_view text, TSection* scope, THTMLConverter* converter);
  // Placeholder calls handed to the script functions since Clear().
  int ScriptCalls() const { return FScriptCalls; }
  // Whether the last top-level expansion stopped at kMaxPageBytes.
  bool ExpansionOverflowed() const { return Expansion().Overflow; }

  // Adds the template files that the HTML refers to to the resource list.
  void CollectResources(std::string_view html, std::string_view baseUrl);
  // Copies every listed resource from the template folder into the output folder (missing
  // sources are skipped), then empties the list.
  void CopyResources();
  // The pending resources, relative to the template folder, with '/'.
  const std::vector<std::string>& Resources() const { return FResources; }

  // Told about every file a build tries to write (pages, raw files, copied resources), with
  // whether the write succeeded and, when not, why. Missing templates and resources are not
  // writes, and neither are files that already held the bytes: those were left untouched and
  // go to FileUnchangedObserver instead.
  std::function<void(const QString& path, bool written, const QString& reason)> FileWriteObserver;
  std::function<void(const QString& path)> FileUnchangedObserver;
  // Told first, for each file written or left unchanged, its stamp as taken from the open file
  // (not known when it could not be examined), so that a caller can record the build's files
  // without examining each of them again.
  std::function<void(const QString& path, const platform::TFileStamp& stamp)> FileStampObserver;

 private:
  friend class TSection;
  void AddResource(std::string reference);
  // CollectResources for a page rendered earlier (its references were kept).
  void AddPageReferences(const TRenderedPage& page);
  // Writes a rendered page as SaveAsHTML does: its resources, then its file.
  bool CommitPage(const QString& path, const TRenderedPage& page);
  // Tells the observers about one file of the build.
  void ReportWrite(const QString& path, bool written, bool unchanged, const QString& failure,
                   const platform::TFileStamp& stamp = platform::TFileStamp());
  // Build's writing of the sections when no section handler runs: pages are rendered and
  // written on several threads, and reported in order. A page whose placeholders call a
  // script ends that: it and the pages after it are built in order on this thread, since a
  // script may change what they show.
  void WriteSectionsInParallel();
  // Reads a template-folder file for the url() scan of a linked style sheet.
  bool ReadTemplateFile(const std::string& relative, std::string& text) const;
  void InvalidateNameIndex() { FNameIndexValid = false; }
  // The text of a page template, or null when it cannot be read; cached while Build writes the
  // sections (a failure too), read anew otherwise.
  std::shared_ptr<const std::string> ReadTemplate(const QString& path);
  std::string ConvertAndExpand(std::string_view markup, TSection* scope, THTMLConverter* converter);
  // Writes one file of the build and tells the observer; refuses targets CheckOutputTarget
  // refuses. A non-empty failure is a reason found earlier: nothing is written then.
  bool WriteBuildFile(const QString& path, std::string_view bytes, QString failure = QString());
  // False with the reason when path leaves the output folder (through a link), is the project
  // file or lies in the template folder. Sweeps stale temporaries of each new folder once.
  bool CheckOutputTarget(const QString& path, QString* error);
  // True when, while Build writes, the listing of path's folder taken at its first write has no
  // such name: the write need not look for a file to compare with.
  bool KnownMissing(const QString& path);
  // CheckOutputTarget in two steps, so that threads may check pages of prepared folders: the
  // checks of a folder (once per build), then a page's verdict from them.
  void PrepareOutputFolder(const QString& folder);
  QString TargetRefusal(const QString& folder, const QString& path) const;
  bool KnownMissingIn(const QString& folder, const QString& path) const;
  void ForgetOutputFolders();

  std::vector<std::unique_ptr<TSection>> FSections;
  QString FBasePath;
  QString FOutPath;
  std::string FCharset = "utf-8";
  THTMLConverter FConverter;
  std::vector<std::string> FResources;
  std::unordered_set<std::string> FResourceSet;
  std::unordered_set<std::string> FScannedStyleSheets;
  TBuildHandlerList FPreBuild, FPostBuild, FSectionHandlers;
  TNullScriptFunctions FNoScripts;
  IScriptFunctions* FScripts;
  int FCurrentLine = 0;
  int FScriptCalls = 0;
  // The bounds of one top-level expansion. A thread that renders pages for a parallel build
  // keeps its own; every other expansion uses the generator's.
  struct TExpansionState {
    int Depth = 0;
    int Count = 0;
    size_t Bytes = 0;  // text held by the expansions in progress
    bool Overflow = false;
    // What a page renderer tracks to know whether a value it expanded may be reused: the
    // deepest entry, the most text held and whether a bound cut anything short.
    int MaxDepth = 0;
    size_t PeakBytes = 0;
    bool LimitHit = false;
  };
  TExpansionState FExpansion;
  TExpansionState& Expansion() const;
  // What a thread rendering pages for a parallel build keeps for itself; null elsewhere.
  struct TRenderWorker;
  static thread_local TRenderWorker* tRenderWorker;
  // Page renderers of one batch share nothing but see one unchanging generator; this tells
  // their per-thread caches of generator-scope values which batch they belong to.
  std::uint64_t FRenderBatch = 0;
  std::string LookupValueUncached(std::string_view name, THTMLConverter* converter);
  std::string LookupValueCached(std::string_view name, THTMLConverter* converter);
  QString FProjectFile;
  // Output folders checked in this build: their resolved path, empty when refused, with why.
  struct TCheckedFolder {
    QString Resolved;
    QString Refusal;
  };
  QHash<QString, TCheckedFolder> FCheckedFolders;
  QString FResolvedProjectFile;
  QHash<QString, std::shared_ptr<const std::string>> FTemplateCache;
  bool FCachingTemplates = false;
  std::mutex FTemplateMutex;  // page renderers on several threads share the cache
  // The names in each output folder as Build found them (null: unreadable), kept while it runs.
  QHash<QString, std::shared_ptr<const std::unordered_set<std::string>>> FFolderNames;
  bool FListingFolders = false;
  // Exact section name → first index; rebuilt lazily after deletions and moves.
  mutable std::unordered_map<std::string, int> FNameIndex;
  mutable bool FNameIndexValid = true;
};

}  // namespace pw
