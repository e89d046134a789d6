#include "generator/Generator.h"

#include "platform/Charsets.h"
#include "generator/OutputFile.h"
#include "generator/PageTemplates.h"
#include "generator/PlaceholderSyntax.h"
#include "generator/ResourceScanner.h"
#include "markup/ContentText.h"
#include "platform/AsciiCase.h"
#include "platform/FileIO.h"
#include "platform/ParallelFor.h"
#include "platform/Paths.h"
#include "platform/RegularFileRead.h"
#include "platform/ResolvedPath.h"
#include "platform/StaleTemporaries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>

namespace pw {

// A page as a build writes it: its bytes or why it is refused, and what it refers to.
struct TRenderedPage {
  struct TReference {
    std::string Text;
    bool LinkHref;
  };
  bool Ready = false;  // false: no template, so nothing is written or reported
  std::string Bytes;
  QString Failure;  // not empty: the page is refused (and reported) instead of written
  std::vector<TReference> References;
  std::string BaseUrl;
  bool Written = false;
  bool Unchanged = false;
  QString WriteFailure;
  platform::TFileStamp Stamp;
};

struct TGenerator::TRenderWorker {
  TExpansionState Expansion;
  // A placeholder called a script, which only the building thread may run.
  bool ScriptCallMet = false;
};

thread_local TGenerator::TRenderWorker* TGenerator::tRenderWorker = nullptr;

TGenerator::TExpansionState& TGenerator::Expansion() const {
  return tRenderWorker ? tRenderWorker->Expansion : const_cast<TExpansionState&>(FExpansion);
}

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

using platform::LowerAscii;

bool IsNamed(std::string_view name, std::string_view lowerWord) {
  return platform::EqualsIgnoringAsciiCase(name, lowerWord);
}

// Splits "section.variable" at the last dot (section names carry extensions).
bool SplitQualifiedName(std::string_view name, std::string_view& section, std::string_view& variable) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  section = name.substr(0, dot);
  variable = name.substr(dot + 1);
  return true;
}

}  // namespace

// ---------------------------------------------------------------- TSection

TSection::TSection(TGenerator& owner, std::string name, std::string content)
    : FOwner(owner), FName(std::move(name)), FContent(std::move(content)) {}

std::string TSection::Extension() const {
  size_t slash = FName.find_last_of("/\\");
  size_t dot = FName.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return LowerAscii(std::string_view(FName).substr(dot));
}

int TSection::Index() const { return FOwner.IndexOfSection(this); }

void TSection::SetIndex(int index) { FOwner.MoveSection(Index(), index); }

std::string TSection::HTML() { return FOwner.ConvertAndExpand(FContent, this, &FOwner.FConverter); }

TValue TSection::GetVar(std::string_view name, const TValue& fallback) const {
  if (const TValue* value = FVars.Find(name)) return *value;
  return FOwner.GetVar(name, fallback);
}

void TVarScope::CatVar(std::string_view name, std::string_view text) {
  int index = FVars.IndexOf(name);
  if (index < 0)
    FVars.Add(name, std::string(text));
  else
    FVars.At(index).Value = ValueToText(FVars.At(index).Value) + std::string(text);
}

std::string TSection::LookupValue(std::string_view name, THTMLConverter* converter) {
  if (name.find('.') != std::string_view::npos) return FOwner.LookupValue(name, converter);
  if (IsNamed(name, "content"))
    return converter ? FOwner.ConvertAndExpand(FContent, this, converter) : FContent;
  if (IsNamed(name, "name")) return FName;
  if (const TValue* value = FVars.Find(name)) {
    std::string text = ValueToText(*value);
    return converter ? FOwner.ConvertAndExpand(text, this, converter) : text;
  }
  return FOwner.LookupValue(name, converter);
}

void TSection::ApplyDirective(std::string_view name, std::string value) {
  if (name.find('.') != std::string_view::npos)
    FOwner.ApplyDirective(name, std::move(value));
  else
    FVars.Set(name, std::move(value));
}

std::string TSection::PageCharset() {
  std::string charset = LowerAscii(LookupValue("charset", nullptr));
  return charset.empty() ? std::string("utf-8") : charset;
}

