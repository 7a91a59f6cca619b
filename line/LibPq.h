// The PostgreSQL client library, loaded when a journal on a PostgreSQL server is first opened:
// a station with a SQLite journal, and every flash, never maps it nor the Kerberos, LDAP and
// TLS libraries it brings (some 20 of them). Its functions are called through this table, each
// typed from libpq-fe.h so that the compiler checks every call.
#pragma once

#include <libpq-fe.h>
#include <string>

namespace line {

#define KORVANE_LIBPQ_FUNCTIONS(X)                                                                 \
    X(PQconnectdbParams)                                                                           \
    X(PQstatus)                                                                                    \
    X(PQerrorMessage)                                                                              \
    X(PQfinish)                                                                                    \
    X(PQsetNoticeProcessor)                                                                        \
    X(PQexecParams)                                                                                \
    X(PQexec)                                                                                      \
    X(PQresultStatus)                                                                              \
    X(PQntuples)                                                                                   \
    X(PQnfields)                                                                                   \
    X(PQgetvalue)                                                                                  \
    X(PQclear)                                                                                     \
    X(PQtransactionStatus)

struct LibPq {
#define KORVANE_LIBPQ_SLOT(name) decltype(&::name) name = nullptr;
    KORVANE_LIBPQ_FUNCTIONS(KORVANE_LIBPQ_SLOT)
#undef KORVANE_LIBPQ_SLOT
};

// The library's functions, loaded on the first call; null with *why when it cannot be loaded.
const LibPq* LoadLibPq(std::string* why);

} // namespace line
