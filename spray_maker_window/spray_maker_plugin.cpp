// The plugin that carries the "Make Spray" window and everything it links.

#include "spray_maker_plugin.h"
#include "spray_maker_window.h"

#include <QObject>

namespace tagswap {

class SprayMakerWindowPlugin : public QObject, public SprayMakerPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TAGSWAP_SPRAY_MAKER_PLUGIN_IID)
    Q_INTERFACES(tagswap::SprayMakerPlugin)

public:
    QWidget *showMaker(Platform &platform, const QString &sprayFolder, const QString &imagePath,
                       QWidget *parent, std::function<void(const QString &)> saved) override
    {
        auto *maker = new SprayMakerWindow(platform, sprayFolder, imagePath, parent);
        maker->setAttribute(Qt::WA_DeleteOnClose);
        maker->setWindowFlag(Qt::Window);
        QObject::connect(maker, &SprayMakerWindow::saved, maker, std::move(saved));
        maker->show();
        return maker;
    }
};

} // namespace tagswap

#include "spray_maker_plugin.moc"