bool TSection::RenderHTML(THTMLConverter* converter, TRenderedPage& page) {
  QString templateFile = TemplateFilePath(FOwner.TemplatePath(), LookupValue("template", nullptr));
  const std::shared_ptr<const std::string> templateText =
      templateFile.isEmpty() ? nullptr : FOwner.ReadTemplate(templateFile);
  if (!templateText) return false;
  page.Ready = true;
  std::string html = FOwner.ExpandPlaceholders(*templateText, this, converter);
  if (FOwner.ExpansionOverflowed()) {
    page.Failure = QStringLiteral("The page's text grows past %1 as placeholders expand (fragments include each other)")
                       .arg(platform::FormatByteLimit(TGenerator::kMaxPageBytes));
    return true;
  }
  ScanHtmlReferences(html, [&](std::string_view reference, TReferenceKind kind) {
    page.References.push_back({std::string(reference), kind == TReferenceKind::LinkHref});
  });
  page.BaseUrl = LookupValue("base_url", nullptr);
  page.Bytes = EncodeUtf8ForCharset(html, PageCharset());
  return true;
}

void TSection::RenderText(TRenderedPage& page) {
  page.Ready = true;
  page.Bytes = EncodeUtf8ForCharset(FContent, PageCharset());
}

bool TSection::SaveAsHTML(const QString& path) {
  TRenderedPage page;
  return RenderHTML(&FOwner.FConverter, page) && FOwner.CommitPage(path, page);
}

bool TSection::SaveAsText(const QString& path) {
  TRenderedPage page;
  RenderText(page);
  return WritePage(path, page.Bytes);
}

bool TSection::WritePage(const QString& path, std::string_view bytes) { return FOwner.WriteBuildFile(path, bytes); }

// ---------------------------------------------------------------- TGenerator

TGenerator::TGenerator(IScriptFunctions* scripts)
    : FBasePath(platform::IncludeTrailingSeparator(QDir::currentPath())),
      FScripts(scripts ? scripts : &FNoScripts) {}

TGenerator::~TGenerator() = default;

void TGenerator::SetScriptFunctions(IScriptFunctions* scripts) { FScripts = scripts ? scripts : &FNoScripts; }

void TGenerator::Clear() {
  FSections.clear();
  FNameIndex.clear();
  FNameIndexValid = true;
  FVars.RemoveAll();
  FResources.clear();
  FResourceSet.clear();
  FScannedStyleSheets.clear();
  FOutPath.clear();
  ForgetOutputFolders();
  FScriptCalls = 0;
  FConverter.SetImgPath(std::string());
  FConverter.SetPreStyle(std::string());
  FCharset = "utf-8";
}

void TGenerator::Generate(std::string_view text) {
  TSection* current = nullptr;
  std::string body;
  auto closeSection = [&] {
    if (current && !body.empty()) current->SetContent(std::move(body));
    body.clear();
  };

  // The name index is built once, sized for every section, when it is first needed: growing it
  // one section at a time rehashes it again and again.
  InvalidateNameIndex();
  FCurrentLine = 0;
  size_t pos = 0;
  std::string_view line;
  while (content::NextLine(text, pos, line)) {
    ++FCurrentLine;
    switch (content::ClassifyLine(line)) {
      case content::TLineKind::Comment:
        break;
      case content::TLineKind::Header:
        closeSection();
        current = AddSection(std::string(content::HeaderName(line)), std::string());
        break;
      case content::TLineKind::Escaped:
        body.append(line.substr(1));
        body.push_back('\n');
        break;
      case content::TLineKind::Directive: {
        if (content::IsUsesLine(line)) break;
        const content::TDirective directive = content::ParseDirective(line);
        std::string value = ExpandPlaceholders(directive.Value, current, nullptr);
        if (current)
          current->ApplyDirective(directive.Name, std::move(value));
        else
          ApplyDirective(directive.Name, std::move(value));
        break;
      }
      case content::TLineKind::Body:
        body.append(line);
        body.push_back('\n');
        break;
    }
  }
  closeSection();
  FCurrentLine = 0;
}

void TGenerator::PreBuild() {
  TBuildHandlerList handlers = FPreBuild;  // a handler may register more
  for (const auto& handler : handlers)
    if (handler) handler->Invoke(nullptr);
}

