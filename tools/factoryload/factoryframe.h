#pragma once

#include <QByteArray>

// The factory-settings command: STX, the word with its fixed code, three CRs.
QByteArray factoryCommand();

enum class FrameCheck {
    NeedMore, // keep the buffer and wait for the next reception
    Discard,  // not an answer frame; throw the buffer away
    Complete  // the buffer holds one whole answer
};

// Checks the reception buffer, in this order: at least 40 bytes, STX at the
// fourth byte, three CRs somewhere, three CRs at the end.
FrameCheck checkFrame(const QByteArray &buffer);

enum class FactoryAnswer { None, CrcError, WrongPassword, Loaded };

// What a complete answer says; a CRC complaint wins over anything else in it.
FactoryAnswer classifyAnswer(const QByteArray &frame);
