#include "platform/resources/language.h"

#include <cstdlib>
#include <string>

namespace {

constexpr LANGID ENGLISH_US = 0x0409;

// Language and country -> language id, for the countries whose id differs
// from the language's main one.
struct CountryEntry {
  const char *locale; // "ll_CC"
  LANGID id;          // its Windows language id
};

constexpr CountryEntry COUNTRIES[] = {
    {"en_us", 0x0409}, {"en_gb", 0x0809}, {"en_au", 0x0C09}, {"en_ca", 0x1009}, {"en_nz", 0x1409},
    {"en_ie", 0x1809}, {"en_za", 0x1C09}, {"en_in", 0x4009}, {"fr_fr", 0x040C}, {"fr_be", 0x080C},
    {"fr_ca", 0x0C0C}, {"fr_ch", 0x100C}, {"fr_lu", 0x140C}, {"de_de", 0x0407}, {"de_ch", 0x0807},
    {"de_at", 0x0C07}, {"de_lu", 0x1007}, {"de_li", 0x1407}, {"es_es", 0x0C0A}, {"es_mx", 0x080A},
    {"es_ar", 0x2C0A}, {"es_co", 0x240A}, {"es_cl", 0x340A}, {"es_us", 0x540A}, {"it_it", 0x0410},
    {"it_ch", 0x0810}, {"nl_nl", 0x0413}, {"nl_be", 0x0813}, {"pt_br", 0x0416}, {"pt_pt", 0x0816},
    {"sv_se", 0x041D}, {"sv_fi", 0x081D}, {"zh_cn", 0x0804}, {"zh_tw", 0x0404}, {"zh_hk", 0x0C04},
    {"zh_sg", 0x1004}, {"nb_no", 0x0414}, {"nn_no", 0x0814}, {"sr_rs", 0x241A}, {"ar_sa", 0x0401},
    {"ar_eg", 0x0C01}, {"ru_ua", 0x0819},
};

// Language -> its main language id (the one with the default country).
struct LanguageEntry {
  const char *language; // "ll"
  LANGID id;            // its Windows language id
};

constexpr LanguageEntry LANGUAGES[] = {
    {"ar", 0x0401}, {"bg", 0x0402}, {"ca", 0x0403}, {"zh", 0x0804}, {"cs", 0x0405}, {"da", 0x0406},
    {"de", 0x0407}, {"el", 0x0408}, {"en", 0x0409}, {"es", 0x0C0A}, {"fi", 0x040B}, {"fr", 0x040C},
    {"he", 0x040D}, {"hu", 0x040E}, {"is", 0x040F}, {"it", 0x0410}, {"ja", 0x0411}, {"ko", 0x0412},
    {"nl", 0x0413}, {"nb", 0x0414}, {"no", 0x0414}, {"pl", 0x0415}, {"pt", 0x0416}, {"ro", 0x0418},
    {"ru", 0x0419}, {"hr", 0x041A}, {"sk", 0x041B}, {"sq", 0x041C}, {"sv", 0x041D}, {"th", 0x041E},
    {"tr", 0x041F}, {"ur", 0x0420}, {"id", 0x0421}, {"uk", 0x0422}, {"be", 0x0423}, {"sl", 0x0424},
    {"et", 0x0425}, {"lv", 0x0426}, {"lt", 0x0427}, {"fa", 0x0429}, {"vi", 0x042A}, {"hy", 0x042B},
    {"eu", 0x042D}, {"mk", 0x042F}, {"af", 0x0436}, {"ka", 0x0437}, {"hi", 0x0439}, {"ms", 0x043E},
    {"kk", 0x043F}, {"sw", 0x0441}, {"gl", 0x0456}, {"sr", 0x241A}, {"nn", 0x0814},
};

std::string lower(std::string_view s)
{
  std::string out(s);
  for (auto &c : out)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c + 32);
  return out;
}

} // namespace

LANGID languageIdOfLocale(std::string_view locale)
{
  // "ll_CC.codeset@modifier": the codeset and modifier do not matter.
  std::string name = lower(locale.substr(0, locale.find_first_of(".@")));
  for (const auto &e : COUNTRIES)
    if (name == e.locale)
      return e.id;
  std::string language = name.substr(0, name.find('_'));
  for (const auto &e : LANGUAGES)
    if (language == e.language)
      return e.id;
  return ENGLISH_US; // C, POSIX and everything unknown
}

LANGID GetUserDefaultUILanguage()
{
  for (const char *var : {"LC_ALL", "LC_MESSAGES", "LANG"})
    if (const char *value = std::getenv(var); value && *value)
      return languageIdOfLocale(value);
  return ENGLISH_US;
}