void TGenerator::Build() {
  TBuildHandlerList postBuild = FPostBuild;
  for (const auto& handler : postBuild)
    if (handler) handler->Invoke(nullptr);

  // Every page of a site shares a few templates: read each once while the pages are written.
  FTemplateCache.clear();
  FCachingTemplates = true;
  FFolderNames.clear();
  FListingFolders = true;
  struct TCacheEnd {
    TGenerator& Owner;
    ~TCacheEnd() {
      Owner.FCachingTemplates = false;
      Owner.FTemplateCache.clear();
      Owner.FListingFolders = false;
      Owner.FFolderNames.clear();
    }
  } cacheEnd{*this};

  if (FSectionHandlers.empty() && platform::ParallelThreads() > 1) {
    WriteSectionsInParallel();
    return;
  }
  // Handlers may add or delete sections: the list is re-read at every step.
  for (int i = 0; i < SectionCount(); ++i) {
    TSection* section = FSections[static_cast<size_t>(i)].get();
    bool claimed = false;
    TBuildHandlerList handlers = FSectionHandlers;
    for (const auto& handler : handlers) {
      if (handler && handler->Invoke(section)) {
        claimed = true;
        break;
      }
    }
    if (claimed || i >= SectionCount() || FSections[static_cast<size_t>(i)].get() != section) continue;
    std::string extension = section->Extension();
    if (extension.empty()) continue;
    // Section names come from the content text: confine them to the output folder.
    QString target = platform::ConfinedJoin(ContentPath(), FromUtf8(section->Name()));
    if (target.isEmpty()) continue;
    if (extension == ".html")
      section->SaveAsHTML(target);
    else
      section->SaveAsText(target);
  }
}

void TGenerator::WriteSectionsInParallel() {
  struct TJob {
    TSection* Section = nullptr;
    QString Target;
    bool Html = false;
    bool InOrder = false;  // written on this thread in its turn: its target is not its own
  };
  // The targets are worked out on every thread: joining and checking 10,000 paths is work too.
  const QString contentPath = ContentPath();
  std::vector<TJob> candidates(FSections.size());
  platform::ParallelFor(FSections.size(), [&](size_t i) {
    TSection* section = FSections[i].get();
    const std::string extension = section->Extension();
    if (extension.empty()) return;
    candidates[i] = {section, platform::ConfinedJoin(contentPath, FromUtf8(section->Name())), extension == ".html"};
  });
  std::vector<TJob> jobs;
  jobs.reserve(candidates.size());
  QHash<QString, int> targets;
  targets.reserve(static_cast<qsizetype>(candidates.size()));
  for (TJob& job : candidates) {
    if (!job.Section || job.Target.isEmpty()) continue;
    ++targets[job.Target];
    jobs.push_back(std::move(job));
  }
  // Two sections writing one file must do so in order, the later one last.
  for (TJob& job : jobs) job.InOrder = targets.value(job.Target) > 1;
  FindSection(std::string_view());  // builds the name index before threads read it

  auto buildInOrder = [&](const TJob& job) {
    if (job.Html)
      job.Section->SaveAsHTML(job.Target);
    else
      job.Section->SaveAsText(job.Target);
  };
  // Rendered pages are held a batch at a time.
  constexpr size_t kBatch = 1024;
  for (size_t begin = 0; begin < jobs.size(); begin += kBatch) {
    const size_t count = std::min(kBatch, jobs.size() - begin);
    std::vector<TRenderedPage> pages(count);
    std::vector<QString> folders(count);
    std::vector<QString> refusals(count);
    ++FRenderBatch;
    std::atomic<size_t> firstScripted{count};
    platform::ParallelFor(count, [&](size_t i) {
      const TJob& job = jobs[begin + i];
      if (job.InOrder || i > firstScripted.load()) return;
      folders[i] = platform::ExtractFileDir(job.Target);
      TRenderWorker worker;
      tRenderWorker = &worker;
      struct TReset {
        ~TReset() { tRenderWorker = nullptr; }
      } reset;
      if (job.Html) {
        THTMLConverter converter = FConverter;
        job.Section->RenderHTML(&converter, pages[i]);
      } else {
        job.Section->RenderText(pages[i]);
      }
      if (worker.ScriptCallMet) {
        pages[i] = TRenderedPage();
        size_t seen = firstScripted.load();
        while (i < seen && !firstScripted.compare_exchange_weak(seen, i)) {
        }
      }
    });
    const size_t parallelEnd = firstScripted.load();
    // Each folder is checked (and swept, and listed) once, here; the writers only read that.
    const QString* prepared = nullptr;
    for (size_t i = 0; i < parallelEnd; ++i) {
      if (jobs[begin + i].InOrder || !pages[i].Ready) continue;
      if (!prepared || *prepared != folders[i]) PrepareOutputFolder(folders[i]);
      prepared = &folders[i];
    }
    platform::ParallelFor(parallelEnd, [&](size_t i) {
      TRenderedPage& page = pages[i];
      const TJob& job = jobs[begin + i];
      if (job.InOrder || !page.Ready || !page.Failure.isEmpty()) return;
      refusals[i] = TargetRefusal(folders[i], job.Target);
      if (!refusals[i].isEmpty()) return;
      page.Written = WriteOutputFile(job.Target, page.Bytes, &page.WriteFailure, &page.Unchanged,
                                     KnownMissingIn(folders[i], job.Target), FileStampObserver ? &page.Stamp : nullptr);
    });
    for (size_t i = 0; i < parallelEnd; ++i) {
      const TJob& job = jobs[begin + i];
      const TRenderedPage& page = pages[i];
      if (job.InOrder) {
        buildInOrder(job);
      } else if (page.Ready) {
        // As SaveAsHTML: an overflow is reported before the target is checked, and the
        // resources of a page are collected even when its target is refused.
        if (!page.Failure.isEmpty()) {
          ReportWrite(job.Target, false, false, page.Failure);
          continue;
        }
        AddPageReferences(page);
        if (!refusals[i].isEmpty())
          ReportWrite(job.Target, false, false, refusals[i]);
        else
          ReportWrite(job.Target, page.Written, page.Unchanged, page.WriteFailure, page.Stamp);
      }
    }
    if (parallelEnd < count) {
      for (size_t j = begin + parallelEnd; j < jobs.size(); ++j) buildInOrder(jobs[j]);
      return;
    }
  }
}

