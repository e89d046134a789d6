// TVariablesDictionary: the script Dictionary over the variables of the generator or of one
// section, so scripts and placeholders read and write the same store. Values cross between the
// generator's TValue (text, integer, number, Boolean) and script values; any other script value
// (an object, an array, a date) is kept whole in the variable and read as text by placeholders.
//
// Created and detached by the generator's and the sections' script faces; once detached (its
// scope freed) every member fails with a script error. Its calls belong to the thread of its
// scope (the main thread): scripts on other threads are handed over there.
#pragma once

#include "generator/Variables.h"
#include "scripting/objects/DictionaryObject.h"

namespace pw {

// Between generator values and script values.
Variant VariantOfValue(const TValue& value);
TValue ValueOfVariant(const Variant& value);

class TVariablesDictionary final : public TDictionaryObject {
 public:
  TVariablesDictionary(TVariables& variables, ThreadRef owner)
      : FVariables(&variables), FOwner(std::move(owner)) {}

  // Cuts the link to the variables (their scope is being freed).
  void Detach();

  ThreadRef OwnerThread() const override { return FOwner; }

 protected:
  int StoreLength() override;
  int StoreIndexOf(const QString& key) override;
  QString StoreKey(int index) override;
  Variant StoreValue(int index) override;
  void StoreSetValue(int index, const Variant& value) override;
  int StoreAppend(const QString& key, const Variant& value) override;
  void StoreRemoveAt(int index) override;
  void StoreClear() override;
  void StoreSort() override;

 private:
  ~TVariablesDictionary() override = default;
  // The variables, or a script error once detached.
  TVariables& Vars();

  TVariables* FVariables;  // null once detached; used on the owner thread only
  ThreadRef FOwner;
};

}  // namespace pw
