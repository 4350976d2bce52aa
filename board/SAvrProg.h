// The common base of the programmer back-ends: a job list in, progress events and an error
// text out.
#pragma once

#include "board/SAvrBoardData.h"
#include "foundation/SMaps.h"
#include "foundation/SString.h"

// A job list is an ordered map from job key to a byte block. A key is action "-" target,
// optionally followed by "-" and a source:
//   write-flash, write-eeprom (block: the bytes), write-flash-file, write-eeprom-file (block: a
//   file name), write-fuse, write-lfuse, write-hfuse, write-efuse, write-lock (block: the value
//   in its first byte);
//   read-flash, read-eeprom (the block receives the bytes), read-flash-file, read-eeprom-file
//   (block: the file to write), read-fuse, read-lfuse, read-hfuse, read-efuse, read-lock,
//   read-signature (3 bytes), read-calibration (block size on entry = number of bytes),
//   read-swVersion (the text "major.minor").
//
// Progress goes to the board data's console and event receiver as events of type 10000 whose
// code is the kind: 2 progress or information, 1 finished successfully, 0 failed.
class SAvrProg : public SObject {
public:
    S_CLASSNAME(SAvrProg)

    enum Kind { kindFailed = 0, kindDone = 1, kindProgress = 2 };
    static constexpr int eventType = 10000;

    SAvrProg() = default;
    explicit SAvrProg(SAvrBoardData* data) { init(data); }
    ~SAvrProg() override = default;
    SAvrProg(const SAvrProg&) = delete;
    SAvrProg& operator=(const SAvrProg&) = delete;

    // Keeps the board data (not owned); false with a message for a null pointer.
    bool init(SAvrBoardData* data);
    // Runs the jobs in order. The base has no programmer and succeeds without doing anything.
    virtual bool execute(SMapStringToMem& jobs);

    // The messages of the last init or execute.
    const SString& getError() const { return error_; }
    SAvrBoardData* getBoardData() const { return data_; }

    // Splits a job key into action, target and source (the source may be empty).
    static void splitJobKey(const SString& key, SString& action, SString& target, SString& source);

protected:
    // Appends the text line by line to the output console (when not empty) and sends the event.
    void report(const SString& text, int kind);
    // Only sends the event.
    void notify(const SString& text, int kind);

    SString error_;
    SAvrBoardData* data_ = nullptr;
};
