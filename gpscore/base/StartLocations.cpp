// The start locations: one line per map (state, province or region) name with blanks written as
// underscores, "=", the latitude, "," and the longitude. Stored as the service module's own text
// resource ("#21049" / "START_LOCATIONS"), 8-bit text with CR LF line ends; where a name occurs
// twice, the first line wins.
#include "base/StartLocations.h"

#include <cstdlib>
#include <string>

#include "os/codepage.h"

namespace gpscore {
namespace {

constexpr char kStartLocations[] =
    "Alaska=58.363737,-134.572046\r\n"
    "Alabama=32.375408,-86.299600\r\n"
    "Arkansas=34.724424,-92.278861\r\n"
    "Arizona=33.448262,-112.073818\r\n"
    "California=38.573658,-121.487144\r\n"
    "Colorado=39.755091,-104.988120\r\n"
    "Connecticut=41.766466,-72.673163\r\n"
    "Washington_DC=38.892090,-77.024053\r\n"
    "Delaware=39.161543,-75.513576\r\n"
    "Florida=30.438189,-84.280632\r\n"
    "Georgia=33.754531,-84.389612\r\n"
    "Guam=13.475711,144.731551\r\n"
    "Hawaii=21.291981,-157.821852\r\n"
    "Illinois=39.801806,-89.653269\r\n"
    "Iowa=41.588821,-93.620306\r\n"
    "Idaho=43.602070,-116.212536\r\n"
    "Indiana=39.767015,-86.156253\r\n"
    "Kansas=39.047421,-95.681520\r\n"
    "Kentucky=38.189407,-84.871467\r\n"
    "Louisiana=30.449310,-91.188228\r\n"
    "Michigan=42.733620,-84.546580\r\n"
    "Missouri=38.569750,-92.194049\r\n"
    "Massachusetts=42.358879,-71.056818\r\n"
    "Maryland=38.969373,-76.519739\r\n"
    "Maine=44.329435,-69.732265\r\n"
    "Minnesota=44.944626,-93.102662\r\n"
    "Mississippi=32.312207,-90.177948\r\n"
    "Montana=46.591069,-112.020455\r\n"
    "New_York=42.651724,-73.755091\r\n"
    "North_Carolina=35.779747,-78.643412\r\n"
    "North_Dakota=46.808368,-100.769376\r\n"
    "Nebraska=40.813586,-96.702596\r\n"
    "New_Hampshire=43.231365,-71.559714\r\n"
    "New_Jersey=40.220169,-74.764177\r\n"
    "New_Mexico=35.681621,-105.938064\r\n"
    "Nevada=39.150134,-119.751878\r\n"
    "Ohio=39.962207,-83.000674\r\n"
    "Oklahoma=35.493137,-97.459138\r\n"
    "Oregon=44.937009,-123.027162\r\n"
    "Pennsylvania=40.273962,-76.884853\r\n"
    "Puerto_Rico=18.466460,-66.118302\r\n"
    "Rhode_Island=41.826955,-71.408716\r\n"
    "South_Carolina=34.000687,-81.035301\r\n"
    "South_Dakota=44.377631,-100.317745\r\n"
    "Texas=30.268734,-97.745206\r\n"
    "Tennessee=36.158879,-86.782095\r\n"
    "Utah=40.771591,-111.888186\r\n"
    "Virginia=37.540777,-77.433926\r\n"
    "Virgin_Islands=18.35,-64.933\r\n"
    "Vermont=44.262738,-72.571604\r\n"
    "Washington=47.044929,-122.901645\r\n"
    "Wisconsin=43.063192,-89.400700\r\n"
    "West_Virginia=38.353297,-81.635373\r\n"
    "Wyoming=41.138865,-104.816541\r\n"
    "Alberta=53.540969,-113.493704\r\n"
    "British_Columbia=48.4274996817,-123.3672595024\r\n"
    "Manitoba=49.895543,-97.138343\r\n"
    "New_Brunswick=45.959244,-66.640346\r\n"
    "Newfoundland_and_Labrador=47.564973,-52.709760\r\n"
    "Northwest_Territories=62.455249,-114.369246\r\n"
    "Nova_Scotia=44.646213,-63.573612\r\n"
    "Nunavut=63.751278,-68.524619\r\n"
    "Ontario=45.42347252,-75.69798544\r\n"
    "Prince_Edward_Island=46.235289,-63.126543\r\n"
    "Quebec=46.812407,-71.214695\r\n"
    "Saskatchewan=50.447234,-104.618013\r\n"
    "Yukon=60.719735,-135.052123\r\n"
    "Southern_England=51.500625,-0.124624\r\n"
    "UK=51.50019810,-0.1262488961\r\n"
    "SouthEast_England=51.50019810,-0.1262488961\r\n"
    "SouthWest_England=50.78842833,-3.06110725\r\n"
    "Northern_England=53.866526,-2.300795\r\n"
    "NorthWest_England=53.932882556,-2.75995956\r\n"
    "East_England=52.780310,-1.214172\r\n"
    "Scotland=57.332286,-4.481285\r\n"
    "Northern_Ireland=54.600615,-5.856303\r\n"
    "Wales_Midlands=52.467580,-1.929644\r\n"
    "Northern_Ireland=53.341189,-6.258303\r\n"
    "Austria=48.228856,16.298287\r\n"
    "Norway=59.913781,10.738658\r\n"
    "Norway_East=59.913781,10.738658\r\n"
    "Norway_South=61.495773,6.696683\r\n"
    "Norway_NorthWest=69.661260,18.950271\r\n"
    "Sweden=59.332727,18.064454\r\n"
    "Sweden_East=59.332727,18.064454\r\n"
    "Sweden_North=60.603961,15.627083\r\n"
    "Sweden_West=55.704258,13.195503\r\n"
    "Malaysia=3.156212,101.712822\r\n"
    "HongKong=22.281873,114.161345\r\n"
    "Singapore=1.289406,103.849962\r\n"
    "Denmark=55.676294,12.568115\r\n"
    "Ireland=53.344104,-6.267494\r\n"
    "Netherlands=52.336598,4.817801\r\n"
    "Australia=-35.306620,149.126500\r\n"
    "East_Australia=-35.306620,149.126500\r\n"
    "SouthEast_Australia=-38.420890,142.642330\r\n"
    "North_Australia=-18.949430,146.281820\r\n"
    "SouthWest_Australia=-31.824080,115.741990\r\n"
    "Italy=41.902337,12.461937\r\n"
    "Vaticano=41.902337,12.461937\r\n"
    "Southcentral_Italy=41.902237,12.519735\r\n"
    "Northwest_Italy=46.323574,9.405166\r\n"
    "Northeast_Italy=45.433739,12.341475\r\n"
    "Northcentral_Italy_and_Sardegna=43.272645,11.987601\r\n"
    "Calabria_Sicilia=38.285262,15.800382\r\n"
    "Calabria=38.207007,15.756472\r\n"
    "Sicily=37.916973,13.376291\r\n"
    "San_Marino=43.935372,12.449099\r\n"
    "Southern_Italy=39.795339,18.368282\r\n"
    "Piedmont_Aosta_Valley_Liguria=44.695951,7.298509\r\n"
    "Lombardy=45.315064,8.852225\r\n"
    "Tuscany_Umbria_Marches=44.288807,10.014835\r\n"
    "Sardinia=39.225143,9.149569\r\n"
    "Latium_Abruzzo_Molise=42.854600,13.575233\r\n"
    "Campania=40.670092,14.729674\r\n"
    "Apulia_Basilicata=40.667081,16.609854\r\n"
    "Trentino_Alto_Adige_Veneto_Friuli_Venezia_Giulia=45.350425,10.842932\r\n"
    "Emilia_Romagna=44.49444786,11.34920955\r\n"
    "Spain=40.416144,-3.703255\r\n"
    "manacha_madrid=40.416712,-3.703268\r\n"
    "aragon_cataluna_navarra=41.365246,-2.169310\r\n"
    "cataluna=41.365246,-2.169310\r\n"
    "aragon_navarra=41.869183,-0.788164\r\n"
    "andalucia=36.733357,-4.267652\r\n"
    "andora=42.507211,-1.499355\r\n"
    "castilla_y_leon=42.731591,-6.713361\r\n"
    "gibraltar=36.144901,-5.353245\r\n"
    "galicia_pais_vasco=43.618361,-7.334134\r\n"
    "extremadura=37.667501,-6.668216\r\n"
    "murcia_valenciana=39.899998,-0.659247\r\n"
    "Germany=52.524008,13.411504\r\n"
    "Berlin=52.524008,13.411504\r\n"
    "Munich=49.308129,12.845965\r\n"
    "Bamberg=49.894217,10.885527\r\n"
    "Augsburg=48.412295,11.470480\r\n"
    "Nuremberg=49.420169,12.444837\r\n"
    "Wurttenberg=48.422724,8.843407\r\n"
    "Mannheim_Stuttgart=49.484541,8.476710\r\n"
    "Erfurt=50.975687,10.513377\r\n"
    "Dresden_Leipzig=51.266150,14.398413\r\n"
    "Magdeburg=52.130956,11.636701\r\n"
    "Dresden_Erfurt_Leipzig_Magdeburg=51.266150,14.398413\r\n"
    "Baltic_North=53.442039,13.346823\r\n"
    "Berlin_Baltic_North=52.524008,13.411504\r\n"
    "Frankfurt=50.111527,8.680585\r\n"
    "Trier=49.742541,6.806412\r\n"
    "Saarbrucken=49.537764,6.887818\r\n"
    "Saarbrucken_Trier=49.537764,6.887818\r\n"
    "Holstein=54.041798,9.348168\r\n"
    "Hanover=52.043043,10.011868\r\n"
    "Hamburg=53.549839,9.973259\r\n"
    "Bremmen=52.882222,9.598622\r\n"
    "Bonn=50.732692,7.096308\r\n"
    "North_Rhine=51.964450,8.495515\r\n"
    "France=48.866528,2.340180\r\n"
    "Southwest_France=48.866528,2.340180\r\n"
    "Southeast_France=43.503166,3.314040\r\n"
    "South_Central_France=45.904072,5.194336\r\n"
    "Eastern_France=49.654261,4.538656\r\n"
    "Northern_France=49.929235,2.932618\r\n"
    "Northwest_France=48.559706,1.037428\r\n"
    "West_Central_France=46.991898,1.818793\r\n"
    "Monaco=43.740599,7.426430\r\n"
    "Liechtenstein=47.118476,9.542976\r\n"
    "Switzerland=46.947999,7.448148\r\n"
    "Portugal=38.707163,-9.135517\r\n"
    "NewZealand=-36.85517326,174.7586498\r\n"
    "Belgium=50.84628090,4.354727268\r\n"
    "Finland=60.169156,24.953501\r\n"
    "Russia=55.05,38.50\r\n"
    "Portugal=38.767,-9.183\r\n"
    "Poland=52.217,21.033\r\n"
    "Mexico=19.05,-99.367\r\n"
    "Luxembourg=49.60960150,6.129601300\r\n"
    "South_Africa=-25.727270,28.183990\r\n"
    "Swaziland=-26.328187,31.142217\r\n"
    "Lesotho=-29.314187,27.483263\r\n"
    "Turkey=39.87458825,32.85599962 \r\n"
    "CzechRepublic=50.969968,14.394681\r\n"
    "Greece=37.96666726,23.71666610\r\n"
    "Croatia=45.81666693,15.98333314\r\n"
    "Bulgaria=42.70031, 23.33311\r\n"
    "Monaco=43.73333350,7.400000095\r\n"
    "Vatican_City=41.88333347,12.50000060\r\n"
    "United_Arab_Emirates=24.486770,54.354574\r\n"
    "Bahrain=26.21689,50.58297\r\n"
    "Oman=21.17008,-86.83193\r\n"
    "Qatar=25.24903,51.56650\r\n"
    "Saudi_Arabia=24.65,46.767\r\n"
    "Kuwait=29.367,47.967\r\n"
    "Egypt=30.065562,31.249220\r\n";

} // namespace

std::string_view StartLocationsResource() {
    return {kStartLocations, sizeof kStartLocations - 1};
}

std::optional<StartLocation> FindStartLocation(std::u16string_view mapName,
                                               std::string_view table) {
    std::u16string name(mapName);
    for (char16_t& c : name)
        if (c == u' ') c = u'_';
    std::string wanted = gpslib::os::Utf16ToCp1252(name);
    std::size_t at = 0;
    while (at < table.size()) {
        std::size_t end = table.find('\n', at);
        if (end == std::string_view::npos) end = table.size();
        std::string_view line = table.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        std::string_view value = line.substr(equals + 1);
        std::size_t comma = value.find(',');
        if (!gpslib::os::EqualIgnoringAsciiCase(line.substr(0, equals), wanted) ||
            comma == std::string_view::npos)
            continue;
        std::string lat(value.substr(0, comma)), lon(value.substr(comma + 1));
        return StartLocation{std::strtod(lat.c_str(), nullptr), std::strtod(lon.c_str(), nullptr)};
    }
    return std::nullopt;
}

} // namespace gpscore
