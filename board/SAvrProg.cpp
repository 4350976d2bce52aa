#include "board/SAvrProg.h"

#include "foundation/SConsolenAgent.h"
#include "foundation/SDebug.h"
#include "foundation/SEvent.h"

bool SAvrProg::init(SAvrBoardData* data) {
    globalDebug().print("SAvrProg::init(..)");
    data_ = data;
    if (data == nullptr) {
        error_ += SString(
                      "\xB3\xB3"
                      "errorInvalidPointer\xB3\xB3"
                      "Fehler: ") +
                  SString(std::string("SAvrProg::init(..) ")) +
                  SString(
                      "\xB3\xB3"
                      "validPointerToSavrBoard\xB3\xB3"
                      "muss ein g\xFCltiger Zeiger auf SAvrBoardData \xFC"
                      "bergeben werden.\r\n");
        return false;
    }
    return true;
}

bool SAvrProg::execute(SMapStringToMem&) {
    globalDebug().print("SAvrProg::execute(..)");
    return true;
}

void SAvrProg::splitJobKey(const SString& key, SString& action, SString& target, SString& source) {
    SString rest = key;
    action = rest.cutFront(SString(std::string("-")));
    target = rest.cutFront(SString(std::string("-")));
    source = rest;
}

void SAvrProg::report(const SString& text, int kind) {
    if (data_ != nullptr && !text.isEmpty()) {
        SConsolenAgent* console = data_->outputConsole != nullptr ? data_->outputConsole : data_->console;
        if (console != nullptr) console->addOutput(text);
    }
    notify(text, kind);
}

void SAvrProg::notify(const SString& text, int kind) {
    if (data_ == nullptr || data_->eventReceiver == nullptr) return;
    SEvent event;
    event.type = eventType;
    event.code = kind;
    event.text = text;
    data_->eventReceiver->send(event);
}
