// Where `korvane forward` sends the records: the station file's [publish] table.
//
//     [publish]
//     url = "mqtts://broker.line2:8883"        # mqtt:// or mqtts://; the port 1883 or 8883 else
//     topic = "korvane/{station}/{port}"       # {station} {port} {target} {slave}
//     username = "line2-st3"
//     password_file = "/etc/korvane/mqtt.pass" # its first line; group and others may not read it
//     ca_file = "/etc/korvane/line-ca.pem"     # mqtts: the broker's certificate is checked
#pragma once

#include "line/StationFile.h"

#include <string>

namespace line {

struct PublishSettings {
    bool tls = false;
    std::string host;
    int port = 1883;
    std::string topic = "korvane/{station}/{port}";
    std::string username;
    std::string passwordFile;
    std::string caFile;
};

// Reads the [publish] table of the station's file. "" or what is wrong, naming the file and
// the place.
std::string ReadPublishSettings(const StationSettings& station, PublishSettings* publish);

// The password: the first line of the password file. "" or what is wrong; a file that the group
// or others may read is refused, since the password would no longer be the station's alone.
std::string ReadPassword(const std::string& file, std::string* password);

// The topic of one record: the template with {station}, {port} (the record's port_id, else its
// port, without /dev/ and with / as _), {target} and {slave} filled in.
std::string RecordTopic(const std::string& topicTemplate, const std::string& station,
                        const std::string& recordJson);

} // namespace line
