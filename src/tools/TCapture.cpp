// SPDX-License-Identifier: MIT
#include "TCapture.h"

#include "FileKind.h"

#include <utility>

TCapture::~TCapture() {
    Stop();
}

bool TCapture::Start(const QString& file, QString* error) {
    Stop();
    // Only a regular file: opening a pipe would wait for a reader with the
    // window blocked, and a device would take the traffic somewhere else.
    if (!OpenFileTarget(m_file, file, error)) return false;
    m_path = file;
    return true;
}

void TCapture::Stop() {
    m_pending.clear();
    if (m_file.isOpen()) m_file.close();
}

void TCapture::Add(char ch) {
    if (!Active()) return;
    switch (ch) {
    case '\r':
        m_pending += "\r\n";
        break;
    case '\n':
    case '\a':
        break;
    default:
        m_pending += ch;
    }
}

bool TCapture::Flush() {
    if (!Active() || m_pending.isEmpty()) return true;
    const QByteArray bytes = std::exchange(m_pending, QByteArray());
    return m_file.write(bytes) == bytes.size() && m_file.flush();
}
