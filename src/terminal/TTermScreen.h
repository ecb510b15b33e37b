// SPDX-License-Identifier: MIT
#pragma once

#include "TComTermBuffer.h"
#include "TEscapeCodes.h"

#include <QByteArray>

#include <memory>

// What the screen tells its owner while it writes. Called synchronously from
// Write(); a handler may call back into the screen (the loop re-reads its
// state after every call), but must not destroy it.
class TTermScreenEvents {
public:
    // Bytes handled as plain characters, in input order (see TCharNotify).
    virtual void TermChars(const char* data, qsizetype length) = 0;
    // An answer for the remote side (identification, status, position).
    virtual void TermSend(const QByteArray& bytes) = 0;
    // A complete sequence that is not performed; data is its text without ESC.
    virtual void TermUnhandled(TEscapeCode code, const QByteArray& data) = 0;
    // Columns or Rows changed by a sequence; the buffer was re-created.
    virtual void TermResized() = 0;

protected:
    ~TTermScreenEvents() = default;
};

// How plain characters are reported through TermChars:
// None      - not at all (nobody listens; the fastest path);
// Runs      - once per run of consecutive plain characters, before anything
//             else is reported, so the order of all events is kept;
// EachChar  - once per character, right after that character took effect.
enum class TCharNotify { None, Runs, EachChar };

// The terminal minus the widget: screen buffer, caret, attributes, modes and
// the write path that sends bytes either to the escape-sequence parser or to
// the plain-character handling. Bytes flow one way: Write() -> parser ->
// buffer; the owner learns of answers and unhandled codes through
// TTermScreenEvents and of changed cells through the buffer's damage record.
//
// Plain printable text is copied into the buffer a run at a time, with the
// cell colours prepared in advance; the parser is only consulted for bytes
// after an ESC, and characters are reported per run unless the owner asks
// for each one. Nothing is allocated per byte.
//
// The caret is 1-based and always inside the screen.
class TTermScreen {
public:
    explicit TTermScreen(TTermScreenEvents* events = nullptr);

    void SetEvents(TTermScreenEvents* events);
    void SetCharNotify(TCharNotify notify);

    TComTermBuffer& Buffer() { return FBuffer; }
    const TComTermBuffer& Buffer() const { return FBuffer; }
    int Columns() const { return FBuffer.Columns(); }
    int Rows() const { return FBuffer.Rows(); }
    // Re-creates the screen empty (tab stops every 8th column); caret clamped.
    void SetSize(int columns, int rows);

    // Null parser: no escape processing, ESC is an ordinary control byte.
    // A sequence in progress is lost.
    void SetParser(std::unique_ptr<TEscapeCodes> parser);
    TEscapeCodes* Parser() const { return FParser.get(); }
    bool InSequence() const { return FInSequence; }

    int CaretX() const { return FCaretX; }
    int CaretY() const { return FCaretY; }
    void SetCaret(int x, int y);
    void MoveCaret(int dx, int dy) { SetCaret(FCaretX + dx, FCaretY + dy); }

    bool WrapLines() const { return FWrapLines; }
    void SetWrapLines(bool on) { FWrapLines = on; }
    bool ApplicationCursorKeys() const { return FAppCursorKeys; }
    void SetApplicationCursorKeys(bool on) { FAppCursorKeys = on; }

    struct TAttributes {
        bool Reverse = false;
        bool Bold = false;
        bool Underline = false;
    };
    TAttributes Attributes() const { return FAttr; }
    void SetAttributes(TAttributes attr);

    // Font (text) colour, background colour and the colour of bold text.
    void SetColors(TTermColor font, TTermColor back, TTermColor alt);
    TTermColor FontColor() const { return FFontColor; }
    TTermColor BackColor() const { return FBackColor; }
    TTermColor AltColor() const { return FAltColor; }

    // Processes each byte in order through the parser (when there is one).
    void Write(const char* data, qsizetype length);
    void Write(const QByteArray& data) { Write(data.constData(), data.size()); }
    // One byte as a plain character, bypassing the parser (local echo).
    void WritePlain(char ch);

private:
    void WriteRun(const quint8* text, qsizetype length);
    void PlainControl(quint8 ch);
    void LineFeed();
    void FeedSequence(char ch);
    void Perform(TEscapeCodes& esc);
    bool PerformErase(TEscapeCode code, int mode);
    bool PerformMode(TEscapeCodes& esc, bool set);
    void PerformAttributes(const TEscapeCodes& esc);
    void UpdateTemplate();
    void Send(const QByteArray& bytes);
    void Unhandled(TEscapeCode code, const QByteArray& data);

    TTermScreenEvents* FEvents = nullptr;
    TCharNotify FNotify = TCharNotify::None;
    TComTermBuffer FBuffer;
    std::unique_ptr<TEscapeCodes> FParser;
    bool FInSequence = false;

    int FCaretX = 1, FCaretY = 1;
    int FSavedX = 1, FSavedY = 1;
    TAttributes FAttr, FSavedAttr;
    bool FWrapLines = false;
    bool FAppCursorKeys = false;

    TTermColor FFontColor = 0xff000000;
    TTermColor FBackColor = 0xffffffff;
    TTermColor FAltColor = 0xffa6a6a6;
    TTermCell FTemplate; // colours and underline of the next written character
};