std::shared_ptr<const std::string> TGenerator::ReadTemplate(const QString& path) {
  std::lock_guard<std::mutex> lock(FTemplateMutex);
  if (FCachingTemplates) {
    auto found = FTemplateCache.constFind(path);
    if (found != FTemplateCache.constEnd()) return found.value();
  }
  auto text = std::make_shared<std::string>();
  std::shared_ptr<const std::string> result;
  if (platform::ReadRegularFile(path, kMaxPageBytes, *text)) result = std::move(text);
  if (FCachingTemplates) FTemplateCache.insert(path, result);
  return result;
}

void TGenerator::ClearHandlers() {
  FPreBuild.clear();
  FPostBuild.clear();
  FSectionHandlers.clear();
}

TValue TGenerator::GetVar(std::string_view name, const TValue& fallback) const {
  if (const TValue* value = FVars.Find(name)) return *value;
  return fallback;
}

TSection* TGenerator::AddSection(std::string name, std::string content) {
  FSections.push_back(std::make_unique<TSection>(*this, std::move(name), std::move(content)));
  TSection* section = FSections.back().get();
  if (FNameIndexValid) FNameIndex.emplace(section->Name(), SectionCount() - 1);
  return section;
}

TSection* TGenerator::GetSectionByName(std::string_view name) const {
  for (const auto& section : FSections)
    if (SameNameIgnoringCase(section->Name(), name)) return section.get();
  return nullptr;
}

TSection* TGenerator::FindSection(std::string_view name) const {
  if (!FNameIndexValid) {
    FNameIndex.clear();
    FNameIndex.reserve(FSections.size());
    for (size_t i = 0; i < FSections.size(); ++i) FNameIndex.emplace(FSections[i]->Name(), static_cast<int>(i));
    FNameIndexValid = true;
  }
  auto found = FNameIndex.find(std::string(name));
  return found == FNameIndex.end() ? nullptr : FSections[static_cast<size_t>(found->second)].get();
}

