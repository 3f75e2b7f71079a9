#include "store/workarea.h"

#include <cctype>

namespace planilla {
namespace {

bool sameAlias(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

WorkAreas::WorkAreas(int capacity) : areas_(static_cast<size_t>(capacity < 1 ? 1 : capacity) + 1) {}

WorkAreas::~WorkAreas() { closeAll(); }

Status WorkAreas::select(int area) {
  if (area == 0) {
    int f = freeArea();
    if (f == 0) return Status::invalid("no quedan areas de trabajo libres");
    current_ = f;
    return Status::ok();
  }
  if (area < 1 || area > capacity())
    return Status::invalid("area de trabajo " + std::to_string(area) + " fuera de rango");
  current_ = area;
  return Status::ok();
}

Status WorkAreas::select(std::string_view alias) {
  int a = areaOf(alias);
  if (a == 0) return Status::notFound("no hay una tabla abierta con el alias " + std::string(alias));
  current_ = a;
  return Status::ok();
}

Table* WorkAreas::table(int area) const {
  if (area < 1 || area > capacity()) return nullptr;
  return areas_[static_cast<size_t>(area)].get();
}

int WorkAreas::areaOf(std::string_view alias) const {
  for (int a = 1; a <= capacity(); ++a)
    if (areas_[static_cast<size_t>(a)] && sameAlias(areas_[static_cast<size_t>(a)]->alias(), alias)) return a;
  return 0;
}

Table* WorkAreas::find(std::string_view alias) const { return table(areaOf(alias)); }

int WorkAreas::freeArea() const {
  for (int a = 1; a <= capacity(); ++a)
    if (!areas_[static_cast<size_t>(a)]) return a;
  return 0;
}

Status WorkAreas::use(int area, std::unique_ptr<Table> t) {
  if (area == 0) area = current_;
  if (area < 1 || area > capacity())
    return Status::invalid("area de trabajo " + std::to_string(area) + " fuera de rango");
  if (t) {
    int other = areaOf(t->alias());
    if (other != 0 && other != area)
      return Status::invalid("el alias " + t->alias() + " ya esta en uso en el area " + std::to_string(other));
  }
  close(area);
  areas_[static_cast<size_t>(area)] = std::move(t);
  current_ = area;
  return Status::ok();
}

Result<Table*> WorkAreas::open(FileSystem& fs, int area, const std::string& path, OpenMode mode,
                               const std::string& alias) {
  if (area == 0) area = current_;
  if (area < 1 || area > capacity())
    return Status::invalid("area de trabajo " + std::to_string(area) + " fuera de rango");
  // The area is emptied first so that reopening the same table there works.
  close(area);
  auto t = Table::open(fs, path, mode, alias);
  if (!t) return t.status();
  Table* raw = t->get();
  PLANILLA_RETURN_IF_ERROR(use(area, std::move(t).value()));
  return raw;
}

void WorkAreas::close(int area) {
  if (area < 1 || area > capacity()) return;
  auto& slot = areas_[static_cast<size_t>(area)];
  if (slot) {
    slot->close();
    slot.reset();
  }
}

void WorkAreas::closeAll() {
  for (int a = 1; a <= capacity(); ++a) close(a);
  current_ = 1;
}

}  // namespace planilla
