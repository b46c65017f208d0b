// The control classes, registered with the window system's own classes.
#include "platform/window/window_internal.h"

void registerStaticClass();
void registerButtonClass();
void registerEditClass();
void registerComboClasses();
void registerListViewClass();

void registerControlClasses()
{
  registerStaticClass();
  registerButtonClass();
  registerEditClass();
  registerComboClasses();
  registerListViewClass();
}
