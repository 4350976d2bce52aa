// A receiver registered with a splitter, and the splitter's list of them.
#pragma once

#include <cstdint>

#include "foundation/SLists.h"
#include "stream/Receiver.h"

// The receiver is not owned; the user value goes back to it with every frame.
class Connector : public SObject {
public:
    S_CLASSNAME(Connector)

    Connector() = default;
    Connector(Receiver* receiver, uint32_t userValue);

    Receiver* getReceiver() const { return receiver_; }
    uint32_t getUserValue() const { return userValue_; }

private:
    Receiver* receiver_ = nullptr;
    uint32_t userValue_ = 0;
};

// Copies of the connectors in registration order.
class ConnectorList : public SList<Connector> {
public:
    S_CLASSNAME(ConnectorList)

    ConnectorList() { items_.reserve(10); }
};
