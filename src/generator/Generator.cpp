#include "generator/Generator.h"

#include "platform/Charsets.h"
#include "generator/OutputFile.h"
#include "generator/PlaceholderSyntax.h"
#include "generator/ResourceScanner.h"
#include "generator/Templates.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"

#include <QDir>

#include <algorithm>

namespace pw {

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return lower;
}

bool IsNamed(std::string_view name, std::string_view lowerWord) {
  return name.size() == lowerWord.size() && LowerAscii(name) == lowerWord;
}

// Splits "section.variable" at the last dot (section names carry extensions).
bool SplitQualifiedName(std::string_view name, std::string_view& section, std::string_view& variable) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  section = name.substr(0, dot);
  variable = name.substr(dot + 1);
  return true;
}

std::string_view TrimControl(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
  return text;
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
    FVars.At(index).value = ValueToText(FVars.At(index).value) + std::string(text);
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

bool TSection::SaveAsHTML(const QString& path) {
  QString templateFile = TemplateFilePath(FOwner.TemplatePath(), LookupValue("template", nullptr));
  std::string templateText;
  if (templateFile.isEmpty() || !platform::ReadWholeFile(templateFile, templateText)) return false;
  std::string html = FOwner.ExpandPlaceholders(templateText, this, &FOwner.FConverter);
  FOwner.CollectResources(html, LookupValue("base_url", nullptr));
  return WritePage(path, EncodeUtf8ForCharset(html, PageCharset()));
}

bool TSection::SaveAsText(const QString& path) { return WritePage(path, EncodeUtf8ForCharset(FContent, PageCharset())); }

bool TSection::WritePage(const QString& path, std::string_view bytes) {
  bool written = WriteOutputFile(path, bytes);
  if (FOwner.FileWriteObserver) FOwner.FileWriteObserver(path, written);
  return written;
}

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

  FCurrentLine = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end;
    if (pos < text.size() && text[pos++] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    ++FCurrentLine;

    char first = line.empty() ? '\0' : line[0];
    if (first == ';') continue;
    if (first == '[') {
      std::string_view rest = line.substr(1);
      size_t bracket = rest.find(']');
      std::string_view name = bracket == std::string_view::npos ? TrimControl(rest) : rest.substr(0, bracket);
      closeSection();
      current = AddSection(std::string(name), std::string());
    } else if (first == '\\') {
      body.append(line.substr(1));
      body.push_back('\n');
    } else if (first == '$') {
      if (line.size() >= 6 && IsNamed(line.substr(0, 6), "$uses ")) continue;
      size_t nameEnd = 1;
      while (nameEnd < line.size() && IsDirectiveNameByte(static_cast<unsigned char>(line[nameEnd])))
        ++nameEnd;
      std::string_view name;
      std::string value;
      if (nameEnd > 1 && nameEnd < line.size() && line[nameEnd] == ' ') {
        name = line.substr(1, nameEnd - 1);
        value = ExpandPlaceholders(line.substr(nameEnd + 1), current, nullptr);
      } else {
        name = line.substr(1);
      }
      if (current)
        current->ApplyDirective(name, std::move(value));
      else
        ApplyDirective(name, std::move(value));
    } else {
      body.append(line);
      body.push_back('\n');
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
}

void TGenerator::SetBasePath(const QString& path) {
  FBasePath = platform::IncludeTrailingSeparator(platform::NormalizeSeparators(path));
}

QString TGenerator::ContentPath() const {
  return platform::IsAbsolutePath(FOutPath) ? FOutPath : FBasePath + FOutPath;
}

QString TGenerator::TemplatePath() const { return FBasePath + QStringLiteral("template/"); }

std::string TGenerator::ConvertAndExpand(std::string_view markup, TSection* scope, THTMLConverter* converter) {
  return ExpandPlaceholders(converter->Convert(markup), scope, converter);
}

std::string TGenerator::LookupValue(std::string_view name, THTMLConverter* converter) {
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
  if (FExpansionDepth == 0) FExpansionCount = 0;
  if (FExpansionDepth > kMaxExpansionDepth || ++FExpansionCount > kMaxExpansions) return {};
  struct DepthGuard {
    int& depth;
    explicit DepthGuard(int& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
  } guard(FExpansionDepth);

  auto lookup = [&](std::string_view name, THTMLConverter* conv) {
    return scope ? scope->LookupValue(name, conv) : LookupValue(name, conv);
  };

  std::string result;
  result.reserve(text.size() + text.size() / 2);
  size_t pos = 0;
  size_t open, close;
  while (FindBraceGroup(text, pos, open, close)) {
    result.append(text.substr(pos, open - pos));
    std::string_view group = text.substr(open, close - open + 1);
    pos = close + 1;
    TPlaceholder placeholder;
    if (group.size() < 3 || group[1] != '$' || !ParsePlaceholder(group.substr(2, group.size() - 3), placeholder)) {
      result.append(group);
      continue;
    }
    if (!placeholder.isCall) {
      result.append(lookup(placeholder.name, converter));
      continue;
    }
    std::vector<std::string> args;
    args.reserve(placeholder.args.size());
    for (TPlaceholderArgument& arg : placeholder.args)
      args.push_back(IsVariableArgument(arg) ? lookup(std::string_view(arg.text).substr(1), nullptr)
                                             : std::move(arg.text));
    std::string callResult;
    if (FScripts->CallFunction(placeholder.name, args, scope, callResult))
      result.append(callResult);
    else
      result.append(group);
  }
  result.append(text.substr(pos));
  return result;
}

void TGenerator::AddResource(std::string reference) {
  if (reference.empty()) return;
  if (FResourceSet.insert(reference).second) FResources.push_back(std::move(reference));
}

bool TGenerator::ReadTemplateFile(const std::string& relative, std::string& text) const {
  QString path = platform::ConfinedJoin(TemplatePath(), FromUtf8(relative));
  return !path.isEmpty() && platform::ReadWholeFile(path, text);
}

void TGenerator::CollectResources(std::string_view html, std::string_view baseUrl) {
  ScanHtmlReferences(html, [&](std::string_view reference, TReferenceKind kind) {
    std::string relative = MakeReferenceRelative(reference, baseUrl);
    if (kind != TReferenceKind::LinkHref) {
      AddResource(std::move(relative));
      return;
    }
    // A style sheet is scanned once per base URL while the list is pending.
    std::string scanKey = relative + '\n' + std::string(baseUrl);
    AddResource(relative);
    if (!FScannedStyleSheets.insert(scanKey).second) return;
    std::string css;
    if (!ReadTemplateFile(relative, css)) return;
    size_t slash = relative.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : relative.substr(0, slash + 1);
    ScanCssUrls(css, [&](std::string_view value) {
      if (value.front() == '/' || value.find(':') != std::string_view::npos)
        AddResource(MakeReferenceRelative(value, baseUrl));
      else
        AddResource(folder + MakeReferenceRelative(value, baseUrl));
    });
  });
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
    std::string bytes;
    if (!platform::ReadWholeFile(from, bytes)) continue;
    bool written = WriteOutputFile(to, bytes);
    if (FileWriteObserver) FileWriteObserver(to, written);
  }
  FResources.clear();
  FResourceSet.clear();
  FScannedStyleSheets.clear();
}

}  // namespace pw
