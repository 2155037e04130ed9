// The configuration of a private D-Bus daemon that a test starts: every
// client allowed, listening where the test says, and no service
// directories, so that no client can have a service started.
#pragma once

#include <string>

namespace kalvero::testing {

// type: the bus's type ("session", or a name of the test's own); listen: a
// D-Bus address to listen on ("unix:dir=/tmp/x").
inline std::string PrivateBusConfiguration(const std::string& type, const std::string& listen) {
    return "<!DOCTYPE busconfig PUBLIC\n"
           " \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <type>" +
           type +
           "</type>\n"
           "  <listen>" +
           listen +
           "</listen>\n"
           "  <auth>EXTERNAL</auth>\n"
           "  <policy context=\"default\">\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n"
           "    <allow own=\"*\"/>\n"
           "  </policy>\n"
           "</busconfig>\n";
}

} // namespace kalvero::testing
