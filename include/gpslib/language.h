// Choosing the language the service speaks. The service reads every word from the string module
// "GPSResources_EN.dll" in the settings folder it is started in (the name is the service's, not
// a language); a client chooses a language by which language's module it puts there under that
// name. These helpers do that for C++ clients; gpsnav and the Python package use the same rules
// (docs/languages.md).
#ifndef GPSLIB_LANGUAGE_H_
#define GPSLIB_LANGUAGE_H_

#include <gpslib/automation.h>

#include <string>
#include <string_view>
#include <vector>

namespace gpslib {

// The languages gpslib has string modules for, English first: "en", "de", "fr", "es", "it",
// "pt-BR".
GPSLIB_API std::vector<std::string> KnownLanguages();

// The language of a locale name as the environment gives it: "de_DE.UTF-8" and "de" give "de",
// "pt_BR", "pt_PT" and "pt" give "pt-BR" (the one Portuguese module), "C", "POSIX" and "" give
// "en". Anything else gives its language part in lower case ("xx_YY" gives "xx"), which may be
// no known language.
GPSLIB_API std::string LanguageOfLocale(std::string_view locale);

// The language of the environment: the first of LC_ALL, LC_MESSAGES and LANG that is set and not
// empty, through LanguageOfLocale; "en" when none is, or when it names no known language.
GPSLIB_API std::string EnvironmentLanguage();

// The file name of a language's module: "GPSResources_DE.dll", "GPSResources_PT_BR.dll".
GPSLIB_API std::string LanguageModuleName(std::string_view language);

struct LanguageChoice {
    // The language the settings folder's module now speaks.
    std::string language;
    // True when the module of the language asked for is missing or damaged and English was put
    // there instead; `note` then says so in one line.
    bool fellBack = false;
    std::string note;
};

// Makes the module in `settingsDir` (created when missing; a trailing '/' is optional) the one
// of `language` ("de", "de_DE.UTF-8", "pt-BR", ...). The modules are looked for in `moduleDirs`
// first, then in the data folder of the installation this runtime belongs to; the folder's
// module is replaced unless it is already that one. False, with `error` naming the known
// languages, when `language` is none of them; when its module is missing or damaged the folder
// gets the English one and `choice` says so.
GPSLIB_API bool UseLanguage(const std::string& settingsDir, std::string_view language,
                            const std::vector<std::string>& moduleDirs, LanguageChoice* choice,
                            std::string* error);

} // namespace gpslib

#endif // GPSLIB_LANGUAGE_H_
