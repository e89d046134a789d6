// TDictionaryObject ("Dictionary"): an ordered key/value store for scripts whose keys compare
// without regard to letter case and need not be unique (Add appends, lookups find the first).
// It is also the dynamic-member provider behind the generator, every section and every script
// thread: names outside an object's member table become its entries, and a dictionary may
// hand names it lacks to a parent dictionary (its own provider), whose identifiers it offsets
// by a further 6000. A dynamic identifier stands for its name, not for an entry's position, so
// identifiers a caller keeps stay right after removals and sorting, and a write through the
// identifier of a parent's name creates the name in this dictionary.
//
// Reference-counted like every script object. The entries are guarded by a mutex, so a
// dictionary shared between script threads may be used from any of them; a stored function is
// called outside the lock. Subclasses may keep the entries elsewhere (the generator's
// variables) by overriding the storage virtuals; they then decide their own thread rules.
#pragma once

#include <QString>

#include <cstdint>
#include <mutex>
#include <vector>

#include "scripting/AutoObject.h"

struct _xmlNode;

namespace pw {

class TDictionaryObject : public TCustomAutoObject {
  PW_AUTO_CLASS(TDictionaryObject, TCustomAutoObject)

 public:
  TDictionaryObject() = default;

  // Script members. Keys are text or numbers (written as text); anything else is refused with
  // a script error, as is a position outside the entries.
  std::int32_t IndexOf(const Variant& key);
  bool Exists(const Variant& key);
  void Sort();
  std::int32_t Add(const Variant& key, const Variant& value);
  void Remove(const Variant& key);
  void RemoveAt(std::int32_t index);
  Variant Items(std::int32_t index);
  QString Keys(std::int32_t index);
  void RemoveAll();
  // Empty when absent, and reading adds nothing; writing sets the first entry or appends one.
  Variant Item(const Variant& key);
  void SetItem(const Variant& key, const Variant& value);
  Variant Value(std::int32_t index);
  void SetValue(std::int32_t index, const Variant& value);
  std::int32_t Length();

  // Host side: the same operations on native values.
  int Find(const QString& key) { return StoreIndexOf(key); }
  Variant Get(const QString& key);
  void Set(const QString& key, const Variant& value);

  // Host side: the settings file keeps a dictionary as the "item" children of an element,
  // each with its key in "name", its kind in "type" (String, Integer or Binary, the last as
  // hexadecimal text) and its value as text. Loading replaces every entry; items of another
  // kind are skipped. Saving appends one child per entry, in order.
  void LoadFromXML(_xmlNode* element);
  void SaveToXML(_xmlNode* element);
  static QString GetTypeName() { return QStringLiteral("Dictionary"); }

  // The parent scope: names this dictionary lacks are read from it (a section's variables
  // fall back to the generator's). Null detaches.
  void SetParent(TDictionaryObject* parent) { SetDynamicProvider(parent); }

 protected:
  ~TDictionaryObject() override = default;

  // The dynamic-member provider: entries by position, created on assignment, and the parent's
  // entries at 6000 + their position.
  std::int32_t GetDynamicDispID(const QString& name, bool ensure) override;
  HRESULT InvokeDynamic(std::int32_t index, LCID lcid, std::uint16_t flags, DISPPARAMS* params,
                        Variant* result, EXCEPINFO* excepInfo, IUnknown* caller) override;

  // Storage, called with the lock held. Positions passed in are checked by the caller
  // (0 <= index < StoreLength()).
  virtual int StoreLength();
  virtual int StoreIndexOf(const QString& key);
  virtual QString StoreKey(int index);
  virtual Variant StoreValue(int index);
  virtual void StoreSetValue(int index, const Variant& value);
  virtual int StoreAppend(const QString& key, const Variant& value);
  virtual void StoreRemoveAt(int index);
  virtual void StoreClear();
  virtual void StoreSort();

 private:
  struct TEntry {
    QString Key;
    Variant Value;
  };

  // The position as an index of the entries, or a script error. With the lock held.
  int CheckedIndex(std::int32_t index);
  // The name an identifier of this dictionary stands for (one of the parent's at 6000 and
  // above); empty when there is none.
  QString DynamicName(std::int32_t id);
  // The identifier of a name here: its place in the list of names ever given out, so that an
  // identifier keeps standing for its name. With the lock held.
  std::int32_t NameId(const QString& name);
  TDictionaryObject* ParentDictionary() const;
  // The provider's two steps; a store that fails throws, which the callers turn into answers.
  std::int32_t FindDynamic(const QString& name, bool ensure);
  HRESULT InvokeEntry(std::int32_t index, LCID lcid, std::uint16_t flags, DISPPARAMS* params,
                      Variant* result, EXCEPINFO* excepInfo, IUnknown* caller);
  // Sets the first entry with key or appends one; returns its position. With the lock held.
  int SetLocked(const QString& key, const Variant& value);

  // Recursive: releasing a replaced value may run a destructor that reads this dictionary.
  std::recursive_mutex FMutex;
  std::vector<TEntry> FEntries;
  std::vector<QString> FDynamicNames;  // index = dynamic identifier; never shrinks
};

// The key of a script argument: text, or a number written as text. Throws EAutoObjectError
// for anything else (an object, an array, null, undefined).
QString DictionaryKey(const Variant& key);

}  // namespace pw
