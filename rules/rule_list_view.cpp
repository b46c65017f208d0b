#include "rules/rule_list_view.h"

#include "platform/text/wstr.h"
#include "platform/window/controls.h"
#include "rules/describe.h"
#include "rules/rule_list.h"

WCHAR mailboxFilter[RULE_TEXT_CHARS] = {};
bool listUpdating = false;

namespace {

bool fitsFilter(const Rule *rule)
{
  return mailboxFilter[0] == 0 || rule->mailbox[0] == 0 || wstrCmp(rule->mailbox, mailboxFilter) == 0;
}

} // namespace

void fillRuleListView(HWND listView)
{
  const DescriptionTexts texts = descriptionTexts();
  const bool wasUpdating = listUpdating;
  listUpdating = true;

  const auto mark = static_cast<int>(SendMessageW(listView, LVM_GETSELECTIONMARK, 0, 0));
  SendMessageW(listView, LVM_DELETEALLITEMS, 0, 0);
  int index = 0;
  for (Rule *rule = ruleList; rule; rule = rule->next) {
    if (!fitsFilter(rule))
      continue;
    std::u16string line = describeRuleWith(rule, texts);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    item.iItem = index;
    item.pszText = line.data();
    item.lParam = reinterpret_cast<LPARAM>(rule);
    item.stateMask = LVIS_SELECTED;
    item.state = index == mark ? LVIS_SELECTED : 0;
    SendMessageW(listView, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));

    LVITEMW image{};
    image.stateMask = LVIS_STATEIMAGEMASK;
    image.state = INDEXTOSTATEIMAGEMASK(rule->enabled ? 2 : 1);
    SendMessageW(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&image));
    ++index;
  }
  SendMessageW(listView, LVM_REDRAWITEMS, 0, index);
  UpdateWindow(listView);
  SendMessageW(listView, LVM_SETSELECTIONMARK, 0, mark);
  listUpdating = wasUpdating;
}
