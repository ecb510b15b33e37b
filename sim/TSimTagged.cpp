// SPDX-License-Identifier: MIT
#include "TSimTagged.h"

namespace {
char First(int sender) {
    return char(0x21 + 4 * sender);
}

bool OfSender(char c, int sender) {
    const int offset = quint8(c) - quint8(First(sender));
    return offset >= 0 && offset < 4;
}

// The stream without its line ends: the digits alone.
QByteArray Digits(const QByteArray& bytes, int sender) {
    QByteArray digits;
    digits.reserve(bytes.size());
    for (char c : bytes)
        if (OfSender(c, sender)) digits += c;
    return digits;
}
} // namespace

QByteArray SimTaggedStream(int sender, qsizetype bytes) {
    QByteArray stream;
    stream.reserve(bytes + SimTaggedLine);
    const char first = First(sender);
    for (quint32 number = 0; stream.size() < bytes; ++number) {
        for (int shift = 14; shift >= 0; shift -= 2)
            stream += char(first + ((number >> shift) & 3));
        stream += '\r';
    }
    return stream;
}

TSimTaggedCheck CheckSimTaggedStream(const QByteArray& received, int sender,
                                     const QByteArray& stream) {
    const QByteArray sent = Digits(stream, sender);
    const QByteArray got = Digits(received, sender);
    TSimTaggedCheck check;
    check.Expected = sent.size();
    check.Received = got.size();
    while (check.InOrder < sent.size() && check.InOrder < got.size() &&
           sent.at(check.InOrder) == got.at(check.InOrder))
        ++check.InOrder;
    return check;
}
