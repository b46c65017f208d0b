// Sets the TZ time zone for one scope and puts the old value back.
#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

class ZoneScope {
public:
  explicit ZoneScope(const char *zone)
  {
    const char *old = std::getenv("TZ");
    hadOld_ = old != nullptr;
    if (old)
      old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneScope()
  {
    if (hadOld_)
      setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  ZoneScope(const ZoneScope &) = delete;
  ZoneScope &operator=(const ZoneScope &) = delete;

private:
  bool hadOld_ = false; // TZ was set before
  std::string old_;     // its value
};
