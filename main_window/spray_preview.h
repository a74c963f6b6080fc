#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace tagswap {

// A small window with one spray: at 1×, 2× and 4× as the game shows it and with
// its plain palette, then its smaller copies (the mip levels) as the game shows
// them. For a file that is no spray it says why instead. Close, Esc and Ctrl+W close it.
class SprayPreview : public QWidget {
    Q_OBJECT
public:
    explicit SprayPreview(const QString &path, QWidget *parent = nullptr);

private:
    void showSpray(const QString &path, QLabel *summary, QVBoxLayout *layout);
};

// Opens a preview of the file at path beside parent; it goes when closed.
SprayPreview *showSprayPreview(const QString &path, QWidget *parent);

} // namespace tagswap
