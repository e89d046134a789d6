#include "runtime/GeneratorObject.h"

#include <memory>
#include <vector>

namespace pw {

PW_AUTO_MEMBERS(TGeneratorObject,
    AutoMethod(1, "AddPreBuild", &TGeneratorObject::AddPreBuild),
    AutoMethod(2, "AddPostBuild", &TGeneratorObject::AddPostBuild),
    AutoMethod(3, "AddSectionHandler", &TGeneratorObject::AddSectionHandler),
    AutoMethod(4, "Generate", &TGeneratorObject::Generate),
    AutoMethod(5, "Clear", &TGeneratorObject::Clear),
    AutoMethod(6, "DefaultBuild", &TGeneratorObject::DefaultBuild),
    AutoMethod(7, "PreBuild", &TGeneratorObject::PreBuild),
    AutoMethod(8, "Build", &TGeneratorObject::Build),
    AutoMethod(9, "IsVar", &TGeneratorObject::IsVar),
    AutoMethod(10, "GetVar", &TGeneratorObject::GetVar),
    AutoMethod(11, "SetVar", &TGeneratorObject::SetVar),
    AutoMethod(12, "CatVar", &TGeneratorObject::CatVar),
    AutoMethod(13, "RemoveVar", &TGeneratorObject::RemoveVar),
    AutoMethod(14, "AddSection", &TGeneratorObject::AddSection),
    AutoMethod(15, "GetSectionByName", &TGeneratorObject::GetSectionByName),
    AutoMethod(16, "DeleteSection", &TGeneratorObject::DeleteSection),
    AutoGetter(17, "SectionCount", &TGeneratorObject::SectionCount),
    AutoGetter(18, "Length", &TGeneratorObject::SectionCount),
    AutoGetter(19, "Section", &TGeneratorObject::Section),
    AutoProperty(20, "Charset", &TGeneratorObject::Charset, &TGeneratorObject::SetCharset),
    AutoProperty(21, "PreStyle", &TGeneratorObject::PreStyle, &TGeneratorObject::SetPreStyle),
    AutoProperty(22, "ImgPath", &TGeneratorObject::ImgPath, &TGeneratorObject::SetImgPath),
    AutoProperty(23, "OutPath", &TGeneratorObject::OutPath, &TGeneratorObject::SetOutPath),
    AutoProperty(24, "BasePath", &TGeneratorObject::BasePath, &TGeneratorObject::SetBasePath),
    AutoGetter(25, "ContentPath", &TGeneratorObject::ContentPath),
    AutoGetter(26, "TemplatePath", &TGeneratorObject::TemplatePath),
    AutoGetter(27, "Vars", &TGeneratorObject::Vars))

PW_AUTO_MEMBERS(TSectionObject,
    AutoMethod(1, "SaveAsHTML", &TSectionObject::SaveAsHTML),
    AutoMethod(2, "SaveAsText", &TSectionObject::SaveAsText),
    AutoMethod(3, "GetVar", &TSectionObject::GetVar),
    AutoMethod(4, "SetVar", &TSectionObject::SetVar),
    AutoMethod(5, "CatVar", &TSectionObject::CatVar),
    AutoMethod(6, "IsVar", &TSectionObject::IsVar),
    AutoMethod(7, "RemoveVar", &TSectionObject::RemoveVar),
    AutoGetter(8, "Name", &TSectionObject::Name),
    AutoGetter(9, "Extension", &TSectionObject::Extension),
    AutoProperty(10, "Index", &TSectionObject::Index, &TSectionObject::SetIndex),
    AutoProperty(11, "Content", &TSectionObject::Content, &TSectionObject::SetContent),
    AutoGetter(12, "HTML", &TSectionObject::HTML),
    AutoGetter(13, "Generator", &TSectionObject::Generator),
    AutoGetter(14, "Vars", &TSectionObject::Vars))

namespace {

// A script function registered as a build hook, called with the generator as `this`; a section
// handler gets the section's face and claims the section with a result that a script would call
// true. The generator owns its handlers, so it outlives this.
class TScriptBuildHandler final : public IBuildHandler {
 public:
  TScriptBuildHandler(TGenerator& generator, ComPtr<IDispatch> function)
      : FGenerator(generator), FFunction(std::move(function)) {}

