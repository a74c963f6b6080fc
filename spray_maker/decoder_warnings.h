#pragma once

#include <QString>

// Qt's image readers return a picture cut short as if it were whole and say so only
// in a logged warning ("Premature end of JPEG file"). While one of these lives on a
// thread, such warnings on that thread are kept here instead of being printed.
namespace spray {

class DecoderWarnings {
public:
    DecoderWarnings();
    ~DecoderWarnings();
    DecoderWarnings(const DecoderWarnings &) = delete;
    DecoderWarnings &operator=(const DecoderWarnings &) = delete;

    // The first warning that data was missing, or empty.
    QString missingData() const { return m_missingData; }

    void note(const QString &warning);

private:
    DecoderWarnings *m_outer = nullptr;
    QString m_missingData;
};

// libpng's errors ("libpng error: Read Error") and libtiff's remarks are written
// straight to the C library's stderr, past any message handler. While one of these
// lives they go to the null device instead; the reader's own error string still
// says what went wrong. The whole process's stderr is affected, so this is for a
// program that decodes one picture at a time and speaks only afterwards.
class QuietDecoders {
public:
    QuietDecoders();
    ~QuietDecoders();
    QuietDecoders(const QuietDecoders &) = delete;
    QuietDecoders &operator=(const QuietDecoders &) = delete;

private:
    int m_savedStderr = -1;
};

} // namespace spray
