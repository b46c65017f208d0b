#include "platform/com/dataobject.h"

void ReleaseStgMedium(STGMEDIUM *pmedium)
{
  if (!pmedium)
    return;
  if (pmedium->pUnkForRelease)
    pmedium->pUnkForRelease->Release();
  *pmedium = STGMEDIUM{TYMED_NULL, nullptr, nullptr};
}
