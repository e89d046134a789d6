#include "platform/SharedLibrary.h"

#include <gtest/gtest.h>

namespace pw::tests {
namespace {

double (*gCosine)(double) = nullptr;

bool ResolveCosine(const platform::TSharedLibrary& library, QString* error) {
  return library.Resolve(gCosine, "cos", error);
}

bool ResolveMissing(const platform::TSharedLibrary& library, QString* error) {
  return library.Resolve(gCosine, "pw_no_such_function", error);
}

// A library that cannot be opened, or lacks a function, says which and why, and keeps saying
// so; a sound one fills its slots.
TEST(SharedLibraryTest, LoadAnswersWithTheLoadersReason) {
  struct Case {
    const char* Soname;
    platform::TSharedLibrary::TResolver Resolver;
    bool Loads;
    const char* Named;  // what the reason names, when it fails
  };
  const Case cases[] = {
      {"libpagewick-missing.so.0", &ResolveCosine, false, "libpagewick-missing.so.0"},
      {"libm.so.6", &ResolveMissing, false, "pw_no_such_function"},
      {"libm.so.6", &ResolveCosine, true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Soname);
    platform::TSharedLibrary library(c.Soname, c.Resolver);
    for (int call = 0; call < 2; ++call) {
      QString error;
      EXPECT_EQ(library.Load(&error), c.Loads);
      if (c.Loads) {
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
      } else {
        EXPECT_TRUE(error.contains(QLatin1String(c.Named))) << error.toStdString();
      }
    }
    if (c.Loads) {
      EXPECT_DOUBLE_EQ(gCosine(0.0), 1.0);
    }
  }
}

}  // namespace
}  // namespace pw::tests
