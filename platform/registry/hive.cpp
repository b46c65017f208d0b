#include "platform/registry/hive.h"

#include "platform/text/wstr.h"

#include <algorithm>

std::u16string foldPath(std::u16string_view path)
{
  std::u16string out(path);
  for (auto &c : out)
    c = toLowerUnit(c);
  return out;
}

Hive emptyHive()
{
  Hive hive;
  hive.keys.emplace(u"", RegKey{});
  return hive;
}

RegKey *findKey(Hive &hive, std::u16string_view path)
{
  auto it = hive.keys.find(foldPath(path));
  return it == hive.keys.end() ? nullptr : &it->second;
}

const RegKey *findKey(const Hive &hive, std::u16string_view path)
{
  auto it = hive.keys.find(foldPath(path));
  return it == hive.keys.end() ? nullptr : &it->second;
}

RegKey &ensureKey(Hive &hive, std::u16string_view path, bool *created)
{
  hive.keys.try_emplace(u"");
  *created = false;
  RegKey *key = &hive.keys[u""];
  // Walk down component by component, so every key above exists too.
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t cut = path.find(u'\\', start);
    std::size_t end = cut == std::u16string_view::npos ? path.size() : cut;
    std::u16string_view prefix = path.substr(0, end);
    auto [it, inserted] = hive.keys.try_emplace(foldPath(prefix));
    if (inserted)
      it->second.path = std::u16string(prefix);
    *created = inserted;
    key = &it->second;
    start = end + 1;
  }
  return *key;
}

bool deleteKeyTree(Hive &hive, std::u16string_view path)
{
  std::u16string folded = foldPath(path);
  if (folded.empty())
    return false;
  auto it = hive.keys.find(folded);
  if (it == hive.keys.end())
    return false;
  std::u16string below = folded + u'\\';
  it = hive.keys.erase(it);
  while (it != hive.keys.end() && it->first.compare(0, below.size(), below) == 0)
    it = hive.keys.erase(it);
  return true;
}

std::vector<std::u16string> subkeyNames(const Hive &hive, std::u16string_view path)
{
  std::u16string below = foldPath(path);
  if (!below.empty())
    below += u'\\';
  std::vector<std::u16string> names;
  for (auto it = hive.keys.lower_bound(below); it != hive.keys.end(); ++it) {
    if (it->first.compare(0, below.size(), below) != 0)
      break;
    std::u16string_view rest = std::u16string_view(it->second.path).substr(below.size());
    if (!rest.empty() && rest.find(u'\\') == std::u16string_view::npos)
      names.emplace_back(rest);
  }
  return names;
}

RegValue *findValue(RegKey &key, std::u16string_view name)
{
  for (auto &v : key.values)
    if (wstrICmp(v.name, name) == 0)
      return &v;
  return nullptr;
}

bool setValue(RegKey &key, std::u16string_view name, DWORD type, std::vector<BYTE> data)
{
  if (RegValue *v = findValue(key, name)) {
    if (v->type == type && v->data == data)
      return false;
    v->type = type;
    v->data = std::move(data);
    return true;
  }
  key.values.push_back(RegValue{std::u16string(name), type, std::move(data)});
  return true;
}

bool deleteValue(RegKey &key, std::u16string_view name)
{
  auto it = std::find_if(key.values.begin(), key.values.end(),
                         [&](const RegValue &v) { return wstrICmp(v.name, name) == 0; });
  if (it == key.values.end())
    return false;
  key.values.erase(it);
  return true;
}
