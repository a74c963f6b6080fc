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

} // namespace spray
