// The script faces of the generator and its sections: TGeneratorObject and TSectionObject are
// components that publish a TGenerator or a TSection to scripts with their script-visible
// members, and whose free-form properties are the variables (a section's fall back to the
// generator's). The generator knows nothing of scripts, so each face lives in its scope's
// script-face slot: made on first use (Of), freed with its generator or section, after which a
// script still holding it gets an error from every call.
//
// Calls belong to the thread that made the face (the main thread, where the generator lives);
// script threads are handed over to it.
#pragma once

#include <QString>

#include <cstdint>
#include <string>

#include "generator/Generator.h"
#include "runtime/VariablesDictionary.h"
#include "scripting/AutoObject.h"

namespace pw {

class TGeneratorObject final : public TAutoComponent {
  PW_AUTO_CLASS(TGeneratorObject, TAutoComponent)

 public:
  // The face of generator, made on first use.
  static TGeneratorObject& Of(TGenerator& generator);
  ~TGeneratorObject() override;

  TDictionaryObject* Variables() const { return FVariables.Get(); }

  // --- Script members.
  void AddPreBuild(ComPtr<IDispatch> handler);
  void AddPostBuild(ComPtr<IDispatch> handler);
  void AddSectionHandler(ComPtr<IDispatch> handler);
  void Generate(const std::string& text);
  void Clear();
  void DefaultBuild();
  void PreBuild();
  void Build();
  bool IsVar(const std::string& name);
  Variant GetVar(const std::string& name, const Variant& fallback);
  void SetVar(const std::string& name, const Variant& value);
  void CatVar(const std::string& name, const Variant& value);
  void RemoveVar(const std::string& name);
  ComPtr<IDispatch> AddSection(const std::string& name, const std::string& content);
  ComPtr<IDispatch> GetSectionByName(const std::string& name);
  void DeleteSection(std::int32_t index);
  std::int32_t SectionCount();
  ComPtr<IDispatch> Section(std::int32_t index);
  std::string Charset();
  void SetCharset(const std::string& charset);
  std::string PreStyle();
  void SetPreStyle(const std::string& style);
  std::string ImgPath();
  void SetImgPath(const std::string& path);
  QString OutPath();
  void SetOutPath(const QString& path);
  QString BasePath();
  void SetBasePath(const QString& path);
  QString ContentPath();
  QString TemplatePath();
  ComPtr<IDispatch> Vars();

 private:
  explicit TGeneratorObject(TGenerator& generator);

  TGenerator& FGenerator;
  ComPtr<TVariablesDictionary> FVariables;
};

class TSectionObject final : public TAutoComponent {
  PW_AUTO_CLASS(TSectionObject, TAutoComponent)

 public:
  // The face of section, made on first use.
  static TSectionObject& Of(TSection& section);
  ~TSectionObject() override;

  // --- Script members.
  bool SaveAsHTML(const QString& path);
  bool SaveAsText(const QString& path);
  Variant GetVar(const std::string& name, const Variant& fallback);
  void SetVar(const std::string& name, const Variant& value);
  void CatVar(const std::string& name, const Variant& value);
  bool IsVar(const std::string& name);
  void RemoveVar(const std::string& name);
  std::string Name();
  std::string Extension();
  std::int32_t Index();
  void SetIndex(std::int32_t index);
  std::string Content();
  void SetContent(const std::string& content);
  std::string HTML();
  ComPtr<IDispatch> Generator();
  ComPtr<IDispatch> Vars();

 private:
  explicit TSectionObject(TSection& section);

  TSection& FSection;
  ComPtr<TVariablesDictionary> FVariables;
};

}  // namespace pw
