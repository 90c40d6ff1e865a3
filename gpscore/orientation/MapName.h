// The plain name of a map, as spoken, from the name of its file.
#ifndef GPSCORE_ORIENTATION_MAPNAME_H_
#define GPSCORE_ORIENTATION_MAPNAME_H_

#include <string>
#include <string_view>

namespace gpscore {

// Map files are named like "Monaco_Ville-2024_03" or "Andorra_2": the plain name is what comes
// before the first dash, without a last "_" that a digit follows (and what follows it), with
// every other underscore as a space. A name with neither mark is returned unchanged.
inline std::u16string PlainMapName(std::u16string_view map) {
    std::u16string name(map.substr(0, map.find(u'-')));
    std::size_t underscore = name.rfind(u'_');
    if (underscore != std::u16string::npos && underscore + 1 < name.size() &&
        name[underscore + 1] >= u'0' && name[underscore + 1] <= u'9')
        name.resize(underscore);
    for (char16_t& c : name)
        if (c == u'_') c = u' ';
    return name;
}

} // namespace gpscore

#endif // GPSCORE_ORIENTATION_MAPNAME_H_
