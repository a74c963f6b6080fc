#pragma once

#include <QString>

// Qt's image readers return a picture cut short as if it were whole and say so only
// in a logged warning ("Premature end of JPEG file"); an allocation that fails, or a
// picture inside a drawing that cannot be made, is only logged too, and the drawing
// goes on without it. While one of these lives on a thread, such warnings on that
// thread are kept here instead of being printed.
namespace spray {

class DecoderWarnings {
public:
    DecoderWarnings();
    ~DecoderWarnings();
    DecoderWarnings(const DecoderWarnings &) = delete;
    DecoderWarnings &operator=(const DecoderWarnings &) = delete;

    // The first warning that data was missing, or empty.
    QString missingData() const { return m_missingData; }
    // Whether memory ran out: the process's, or Qt's limit on one picture.
    bool outOfMemory() const { return m_outOfMemory; }
    // Whether a picture a drawing holds could not be made (damaged, or out of memory).
    bool lostPicture() const { return m_lostPicture; }

    // True when the warning was one of these and is kept.
    bool note(const QString &warning);

private:
    DecoderWarnings *m_outer = nullptr;
    QString m_missingData;
    bool m_outOfMemory = false;
    bool m_lostPicture = false;
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