void TGenerator::DeleteSection(int index) {
  if (index < 0 || index >= SectionCount()) return;
  FSections.erase(FSections.begin() + index);
  InvalidateNameIndex();
}

TSection* TGenerator::Section(int index) const {
  if (index < 0 || index >= SectionCount()) return nullptr;
  return FSections[static_cast<size_t>(index)].get();
}

int TGenerator::IndexOfSection(const TSection* section) const {
  for (size_t i = 0; i < FSections.size(); ++i)
    if (FSections[i].get() == section) return static_cast<int>(i);
  return -1;
}

void TGenerator::MoveSection(int from, int to) {
  if (from < 0 || from >= SectionCount()) return;
  to = std::clamp(to, 0, SectionCount() - 1);
  if (from == to) return;
  auto moved = std::move(FSections[static_cast<size_t>(from)]);
  FSections.erase(FSections.begin() + from);
  FSections.insert(FSections.begin() + to, std::move(moved));
  InvalidateNameIndex();
}

void TGenerator::SetOutPath(const QString& path) {
  CopyResources();
  FOutPath = platform::IncludeTrailingSeparator(platform::NormalizeSeparators(path));
  ForgetOutputFolders();
}

void TGenerator::SetBasePath(const QString& path) {
  FBasePath = platform::IncludeTrailingSeparator(platform::NormalizeSeparators(path));
  ForgetOutputFolders();
}

bool TGenerator::KnownMissing(const QString& path) {
  const QString folder = platform::ExtractFileDir(path);
  PrepareOutputFolder(folder);
  return KnownMissingIn(folder, path);
}

bool TGenerator::KnownMissingIn(const QString& folder, const QString& path) const {
  if (!FListingFolders) return false;
  auto found = FFolderNames.constFind(folder);
  return found != FFolderNames.constEnd() && found.value() &&
         !found.value()->count(QFile::encodeName(platform::ExtractFileName(path)).toStdString());
}

void TGenerator::ForgetOutputFolders() {
  FCheckedFolders.clear();
  FResolvedProjectFile.clear();
}

void TGenerator::PrepareOutputFolder(const QString& folder) {
  if (!FProjectFile.isEmpty() && FResolvedProjectFile.isEmpty())
    FResolvedProjectFile = platform::ResolveExistingPart(FProjectFile);
  if (!FCheckedFolders.contains(folder)) {
    // Resolved once per folder and build: resolving every page's path would cost a large site
    // seconds of system calls.
    TCheckedFolder verdict;
    if (!platform::ResolvesInside(ContentPath(), folder)) {
      verdict.Refusal =
          QStringLiteral("Its folder leads out of the output folder %1 through a link").arg(ContentPath());
    } else if (platform::ResolvesInside(TemplatePath(), folder)) {
      verdict.Refusal = QStringLiteral("It lies in the template folder %1, which the build reads").arg(TemplatePath());
    } else {
      verdict.Resolved = platform::IncludeTrailingSeparator(platform::ResolveExistingPart(folder));
      if (FListingFolders) {
        auto names = std::make_shared<std::unordered_set<std::string>>();
        platform::RemoveStaleTemporaries(folder, names.get());
        FFolderNames.insert(folder, std::move(names));
      } else {
        platform::RemoveStaleTemporaries(folder);
      }
    }
    FCheckedFolders.insert(folder, verdict);
  }
  if (FListingFolders && !FFolderNames.contains(folder)) {
    // Checked before this build began: listed now. A folder that does not exist yet holds no
    // names; its first write creates it.
    auto names = std::make_shared<std::unordered_set<std::string>>();
    const bool known = platform::ListFolderNames(folder, *names) || !QFileInfo::exists(folder);
    FFolderNames.insert(folder, known ? std::move(names) : nullptr);
  }
}

QString TGenerator::TargetRefusal(const QString& folder, const QString& path) const {
  auto checked = FCheckedFolders.constFind(folder);
  if (checked == FCheckedFolders.constEnd()) return QStringLiteral("Its folder was not checked");
  if (!checked->Refusal.isEmpty()) return checked->Refusal;
  if (!FResolvedProjectFile.isEmpty() && checked->Resolved + platform::ExtractFileName(path) == FResolvedProjectFile)
    return QStringLiteral("It is the project file");
  return {};
}

