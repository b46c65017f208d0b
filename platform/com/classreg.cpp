#include "platform/com/classreg.h"

#include "platform/com/guidtext.h"
#include "platform/registry/registry.h"
#include "platform/text/wstr.h"

#include <string>

namespace {

std::u16string classKeyPath(REFCLSID clsid)
{
  WCHAR text[40];
  StringFromGUID2(clsid, text, 40);
  return std::u16string(u"CLSID\\") + text;
}

LONG setString(HKEY key, LPCWSTR name, LPCWSTR text)
{
  DWORD bytes = static_cast<DWORD>((wstrLen(text) + 1) * sizeof(WCHAR));
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text), bytes);
}

} // namespace

HRESULT registerInprocServer(REFCLSID clsid, LPCWSTR modulePath, LPCWSTR threadingModel)
{
  if (!modulePath)
    return SELFREG_E_CLASS;
  std::u16string path = classKeyPath(clsid) + u"\\InprocServer32";
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return SELFREG_E_CLASS;
  LONG rc = setString(key, nullptr, modulePath);
  if (rc == ERROR_SUCCESS && threadingModel)
    rc = setString(key, u"ThreadingModel", threadingModel);
  (void)RegCloseKey(key); // the values are written by now; closing cannot lose them
  return rc == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

HRESULT unregisterInprocServer(REFCLSID clsid)
{
  LONG rc = RegDeleteKeyW(HKEY_CLASSES_ROOT, classKeyPath(clsid).c_str());
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}
