// The MQTT client library, loaded when `korvane forward` first reaches for a broker: no other
// command maps it, nor the TLS libraries it brings. Its functions are called through this
// table, each typed from mosquitto.h so that the compiler checks every call.
#pragma once

#include <mosquitto.h>
#include <string>

namespace line {

#define KORVANE_LIBMOSQUITTO_FUNCTIONS(X)                                                          \
    X(mosquitto_lib_init)                                                                          \
    X(mosquitto_lib_cleanup)                                                                       \
    X(mosquitto_new)                                                                               \
    X(mosquitto_destroy)                                                                           \
    X(mosquitto_int_option)                                                                        \
    X(mosquitto_connect_callback_set)                                                              \
    X(mosquitto_publish_callback_set)                                                              \
    X(mosquitto_log_callback_set)                                                                  \
    X(mosquitto_username_pw_set)                                                                   \
    X(mosquitto_tls_set)                                                                           \
    X(mosquitto_connect)                                                                           \
    X(mosquitto_disconnect)                                                                        \
    X(mosquitto_connack_string)                                                                    \
    X(mosquitto_strerror)                                                                          \
    X(mosquitto_socket)                                                                            \
    X(mosquitto_want_write)                                                                        \
    X(mosquitto_loop_read)                                                                         \
    X(mosquitto_loop_write)                                                                        \
    X(mosquitto_loop_misc)                                                                         \
    X(mosquitto_publish)

struct LibMosquitto {
#define KORVANE_LIBMOSQUITTO_SLOT(name) decltype(&::name) name = nullptr;
    KORVANE_LIBMOSQUITTO_FUNCTIONS(KORVANE_LIBMOSQUITTO_SLOT)
#undef KORVANE_LIBMOSQUITTO_SLOT
};

// The library's functions, loaded on the first call; null with *why when it cannot be loaded.
const LibMosquitto* LoadLibMosquitto(std::string* why);

} // namespace line
