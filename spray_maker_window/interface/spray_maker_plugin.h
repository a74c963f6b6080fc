#pragma once

#include <QString>
#include <QtPlugin>

#include <functional>

class QWidget;

namespace tagswap {

class Platform;

// The spray maker as the main window reaches it. The maker lives in a plugin so
// that its libraries (the palette maker, OpenMP, the SVG reader) load only once
// a player asks for it, not at every start.
class SprayMakerPlugin {
public:
    virtual ~SprayMakerPlugin() = default;

    // Shows a "Make Spray" window of its own, owned by parent and deleted when
    // closed, with imagePath opened when one is given. saved is called with the
    // path of every spray the window writes into sprayFolder.
    virtual QWidget *showMaker(Platform &platform, const QString &sprayFolder,
                               const QString &imagePath, QWidget *parent,
                               std::function<void(const QString &)> saved) = 0;
};

} // namespace tagswap

// Changes whenever the interface above does, so that a stale plugin is refused.
#define TAGSWAP_SPRAY_MAKER_PLUGIN_IID "io.github.tagswap.Tagswap.SprayMakerPlugin/1"
Q_DECLARE_INTERFACE(tagswap::SprayMakerPlugin, TAGSWAP_SPRAY_MAKER_PLUGIN_IID)
