// A limit on the size of a request's head (request line and header lines) before the HTTP
// library reads it.
#pragma once

#include <chrono>
#include <cstddef>

namespace requesthead {

// The socket httplib's listening thread accepted last, or -1; taken once (the listening thread
// hands the connection to the server's queue right after accepting it).
int takeAcceptedSocket();

// cpp-httplib 0.11 limits each header line to 8 KiB but not their number, so a client could
// send headers without end and the server would keep them all in memory. Before the library
// reads a connection's request, this looks at the waiting bytes without taking them: when
// maxBytes arrive without the blank line that ends the head, the client gets 431 and the
// connection is shut down; the library then finds nothing to read. A head that is still coming
// after wait is left to the library's own time-outs.
// True when the connection may go on.
bool admit(int socket, std::size_t maxBytes, std::chrono::milliseconds wait);

}  // namespace requesthead
