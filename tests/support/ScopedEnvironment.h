// Sets an environment variable for the life of the object and restores it afterwards.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace pw::tests {

class TScopedEnvironment {
 public:
  TScopedEnvironment(const char* name, const std::optional<std::string>& value) : FName(name) {
    if (const char* old = std::getenv(name)) FOld = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~TScopedEnvironment() {
    if (FOld) {
      setenv(FName.c_str(), FOld->c_str(), 1);
    } else {
      unsetenv(FName.c_str());
    }
  }
  TScopedEnvironment(const TScopedEnvironment&) = delete;
  TScopedEnvironment& operator=(const TScopedEnvironment&) = delete;

 private:
  std::string FName;
  std::optional<std::string> FOld;
};

}  // namespace pw::tests
