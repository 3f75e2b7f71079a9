#include "session/preferences.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "store/platform.h"
#include "store/value.h"

namespace planilla {

namespace {

std::map<std::string, std::string> readAll(const std::string& path) {
  std::map<std::string, std::string> out;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) out[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return out;
}

// Keys and values stay on one line.
std::string oneLine(std::string s) {
  for (char& c : s) {
    if (c == '\n' || c == '\r' || c == '=') c = ' ';
  }
  return s;
}

std::string keyOf(const std::string& user, const std::string& key) { return oneLine(trimRight(user) + "." + key); }

}  // namespace

std::string preferencesPath() {
  std::filesystem::path dir;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) {
    dir = x;
  } else if (const char* a = std::getenv("APPDATA"); a && *a) {
    dir = a;
  } else if (const char* h = std::getenv("HOME"); h && *h) {
    dir = std::filesystem::path(h) / ".config";
  } else {
    return "";
  }
  return (dir / "planilla" / "preferencias").string();
}

std::string preference(const std::string& user, const std::string& key, const std::string& fallback) {
  const std::string path = preferencesPath();
  if (path.empty()) return fallback;
  auto all = readAll(path);
  auto it = all.find(keyOf(user, key));
  return it == all.end() ? fallback : it->second;
}

Status setPreference(const std::string& user, const std::string& key, const std::string& value) {
  const std::string path = preferencesPath();
  if (path.empty()) return Status::notFound("No hay carpeta de configuracion del usuario para guardar la preferencia");
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  auto all = readAll(path);
  all[keyOf(user, key)] = oneLine(value);
  const std::string tmp = path + "." + std::to_string(platform::processId()) + ".tmp";
  {
    std::ofstream out(tmp, std::ios::trunc);
    for (const auto& [k, v] : all) out << k << "=" << v << "\n";
    if (!out.flush()) {
      std::remove(tmp.c_str());
      return Status::ioError("No se pudo guardar la preferencia en " + path);
    }
  }
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    std::remove(tmp.c_str());
    return Status::ioError("No se pudo guardar la preferencia en " + path);
  }
  return Status::ok();
}

}  // namespace planilla
