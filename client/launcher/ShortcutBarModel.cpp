#include "client/launcher/ShortcutBarModel.h"

#include <utility>

int CShortcutBarModel::AddFolder(const std::string& name) {
  if (FolderCount() >= kMaxFolders) return -1;
  ShortcutFolder folder;
  folder.name = name;
  m_folders.push_back(std::move(folder));
  if (m_current < 0) m_current = 0;
  return FolderCount() - 1;
}

bool CShortcutBarModel::RemoveFolder(int index) {
  if (Folder(index) == nullptr) return false;
  m_folders.erase(m_folders.begin() + index);
  if (m_folders.empty()) {
    m_current = -1;
  } else if (m_current >= index && m_current > 0) {
    --m_current;
  }
  return true;
}

std::string CShortcutBarModel::FolderName(int index) const {
  const ShortcutFolder* folder = Folder(index);
  return folder ? folder->name : std::string();
}

bool CShortcutBarModel::SetFolderName(int index, const std::string& name) {
  ShortcutFolder* folder = Folder(index);
  if (folder == nullptr) return false;
  folder->name = name;
  return true;
}

bool CShortcutBarModel::SetCurrentFolder(int index) {
  if (Folder(index) == nullptr) return false;
  m_current = index;
  return true;
}

int CShortcutBarModel::ItemCount(int folder) const {
  const ShortcutFolder* f = Folder(folder);
  return f ? static_cast<int>(f->items.size()) : 0;
}

int CShortcutBarModel::AddItem(int folder, const ShortcutItem& item) {
  ShortcutFolder* f = Folder(folder);
  if (f == nullptr) return -1;
  f->items.push_back(item);
  return static_cast<int>(f->items.size()) - 1;
}

bool CShortcutBarModel::RemoveItem(int index) {
  ShortcutFolder* f = Folder(m_current);
  if (f == nullptr || index < 0 || index >= static_cast<int>(f->items.size())) return false;
  f->items.erase(f->items.begin() + index);
  return true;
}

const ShortcutItem* CShortcutBarModel::Item(int folder, int index) const {
  const ShortcutFolder* f = Folder(folder);
  if (f == nullptr || index < 0 || index >= static_cast<int>(f->items.size())) return nullptr;
  return &f->items[static_cast<size_t>(index)];
}

bool CShortcutBarModel::SetItemName(int index, const std::string& name) {
  ShortcutFolder* f = Folder(m_current);
  if (f == nullptr || index < 0 || index >= static_cast<int>(f->items.size())) return false;
  f->items[static_cast<size_t>(index)].name = name;
  return true;
}

bool CShortcutBarModel::MoveItem(int from, int target) {
  ShortcutFolder* f = Folder(m_current);
  if (f == nullptr) return false;
  const int count = static_cast<int>(f->items.size());
  if (from < 0 || from >= count || target == from) return false;
  if (target != kToEnd && (target < 0 || target >= count)) return false;
  ShortcutItem moved = std::move(f->items[static_cast<size_t>(from)]);
  f->items.erase(f->items.begin() + from);
  // With the item taken out, every later index is one smaller: the target's place is one earlier
  // when the item came from above it.
  int place = target == kToEnd ? count - 1 : (from < target ? target - 1 : target);
  f->items.insert(f->items.begin() + place, std::move(moved));
  return true;
}

ShortcutFolder* CShortcutBarModel::Folder(int index) {
  if (index < 0 || index >= FolderCount()) return nullptr;
  return &m_folders[static_cast<size_t>(index)];
}

const ShortcutFolder* CShortcutBarModel::Folder(int index) const {
  if (index < 0 || index >= FolderCount()) return nullptr;
  return &m_folders[static_cast<size_t>(index)];
}