  bool Invoke(TSection* section) override {
    std::vector<Variant> args;
    if (section) args.push_back(Variant::FromDispatch(TSectionObject::Of(*section).Dispatch()));
    Variant result;
    IDispatch* self = TGeneratorObject::Of(FGenerator).Dispatch();
    if (FAILED(CallDispatch(FFunction.Get(), DISPID_VALUE, args.data(), args.size(), self, &result))) {
      return false;
    }
    return Truthy(result.Dereferenced());
  }

 private:
  static bool Truthy(const Variant& value) {
    switch (value.BaseType()) {
      case VT_EMPTY:
      case VT_NULL:
        return false;
      case VT_BOOL:
        return value.BoolValue();
      case VT_BSTR:
        return !value.StringValue().isEmpty();
      case VT_I2:
      case VT_I4:
      case VT_I8:
      case VT_UI1:
        return value.IntValue() != 0;
      case VT_R4:
      case VT_R8:
        return value.RealValue() != 0 && value.RealValue() == value.RealValue();
      default:
        return true;
    }
  }

  TGenerator& FGenerator;
  ComPtr<IDispatch> FFunction;
};

TBuildHandlerPtr Handler(TGenerator& generator, ComPtr<IDispatch> function) {
  if (!function) throw EAutoObjectError(QStringLiteral("A build handler must be a function"));
  return std::make_shared<TScriptBuildHandler>(generator, std::move(function));
}

ComPtr<IDispatch> FaceOf(TSection* section) {
  return section ? ComPtr<IDispatch>(TSectionObject::Of(*section).Dispatch()) : nullptr;
}

std::string TextOf(const Variant& value) { return ValueToText(ValueOfVariant(value)); }

}  // namespace

// --- TGeneratorObject

TGeneratorObject& TGeneratorObject::Of(TGenerator& generator) {
  if (!generator.ScriptFace()) generator.SetScriptFace(std::shared_ptr<TGeneratorObject>(new TGeneratorObject(generator)));
  return *std::static_pointer_cast<TGeneratorObject>(generator.ScriptFace());
}

TGeneratorObject::TGeneratorObject(TGenerator& generator)
    : FGenerator(generator),
      FVariables(MakeAutoObject<TVariablesDictionary>(generator.Vars(), OwnerThread())) {
  SetDynamicProvider(FVariables.Get());
}

TGeneratorObject::~TGeneratorObject() {
  SetDynamicProvider(nullptr);
  FVariables->Detach();
}

void TGeneratorObject::AddPreBuild(ComPtr<IDispatch> handler) { FGenerator.AddPreBuild(Handler(FGenerator, std::move(handler))); }
void TGeneratorObject::AddPostBuild(ComPtr<IDispatch> handler) { FGenerator.AddPostBuild(Handler(FGenerator, std::move(handler))); }
void TGeneratorObject::AddSectionHandler(ComPtr<IDispatch> handler) {
  FGenerator.AddSectionHandler(Handler(FGenerator, std::move(handler)));
}
void TGeneratorObject::Generate(const std::string& text) { FGenerator.Generate(text); }
void TGeneratorObject::Clear() { FGenerator.Clear(); }
void TGeneratorObject::DefaultBuild() { FGenerator.DefaultBuild(); }
void TGeneratorObject::PreBuild() { FGenerator.PreBuild(); }
void TGeneratorObject::Build() { FGenerator.Build(); }
bool TGeneratorObject::IsVar(const std::string& name) { return FGenerator.IsVar(name); }
Variant TGeneratorObject::GetVar(const std::string& name, const Variant& fallback) {
  return VariantOfValue(FGenerator.GetVar(name, ValueOfVariant(fallback)));
}
void TGeneratorObject::SetVar(const std::string& name, const Variant& value) {
  FGenerator.SetVar(name, ValueOfVariant(value));
}
void TGeneratorObject::CatVar(const std::string& name, const Variant& value) {
  FGenerator.CatVar(name, TextOf(value));
}
void TGeneratorObject::RemoveVar(const std::string& name) { FGenerator.RemoveVar(name); }
ComPtr<IDispatch> TGeneratorObject::AddSection(const std::string& name, const std::string& content) {
  return FaceOf(FGenerator.AddSection(name, content));
}
ComPtr<IDispatch> TGeneratorObject::GetSectionByName(const std::string& name) {
  return FaceOf(FGenerator.GetSectionByName(name));
}
void TGeneratorObject::DeleteSection(std::int32_t index) { FGenerator.DeleteSection(index); }
std::int32_t TGeneratorObject::SectionCount() { return FGenerator.SectionCount(); }
ComPtr<IDispatch> TGeneratorObject::Section(std::int32_t index) { return FaceOf(FGenerator.Section(index)); }
std::string TGeneratorObject::Charset() { return FGenerator.Charset(); }
void TGeneratorObject::SetCharset(const std::string& charset) { FGenerator.SetCharset(charset); }
std::string TGeneratorObject::PreStyle() { return FGenerator.PreStyle(); }
void TGeneratorObject::SetPreStyle(const std::string& style) { FGenerator.SetPreStyle(style); }
std::string TGeneratorObject::ImgPath() { return FGenerator.ImgPath(); }
void TGeneratorObject::SetImgPath(const std::string& path) { FGenerator.SetImgPath(path); }
QString TGeneratorObject::OutPath() { return FGenerator.OutPath(); }
void TGeneratorObject::SetOutPath(const QString& path) { FGenerator.SetOutPath(path); }
QString TGeneratorObject::BasePath() { return FGenerator.BasePath(); }
void TGeneratorObject::SetBasePath(const QString& path) { FGenerator.SetBasePath(path); }
QString TGeneratorObject::ContentPath() { return FGenerator.ContentPath(); }
QString TGeneratorObject::TemplatePath() { return FGenerator.TemplatePath(); }
ComPtr<IDispatch> TGeneratorObject::Vars() { return ComPtr<IDispatch>(FVariables->AsDispatch()); }

// --- TSectionObject

TSectionObject& TSectionObject::Of(TSection& section) {
  if (!section.ScriptFace()) section.SetScriptFace(std::shared_ptr<TSectionObject>(new TSectionObject(section)));
  return *std::static_pointer_cast<TSectionObject>(section.ScriptFace());
}

TSectionObject::TSectionObject(TSection& section)
    : FSection(section),
      FVariables(MakeAutoObject<TVariablesDictionary>(section.Vars(), OwnerThread())) {
  // A section reads the generator's variables where it has none of its own.
  FVariables->SetParent(TGeneratorObject::Of(section.Generator()).Variables());
  SetDynamicProvider(FVariables.Get());
}

TSectionObject::~TSectionObject() {
  SetDynamicProvider(nullptr);
  FVariables->SetParent(nullptr);
  FVariables->Detach();
}

bool TSectionObject::SaveAsHTML(const QString& path) { return FSection.SaveAsHTML(path); }
bool TSectionObject::SaveAsText(const QString& path) { return FSection.SaveAsText(path); }
Variant TSectionObject::GetVar(const std::string& name, const Variant& fallback) {
  return VariantOfValue(FSection.GetVar(name, ValueOfVariant(fallback)));
}
void TSectionObject::SetVar(const std::string& name, const Variant& value) {
  FSection.SetVar(name, ValueOfVariant(value));
}
void TSectionObject::CatVar(const std::string& name, const Variant& value) {
  FSection.CatVar(name, TextOf(value));
}
bool TSectionObject::IsVar(const std::string& name) { return FSection.IsVar(name); }
void TSectionObject::RemoveVar(const std::string& name) { FSection.RemoveVar(name); }
std::string TSectionObject::Name() { return FSection.Name(); }
std::string TSectionObject::Extension() { return FSection.Extension(); }
std::int32_t TSectionObject::Index() { return FSection.Index(); }
void TSectionObject::SetIndex(std::int32_t index) { FSection.SetIndex(index); }
std::string TSectionObject::Content() { return FSection.Content(); }
void TSectionObject::SetContent(const std::string& content) { FSection.SetContent(content); }
std::string TSectionObject::HTML() { return FSection.HTML(); }
ComPtr<IDispatch> TSectionObject::Generator() {
  return ComPtr<IDispatch>(TGeneratorObject::Of(FSection.Generator()).Dispatch());
}
ComPtr<IDispatch> TSectionObject::Vars() { return ComPtr<IDispatch>(FVariables->AsDispatch()); }

}  // namespace pw