bool TGenerator::CheckOutputTarget(const QString& path, QString* error) {
  const QString folder = platform::ExtractFileDir(path);
  PrepareOutputFolder(folder);
  const QString refusal = TargetRefusal(folder, path);
  if (refusal.isEmpty()) return true;
  if (error) *error = refusal;
  return false;
}

bool TGenerator::WriteBuildFile(const QString& path, std::string_view bytes, QString failure) {
  bool written = false;
  bool unchanged = false;
  platform::TFileStamp stamp;
  if (failure.isEmpty() && CheckOutputTarget(path, &failure))
    written = WriteOutputFile(path, bytes, &failure, &unchanged, KnownMissing(path),
                              FileStampObserver ? &stamp : nullptr);
  ReportWrite(path, written, unchanged, failure, stamp);
  return written;
}

void TGenerator::ReportWrite(const QString& path, bool written, bool unchanged, const QString& failure,
                             const platform::TFileStamp& stamp) {
  if (written && FileStampObserver) FileStampObserver(path, stamp);
  if (unchanged) {
    if (FileUnchangedObserver) FileUnchangedObserver(path);
  } else if (FileWriteObserver) {
    FileWriteObserver(path, written, written ? QString() : failure);
  }
}

bool TGenerator::CommitPage(const QString& path, const TRenderedPage& page) {
  if (!page.Failure.isEmpty()) return WriteBuildFile(path, {}, page.Failure);
  AddPageReferences(page);
  return WriteBuildFile(path, page.Bytes);
}

QString TGenerator::ContentPath() const {
  return platform::IsAbsolutePath(FOutPath) ? FOutPath : FBasePath + FOutPath;
}

QString TGenerator::TemplatePath() const { return FBasePath + QStringLiteral("template/"); }

std::string TGenerator::ConvertAndExpand(std::string_view markup, TSection* scope, THTMLConverter* converter) {
  return ExpandPlaceholders(converter->Convert(markup), scope, converter);
}

std::string TGenerator::LookupValue(std::string_view name, THTMLConverter* converter) {
  if (tRenderWorker && converter) return LookupValueCached(name, converter);
  return LookupValueUncached(name, converter);
}

namespace {

// A generator-scope value as one page renderer expanded it, with what the expansion used of
// the bounds, relative to where it started.
struct TCachedValue {
  std::string Text;
  int Depth;
  int Count;
  size_t Bytes;
};

struct TValueCache {
  const void* Owner = nullptr;
  std::uint64_t Batch = 0;
  std::unordered_map<std::string, TCachedValue> Values;
};

thread_local TValueCache tValueCache;

}  // namespace

// A value of the generator's scope expands alike for every page (it never sees the page), so a
// renderer expands it once per batch. A reuse counts against the bounds what expanding it
// again would, and is refused where that would meet a bound: the page comes out the same.
std::string TGenerator::LookupValueCached(std::string_view name, THTMLConverter* converter) {
  TValueCache& cache = tValueCache;
  if (cache.Owner != this || cache.Batch != FRenderBatch) {
    cache.Values.clear();
    cache.Owner = this;
    cache.Batch = FRenderBatch;
  }
  TExpansionState& state = Expansion();
  auto found = cache.Values.find(std::string(name));
  if (found != cache.Values.end()) {
    const TCachedValue& value = found->second;
    if (!state.Overflow && state.Depth + value.Depth <= kMaxExpansionDepth &&
        state.Count + value.Count <= kMaxExpansions && value.Bytes <= kMaxPageBytes - state.Bytes) {
      state.Count += value.Count;
      state.MaxDepth = std::max(state.MaxDepth, state.Depth + value.Depth);
      state.PeakBytes = std::max(state.PeakBytes, state.Bytes + value.Bytes);
      return value.Text;
    }
  }
  const TExpansionState before = state;
  const bool callBefore = tRenderWorker->ScriptCallMet;
  state.MaxDepth = state.Depth;
  state.PeakBytes = state.Bytes;
  state.LimitHit = false;
  tRenderWorker->ScriptCallMet = false;
  std::string text = LookupValueUncached(name, converter);
  const bool reusable = !state.LimitHit && !state.Overflow && !tRenderWorker->ScriptCallMet;
  const TCachedValue value{text, state.MaxDepth - before.Depth, state.Count - before.Count,
                           state.PeakBytes - before.Bytes};
  state.MaxDepth = std::max(state.MaxDepth, before.MaxDepth);
  state.PeakBytes = std::max(state.PeakBytes, before.PeakBytes);
  state.LimitHit = state.LimitHit || before.LimitHit;
  tRenderWorker->ScriptCallMet = tRenderWorker->ScriptCallMet || callBefore;
  if (reusable) cache.Values.insert_or_assign(std::string(name), value);
  return text;
}

