// SPDX-License-Identifier: MIT
#include "ReceiveHistory.h"

void TReceiveHistory::Add(char ch) {
    while (m_lines.size() > MaxLines)
        m_lines.removeFirst();
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c > 31) {
        if (m_lines.isEmpty() || m_lines.last().size() >= MaxLine) m_lines.append(QString());
        m_lines.last().append(QChar(c));
    } else if (ch == '\r') {
        m_lines.append(QString());
    }
}
