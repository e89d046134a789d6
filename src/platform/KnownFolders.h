// Stand-in for the shell's special folders, mapped to XDG locations. Setting the environment
// variable PAGEWICK_HOME roots every folder below it (tests and portable use).
#pragma once

#include <QString>

namespace pw::platform {

enum class SpecialFolder {
  Documents,        // the user's documents ($XDG_DOCUMENTS_DIR or ~/Documents)
  AppData,          // the user's application data ($XDG_CONFIG_HOME or ~/.config)
  CommonAppData,    // all users' application data (/etc/xdg when writable, else AppData)
  CommonDocuments,  // all users' documents (/srv/pagewick when writable, else Documents)
};

// The folder, ending in '/'. Under PAGEWICK_HOME: $PAGEWICK_HOME/documents/, appdata/,
// common-appdata/, common-documents/.
QString SpecialFolderPath(SpecialFolder folder);

// The folder of the running program file, ending in '/'.
QString ModuleFolder();

}  // namespace pw::platform