std::string TGenerator::LookupValueUncached(std::string_view name, THTMLConverter* converter) {
  std::string_view sectionName, variable;
  if (SplitQualifiedName(name, sectionName, variable)) {
    TSection* section = FindSection(sectionName);
    return section ? section->LookupValue(variable, converter) : std::string();
  }
  if (!name.empty() && name[0] == '.') return LookupValue(name.substr(1), converter);
  if (const TValue* value = FVars.Find(name)) {
    std::string text = ValueToText(*value);
    return converter ? ConvertAndExpand(text, nullptr, converter) : text;
  }
  if (TSection* section = FindSection(name))
    return converter ? ConvertAndExpand(section->Content(), section, converter) : section->Content();
  if (IsNamed(name, "charset")) return FCharset;
  if (IsNamed(name, "img_path")) return FConverter.ImgPath();
  if (IsNamed(name, "pre_style")) return FConverter.PreStyle();
  return {};
}

void TGenerator::ApplyDirective(std::string_view name, std::string value) {
  std::string_view sectionName, variable;
  if (SplitQualifiedName(name, sectionName, variable)) {
    if (TSection* section = FindSection(sectionName)) section->ApplyDirective(variable, std::move(value));
    return;
  }
  if (!name.empty() && name[0] == '.') return ApplyDirective(name.substr(1), std::move(value));
  if (IsNamed(name, "out_path"))
    SetOutPath(FromUtf8(value));
  else if (IsNamed(name, "img_path"))
    FConverter.SetImgPath(std::move(value));
  else if (IsNamed(name, "pre_style"))
    FConverter.SetPreStyle(std::move(value));
  else if (IsNamed(name, "charset"))
    FCharset = std::move(value);
  else
    FVars.Set(name, std::move(value));
}

std::string TGenerator::ExpandPlaceholders(std::string_view text, TSection* scope, THTMLConverter* converter) {
  TExpansionState& state = Expansion();
  if (state.Depth == 0) {
    state.Count = 0;
    state.Bytes = 0;
    state.Overflow = false;
  }
  state.MaxDepth = std::max(state.MaxDepth, state.Depth);
  if (state.Overflow || state.Depth > kMaxExpansionDepth || ++state.Count > kMaxExpansions) {
    state.LimitHit = true;
    return {};
  }
  // Counts what this level holds in state.Bytes and gives it back on return, so that the
  // bound covers the text of every expansion in progress at once.
  struct DepthGuard {
    int& depth;
    size_t& total;
    size_t held = 0;
    DepthGuard(int& d, size_t& t) : depth(d), total(t) { ++depth; }
    ~DepthGuard() {
      --depth;
      total -= held;
    }
  } guard(state.Depth, state.Bytes);
  std::string result;
  auto append = [&](std::string_view piece) {
    if (state.Overflow) return;
    if (piece.size() > kMaxPageBytes - state.Bytes) {
      state.Overflow = true;
      return;
    }
    state.Bytes += piece.size();
    state.PeakBytes = std::max(state.PeakBytes, state.Bytes);
    guard.held += piece.size();
    result.append(piece);
  };

  auto lookup = [&](std::string_view name, THTMLConverter* conv) {
    return scope ? scope->LookupValue(name, conv) : LookupValue(name, conv);
  };

  result.reserve(std::min(text.size() + text.size() / 2, kMaxPageBytes));
  size_t pos = 0;
  size_t open, close;
  while (!state.Overflow && FindBraceGroup(text, pos, open, close)) {
    append(text.substr(pos, open - pos));
    std::string_view group = text.substr(open, close - open + 1);
    pos = close + 1;
    TPlaceholder placeholder;
    if (group.size() < 3 || group[1] != '$' || !ParsePlaceholder(group.substr(2, group.size() - 3), placeholder)) {
      append(group);
      continue;
    }
    if (!placeholder.IsCall) {
      append(lookup(placeholder.Name, converter));
      continue;
    }
    std::vector<std::string> args;
    args.reserve(placeholder.Args.size());
    for (TPlaceholderArgument& arg : placeholder.Args)
      args.push_back(IsVariableArgument(arg) ? lookup(std::string_view(arg.Text).substr(1), nullptr)
                                             : std::move(arg.Text));
    if (tRenderWorker) {
      // Scripts run on the building thread only: this page is built again there.
      tRenderWorker->ScriptCallMet = true;
      append(group);
      continue;
    }
    std::string callResult;
    ++FScriptCalls;
    if (FScripts->CallFunction(placeholder.Name, args, scope, callResult))
      append(callResult);
    else
      append(group);
  }
  append(text.substr(pos));
  if (state.Overflow) result.clear();
  return result;
}

