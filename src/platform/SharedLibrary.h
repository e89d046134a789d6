// TSharedLibrary: a shared library that the process opens by its soname the first time it is
// needed, rather than through the executable's own list of libraries. A build that runs no
// script and uploads nothing then never pays the dynamic loader's time for the script engine
// or the network library. Each user keeps one instance as a function-local static beside its
// table of function slots, and gives it a resolver that fills those slots.
// Once opened, a library stays loaded for the rest of the process (the slots point into it).
// Thread-safety: Load may be called from any number of threads at once; the first call opens
// the library and runs the resolver, the others wait for it, and every call answers the
// outcome of that first one.
#pragma once

#include <QString>

#include <mutex>

namespace pw::platform {

class TSharedLibrary {
 public:
  // Fills the user's slots from the opened library, and does the library's own one-time
  // set-up if it has one; false, with the reason, when a function is missing.
  using TResolver = bool (*)(const TSharedLibrary& library, QString* error);

  TSharedLibrary(const char* soname, TResolver resolver) : FSoname(soname), FResolver(resolver) {}
  TSharedLibrary(const TSharedLibrary&) = delete;
  TSharedLibrary& operator=(const TSharedLibrary&) = delete;

  // Opens the library and resolves its functions on the first call. False with the loader's
  // reason ("libcurl.so.4: cannot open shared object file: No such file or directory"), then
  // and on every later call.
  bool Load(QString* error);

  // Stores the address of the named function in slot; false with the loader's reason when the
  // library has no such function. For resolvers only.
  template <class Function>
  bool Resolve(Function& slot, const char* name, QString* error) const {
    void* address = Address(name, error);
    slot = reinterpret_cast<Function>(address);
    return address != nullptr;
  }

 private:
  void* Address(const char* name, QString* error) const;

  const char* FSoname;
  TResolver FResolver;
  std::once_flag FOnce;
  void* FHandle = nullptr;
  bool FLoaded = false;
  QString FError;
};

}  // namespace pw::platform

// For the users' tables, over an X-macro list of function names: one slot per function, typed
// as the function is, and the resolver's step for each (with `library`, `table` and `error` in
// scope). The list must be expanded where the names are not yet redirected to the slots.
#define PW_LIBRARY_SLOT(name) decltype(&::name) name = nullptr;
#define PW_LIBRARY_RESOLVE(name) \
  if (!library.Resolve(table.name, #name, error)) return false;

// A library's table, declared in its header: the type with a slot per function of the list, the
// process-wide instance, and the loader that opens the library on its first call (false with the
// reason when it cannot, then and on every later call).
#define PW_DECLARE_LIBRARY_TABLE(Type, instance, loader, LIST) \
  struct Type {                                                 \
    LIST(PW_LIBRARY_SLOT)                                       \
  };                                                            \
  extern Type instance;                                         \
  bool loader(QString* error);

// Its definition, in the one file that sees the real names. setup (a statement) runs once, after
// every slot is filled: the library's own one-time set-up, if it has one.
#define PW_DEFINE_LIBRARY_TABLE(Type, instance, loader, LIST, soname, setup)                       \
  Type instance;                                                                                \
  bool loader(QString* error) {                                                                 \
    static ::pw::platform::TSharedLibrary library(                                              \
        soname, [](const ::pw::platform::TSharedLibrary& library, QString* error) {             \
          Type& table = instance;                                                               \
          LIST(PW_LIBRARY_RESOLVE)                                                              \
          setup;                                                                                \
          return true;                                                                          \
        });                                                                                     \
    return library.Load(error);                                                                 \
  }
