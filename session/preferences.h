// The choices an operator makes for himself on his station ("do not show the month's
// checklist when the working date is chosen"): key=value lines in a file of the
// system user's own configuration folder ($XDG_CONFIG_HOME/planilla/preferencias,
// else ~/.config/planilla/preferencias; %APPDATA%\planilla\preferencias on Windows),
// each key under the program user who chose it, so that two operators sharing a
// system account keep their own. Nothing of it is in the shared data directory.
#pragma once

#include <string>

#include "store/status.h"

namespace planilla {

// The file, or "" when the system gives no configuration folder.
std::string preferencesPath();
// The value of `key` for program user `user`; `fallback` when unset or unreadable.
std::string preference(const std::string& user, const std::string& key, const std::string& fallback = "");
// Sets it; the file is rewritten beside itself and put in place whole.
Status setPreference(const std::string& user, const std::string& key, const std::string& value);

}  // namespace planilla