void TGenerator::AddResource(std::string reference) {
  if (reference.empty()) return;
  if (FResourceSet.insert(reference).second) FResources.push_back(std::move(reference));
}

bool TGenerator::ReadTemplateFile(const std::string& relative, std::string& text) const {
  QString path = platform::ConfinedJoin(TemplatePath(), FromUtf8(relative));
  return !path.isEmpty() && platform::ReadRegularFile(path, kMaxPageBytes, text);
}

void TGenerator::CollectResources(std::string_view html, std::string_view baseUrl) {
  TRenderedPage page;
  ScanHtmlReferences(html, [&](std::string_view reference, TReferenceKind kind) {
    page.References.push_back({std::string(reference), kind == TReferenceKind::LinkHref});
  });
  page.BaseUrl = std::string(baseUrl);
  AddPageReferences(page);
}

void TGenerator::AddPageReferences(const TRenderedPage& page) {
  const std::string_view baseUrl = page.BaseUrl;
  for (const TRenderedPage::TReference& each : page.References) {
    std::string relative = MakeReferenceRelative(each.Text, baseUrl);
    if (!each.LinkHref) {
      AddResource(std::move(relative));
      continue;
    }
    // A style sheet is scanned once per base URL while the list is pending.
    std::string scanKey = relative + '\n' + std::string(baseUrl);
    AddResource(relative);
    if (!FScannedStyleSheets.insert(scanKey).second) continue;
    std::string css;
    if (!ReadTemplateFile(relative, css)) continue;
    size_t slash = relative.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : relative.substr(0, slash + 1);
    ScanCssUrls(css, [&](std::string_view value) {
      if (value.front() == '/' || value.find(':') != std::string_view::npos)
        AddResource(MakeReferenceRelative(value, baseUrl));
      else
        AddResource(folder + MakeReferenceRelative(value, baseUrl));
    });
  }
}

void TGenerator::CopyResources() {
  QString source = TemplatePath();
  QString target = ContentPath();
  for (const std::string& entry : FResources) {
    // URLs and drive paths name nothing in the template folder; a leading '/' is site-rooted.
    if (entry.find(':') != std::string::npos) continue;
    std::string_view relative = entry;
    while (!relative.empty() && relative.front() == '/') relative.remove_prefix(1);
    QString name = FromUtf8(relative);
    QString from = platform::ConfinedJoin(source, name);
    QString to = platform::ConfinedJoin(target, name);
    if (from.isEmpty() || to.isEmpty()) continue;
    if (!platform::FileExists(from)) continue;
    std::string bytes;
    QString error;
    if (!platform::ReadRegularFile(from, kMaxResourceBytes, bytes, &error)) {
      WriteBuildFile(to, {}, error);
      continue;
    }
    WriteBuildFile(to, bytes);
  }
  FResources.clear();
  FResourceSet.clear();
  FScannedStyleSheets.clear();
}

}  // namespace pw
