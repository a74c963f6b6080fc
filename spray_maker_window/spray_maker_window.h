#pragma once

#include "decal_file.h"
#include "image_loading.h"
#include "spray_maker.h"

#include <QDialog>
#include <QFutureWatcher>

#include <atomic>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;

namespace tagswap {

class Platform;

// "Make Spray": turns an image into a spray in the spray folder, the picture shown
// beside the spray as the game shows it. Every change of a setting remakes the preview
// on a worker thread, first with a quick palette, then with the careful one that Save
// writes; a result that a later change has overtaken is dropped. Images can also be
// dropped on the window. The options stay as the player left them for the next window
// while Tagswap runs.
class SprayMakerWindow : public QDialog {
    Q_OBJECT

public:
    // sprayFolder: where Save writes <name>.wad. initialImage, when given, is opened at once.
    SprayMakerWindow(Platform &platform, const QString &sprayFolder,
                     const QString &initialImage = {}, QWidget *parent = nullptr);
    ~SprayMakerWindow() override;

    // Names the spray after the image and reads it off the window's thread; the
    // preview, or the reason it cannot be read, follows.
    void openImage(const QString &path);
    QString imagePath() const { return m_imagePath; }
    // True once the preview shows the current settings.
    bool isPreviewCurrent() const;
    // The options a window leaves for the next one while Tagswap runs go back to the
    // defaults.
    static void forgetKeptOptions();

signals:
    // A spray was written to path.
    void saved(const QString &path);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // What a worker thread hands back for one set of settings.
    struct Outcome {
        quint64 generation = 0;
        QString path;
        std::shared_ptr<const spray::LoadedImage> image;
        int frame = 0;
        std::optional<decal::Decal> spray;
        QByteArray bytes;
        QImage preview; // as the game shows it, actual size
        QString error;
        bool careful = false; // the palette Save writes, not the quick one shown first
    };

    void buildControls();
    void describeControls();
    void keepOptions() const;
    void restoreOptions();
    void showFrameCount(int frames);
    void connectControls();
    void chooseImage();
    void chooseInk();
    void settingsChanged();
    void startWork(bool careful);
    void showOutcome();
    void save();
    bool confirmReplace(const QString &path);
    spray::SprayOptions options() const;
    static Outcome work(quint64 generation, const QString &path, int frame,
                        std::shared_ptr<const spray::LoadedImage> cached,
                        spray::SprayOptions options,
                        const std::shared_ptr<const std::atomic<bool>> &cancel);

    Platform &m_platform;
    QString m_sprayFolder;
    QString m_imagePath;
    QRgb m_ink = qRgb(0, 0, 0);

    quint64 m_generation = 0;
    quint64 m_shownGeneration = 0;
    bool m_settled = true; // the careful result for the current settings is shown
    bool m_workPending = false;
    std::shared_ptr<const spray::LoadedImage> m_loaded; // decoded once per image and frame
    int m_loadedFrame = -1;
    QString m_loadedPath;
    Outcome m_current;
    QFutureWatcher<Outcome> m_watcher;
    // Set to end the picture reader of the running work: its picture is no longer wanted.
    std::shared_ptr<std::atomic<bool>> m_cancel;
    QString m_workPath; // the picture the running work reads

    QLabel *m_previewPicture = nullptr; // the picture itself
    QLabel *m_previewGame = nullptr;    // the spray as the game shows it, at 2x
    QLabel *m_status = nullptr;
    QLabel *m_imageName = nullptr;
    QPushButton *m_chooseImage = nullptr;
    QComboBox *m_size = nullptr;
    QComboBox *m_fit = nullptr;
    QComboBox *m_scaler = nullptr;
    QCheckBox *m_gameGamma = nullptr;
    QSlider *m_dither = nullptr;
    QSpinBox *m_threshold = nullptr;
    QSpinBox *m_frame = nullptr;
    QCheckBox *m_oneColour = nullptr;
    QPushButton *m_inkButton = nullptr;
    QLineEdit *m_name = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};

} // namespace tagswap
