#include "line/RecordIdentity.h"

#include "line/StationFile.h"
#include "platform/host/files.h"

#include <cstdlib>
#include <uuid/uuid.h>

namespace line {

std::string NewRecordId() {
    uuid_t id;
    uuid_generate_random(id);
    char text[37];
    uuid_unparse_lower(id, text);
    return text;
}

std::string StationName(const std::string& hostName) {
    // A station file that is refused refuses the run elsewhere; here it only has no name.
    static const std::string name = [] {
        StationSettings settings;
        LoadStation(kSystemStationFile, std::getenv(kStationFileVariable), host::CurrentUser(),
                    &settings);
        return settings.name;
    }();
    return name.empty() ? hostName : name;
}

} // namespace line
