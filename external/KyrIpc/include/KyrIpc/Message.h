#pragma once
// The message the DMS sends to a connection's message handler: answers to registrations and
// writes, and the values of registered points. Fixed 384-byte layout.

#include <QString>
#include <QtGlobal>
#include <cstddef>

namespace Orvane {

// Point types as ReadType reports them; any other number means missing.
enum PointType : int { BIT = 1, BYS = 2, WOS = 3, DWS = 4, BYU = 5, WOU = 6, DWU = 7, FLT = 8, STR = 9 };

// "BIT" ... "STR" for a type code, an empty text for anything else.
QString pointTypeName(int type);
// The type code of "BIT" ... "STR", 0 for any other text.
int pointTypeFromName(const QString &name);

struct Message
{
    enum SubCode : qint32 { FailedOnRegister = 1, FailedOnWrite = 2 };
    // InvalidValue: a number that is not finite (NaN, an infinity).
    enum AnswerCode : qint32 { Positive = 0, PointDoesNotExist = 2, Refused = 3, TypeMismatch = 4, InvalidValue = 5 };
    static constexpr int MaxPointNameBytes = 161;

    qint32 subCode = 0;                          // at 0
    char pointName[MaxPointNameBytes + 1] = {};  // at 4, Latin-1, NUL-terminated
    char reserved1[2] = {};
    qint32 answerCode = 0;                       // at 168
    char reserved2[4] = {};
    qint32 tag = 0;                              // at 176
    char reserved3[8] = {};
    qint32 value = 0;                            // at 188
    char reserved4[192] = {};

    // Stores the name, cut to the bytes that fit.
    void setPointName(const QString &name);
    QString point() const;
};

static_assert(sizeof(Message) == 384);
static_assert(offsetof(Message, subCode) == 0);
static_assert(offsetof(Message, pointName) == 4);
static_assert(offsetof(Message, answerCode) == 168);
static_assert(offsetof(Message, tag) == 176);
static_assert(offsetof(Message, value) == 188);

} // namespace Orvane
