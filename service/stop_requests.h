// Which control requests stop the service, and which controls its reports accept.
#pragma once

#include <cstdint>

// Stop and shutdown; with a stop_timeout, also preshutdown where the system sends it, so
// that a server that needs time to stop gets it when the machine goes down, up to the
// service's preshutdown timeout rather than the few seconds of an ordinary shutdown.
bool is_stop_request(std::uint32_t control);

// The controls that every report accepts but an explicit start pending: stop, pause and
// continue, shutdown, and preshutdown when it is taken as a stop.
std::uint32_t controls_when_started();
